// explorer-panel.js - the step tolerance explorer beside the picture.
export class Explorer {
    constructor(parts) {
        this.parts = parts;
    }
    open() {
        this.parts.say("The explorer is not available in this build");
    }
    close() {}
    handle() {}
}
