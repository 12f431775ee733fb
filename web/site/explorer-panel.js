// explorer-panel.js - the step tolerance explorer, live beside the picture.
//
// Shift+click (or the Explore button, then a tap) asks the worker for the join tolerance map
// at that point, for the seed tolerance typed. From then on, each change of the step tolerance
// (its field or its slider) asks the worker for the outline of the region that step would
// paint, without running the fill: the pixels whose join tolerance is at most the step, as the
// plug-in's parser reads the step's text, computed in the worker from the map it keeps. The
// growth curve is drawn with its stable ranges, the suggestion and the current step. The map
// leaves the fill's queue out: a step that paints at least a full queue's worth is tried in
// the worker once the step has stayed put, and the panel says whether Apply would stop on
// "Buffer over". Apply runs the real fill at the point; a new seed tolerance recomputes the
// map.

const OutlineRgba = [255, 230, 0, 255]; // yellow, clear on photographs and on the paint
// The fill's queue holds 29,999 pending pixels, each painted: a step painting fewer cannot
// overflow it.
const QueueBound = 29999;
const TrialDelayMs = 300;

export class Explorer {
    // parts: {send, picture ({width, height} of the picture shown), outline, stepField, stepSlider, seedField, say, fillAt}
    constructor(parts) {
        this.parts = parts;
        this.panel = document.getElementById("explorer");
        this.curveCanvas = document.getElementById("curve");
        this.point = null; // {x, y} while open
        this.curve = null;
        this.outlineAsked = null; // the step text of the outline on its way, if one is
        this.outlineWanted = false; // the step changed since it was asked for
        this.shown = null; // {indices, box} of the outline drawn
        this.trialTimer = 0;
        this.trial = null; // {stepText, painted, overflow} for the step shown

        parts.stepField.addEventListener("input", () => this.askOutline());
        let seedTimer = 0;
        parts.seedField.addEventListener("input", () => {
            if (this.point === null) return;
            clearTimeout(seedTimer);
            seedTimer = setTimeout(() => this.open(this.point.x, this.point.y), 150);
        });
        document.getElementById("apply").addEventListener("click", () => this.apply());
        document.getElementById("explorer-close").addEventListener("click", () => this.close());
        document.getElementById("use-suggestion").addEventListener("click", () => this.useSuggestion());
    }

    open(x, y) {
        this.point = { x, y };
        this.curve = null;
        this.trial = null;
        this.parts.say(`Exploring at ${x} ${y}…`);
        this.parts.send({ type: "explore", x, y, seed: this.parts.seedField.value });
    }

    close() {
        const wasOpen = this.point !== null;
        this.point = null;
        this.curve = null;
        this.trial = null;
        this.outlineAsked = null;
        this.outlineWanted = false;
        clearTimeout(this.trialTimer);
        this.panel.hidden = true;
        const outline = this.parts.outline;
        this.image = null;
        this.shown = null;
        outline.width = outline.height = 1;
        if (wasOpen) document.getElementById("viewport").focus();
    }

    // Messages from the worker about the picture shown (only the explorer's are ours).
    handle(message) {
        if (this.point === null || message.x !== this.point.x || message.y !== this.point.y) return;
        if (message.type === "explored") this.explored(message);
        else if (message.type === "outline") this.outlined(message);
        else if (message.type === "trial") this.tried(message);
    }

    explored(message) {
        if (message.status !== 0) {
            this.parts.say(`The explorer cannot work at ${message.x} ${message.y}`);
            this.close();
            return;
        }
        this.curve = new Uint32Array(message.curve);
        this.panel.hidden = false;
        document.getElementById("explorer-point").textContent =
            `At ${message.x} ${message.y}, seed tolerance "${message.seed}". Drag the step slider: ` +
            "the outline shows what that step would paint.";
        this.parts.say(`Explorer at ${message.x} ${message.y}: ${this.curve[255]} pixels at step 255`);
        this.askOutline();
    }

    // One outline on its way at a time; a step typed meanwhile is asked for when it arrives.
    askOutline() {
        if (this.curve === null) return;
        if (this.outlineAsked !== null) {
            this.outlineWanted = true;
            return;
        }
        this.outlineAsked = this.parts.stepField.value;
        this.outlineWanted = false;
        this.askedAt = performance.now();
        this.parts.send({ type: "outline", step: this.outlineAsked });
    }

    outlined(message) {
        this.outlineAsked = null;
        if (this.curve === null) return;
        this.drawOutline(new Uint32Array(message.indices));
        this.drawCurve(message.step, message.facts);
        if (this.trial !== null && this.trial.stepText !== message.stepText) this.trial = null;
        this.describe(message.step, message.facts);
        // How long a step took from the field's change to its outline drawn: the benchmark's.
        this.panel.dataset.stepMilliseconds = (performance.now() - this.askedAt).toFixed(1);
        this.panel.dataset.step = message.stepText;
        if (this.outlineWanted) this.askOutline();
        else this.scheduleTrial(message);
    }

    scheduleTrial(message) {
        clearTimeout(this.trialTimer);
        if (message.facts.pixels < QueueBound || (this.trial !== null && this.trial.stepText === message.stepText)) return;
        this.trialTimer = setTimeout(() => {
            if (this.point !== null && this.parts.stepField.value === message.stepText)
                this.parts.send({ type: "trial", step: message.stepText });
        }, TrialDelayMs);
    }

    tried(message) {
        if (message.stepText !== this.parts.stepField.value || this.facts === undefined) return;
        this.trial = message;
        this.describe(this.step, this.facts);
    }

    apply() {
        if (this.point === null) return;
        const { x, y } = this.point;
        this.close();
        this.parts.fillAt(x, y);
    }

    useSuggestion() {
        if (this.facts === undefined || this.facts.suggestion < 0) return;
        this.parts.stepField.value = String(this.facts.suggestion);
        this.parts.stepField.dispatchEvent(new Event("input"));
    }

    // The outline's pixels in one image the size of the picture; only the box of the last
    // outline and the new one is drawn again.
    drawOutline(indices) {
        const { outline, picture } = this.parts;
        const { width, height } = picture;
        // The outline's canvas takes the picture's size only while the explorer is open: a
        // canvas of a large picture costs the page's thread much to make.
        if (outline.width !== width || outline.height !== height) {
            outline.width = width;
            outline.height = height;
        }
        if (this.image == null || this.image.width !== width || this.image.height !== height)
            this.image = new ImageData(width, height);
        const words = new Uint32Array(this.image.data.buffer);
        const colour = new Uint32Array(new Uint8Array(OutlineRgba).buffer)[0];
        const box = { left: width, top: height, right: -1, bottom: -1 };
        if (this.shown !== null) {
            for (const index of this.shown) words[index] = 0;
            this.widen(box, this.shownBox);
        }
        const newBox = { left: width, top: height, right: -1, bottom: -1 };
        for (let i = 0; i < indices.length; ++i) {
            const index = indices[i];
            words[index] = colour;
            const x = index % width;
            if (x < newBox.left) newBox.left = x;
            if (x > newBox.right) newBox.right = x;
        }
        if (indices.length > 0) {
            newBox.top = Math.floor(indices[0] / width);
            newBox.bottom = Math.floor(indices[indices.length - 1] / width);
        }
        this.widen(box, newBox);
        this.shown = indices;
        this.shownBox = newBox;
        if (box.right >= box.left)
            outline.getContext("2d").putImageData(this.image, 0, 0, box.left, box.top, box.right - box.left + 1, box.bottom - box.top + 1);
    }

    widen(box, other) {
        if (other.right < other.left) return;
        box.left = Math.min(box.left, other.left);
        box.top = Math.min(box.top, other.top);
        box.right = Math.max(box.right, other.right);
        box.bottom = Math.max(box.bottom, other.bottom);
    }

    // Pixels painted (log scale) against the step, 0 to 255; stable ranges shaded, the
    // suggestion dashed, the current step in red.
    drawCurve(step, facts) {
        const canvas = this.curveCanvas;
        const g = canvas.getContext("2d");
        const left = 46, right = canvas.width - 14, top = 10, bottom = canvas.height - 30;
        const most = Math.max(2, this.curve[255]);
        const xOf = (s) => left + ((right - left) * s) / 255;
        const yOf = (pixels) => bottom - ((bottom - top) * Math.log10(Math.max(1, pixels))) / Math.log10(most);
        g.clearRect(0, 0, canvas.width, canvas.height);
        g.fillStyle = "#fff";
        g.fillRect(0, 0, canvas.width, canvas.height);
        g.fillStyle = "rgba(40, 170, 80, 0.18)";
        for (const range of facts.ranges) g.fillRect(xOf(range.first), top, Math.max(1, xOf(range.last) - xOf(range.first)), bottom - top);
        g.strokeStyle = "#888";
        g.lineWidth = 1;
        g.strokeRect(left, top, right - left, bottom - top);
        g.fillStyle = "#333";
        g.font = "11px system-ui, sans-serif";
        g.textAlign = "right";
        for (let power = 0; 10 ** power <= most; ++power) {
            const y = yOf(10 ** power);
            g.fillText(power < 3 ? String(10 ** power) : `1e${power}`, left - 4, y + 4);
            g.strokeStyle = "#eee";
            g.beginPath();
            g.moveTo(left + 1, y);
            g.lineTo(right - 1, y);
            g.stroke();
        }
        g.textAlign = "center";
        for (const s of [0, 32, 64, 96, 128, 160, 192, 224, 255]) g.fillText(String(s), xOf(s), bottom + 14);
        g.fillText("step tolerance", (left + right) / 2, bottom + 27);
        g.strokeStyle = "#1a4fb4";
        g.lineWidth = 2;
        g.beginPath();
        for (let s = 0; s < 256; ++s) {
            if (s === 0) g.moveTo(xOf(s), yOf(this.curve[s]));
            else g.lineTo(xOf(s), yOf(this.curve[s]));
        }
        g.stroke();
        if (facts.suggestion >= 0) {
            g.strokeStyle = "#28a050";
            g.setLineDash([4, 3]);
            g.beginPath();
            g.moveTo(xOf(facts.suggestion), top);
            g.lineTo(xOf(facts.suggestion), bottom);
            g.stroke();
            g.setLineDash([]);
        }
        const shown = Math.max(0, Math.min(255, step));
        g.strokeStyle = "#d02020";
        g.lineWidth = 1.5;
        g.beginPath();
        g.moveTo(xOf(shown), top);
        g.lineTo(xOf(shown), bottom);
        g.stroke();
    }

    describe(step, facts) {
        this.step = step;
        this.facts = facts;
        const ranges = facts.ranges.slice(0, 4).map((r) => `${r.first}–${r.last}`).join(", ");
        let text = `Step ${step} paints ${facts.pixels} pixels.`;
        if (this.trial !== null && this.trial.overflow)
            text = `Step ${step} would paint ${facts.pixels} pixels, but Apply stops on "Buffer over" after ` +
                `${this.trial.painted}: the fill's queue fills up.`;
        else if (this.trial === null && facts.pixels >= QueueBound)
            text += " Checking whether the fill's queue holds it…";
        text += ranges ? ` Stable ranges: ${ranges}.` : " No stable range.";
        text += facts.suggestion >= 0 ? ` Suggested step: ${facts.suggestion}.` : "";
        if (facts.leak) text += ` Next leak at step ${facts.leak.to} (+${facts.leak.addedPixels} pixels).`;
        document.getElementById("explorer-summary").textContent = text;
        document.getElementById("use-suggestion").disabled = facts.suggestion < 0;
    }
}
