// picture-view.js - the page's side of the view canvas, which the display worker draws
// (display-worker.js).
//
// The canvas's control goes to the display worker, and the fill worker (worker.js) gets the
// other end of a MessageChannel to that worker, through which it sends what the picture shows:
// the page's thread neither draws the picture nor passes its pixels on. What the page asks
// about what it shows goes to the display worker with the number of the fill worker's messages
// to the display that the page has heard of (the count each of the fill worker's messages to
// the page carries), so that no answer reflects less than the page knows has happened.

// index.html starts the page only in a browser that can hand a canvas to a worker.
export class PictureView {
    // canvas: the view's <canvas>; fillWorker: the worker that owns the picture; failed(text):
    // called if the display worker cannot draw.
    constructor(canvas, fillWorker, failed) {
        this.worker = new Worker("display-worker.js", { type: "module" });
        const offscreen = canvas.transferControlToOffscreen();
        const channel = new MessageChannel();
        this.worker.postMessage({ type: "start", canvas: offscreen, port: channel.port1 }, [offscreen, channel.port1]);
        fillWorker.postMessage({ type: "display", port: channel.port2 }, [channel.port2]);
        this.displayed = 0; // the fill worker's messages to the display the page has heard of
        this.answers = new Map(); // id -> resolve
        this.lastId = 0;
        this.worker.onmessage = (event) => {
            const answer = event.data;
            if (answer.type === "failed") {
                failed(answer.text);
                return;
            }
            const resolve = this.answers.get(answer.id);
            this.answers.delete(answer.id);
            resolve(answer);
        };
        this.worker.onerror = (event) => failed(`the display did not start (${event.message || "its worker failed"})`);
    }

    // The fill worker has sent the display `count` messages so far.
    heardOf(count) {
        this.displayed = Math.max(this.displayed, count);
    }

    ask(question) {
        const id = ++this.lastId;
        return new Promise((resolve) => {
            this.answers.set(id, resolve);
            this.worker.postMessage({ ...question, id, after: this.displayed });
        });
    }

    // Resolves to the RGBA bytes of the picture at (x, y), as of what the page has heard of.
    async rgbaAt(x, y) {
        return (await this.ask({ type: "rgba", x, y })).rgba;
    }

    // Resolves to {width, height, data} (RGBA bytes) of the canvas in a box (all of it if width
    // is left out): with `drawn` (the default) once everything the page has heard of is drawn,
    // without it at once.
    async readPixels(left, top, width, height, { drawn = true } = {}) {
        const answer = await this.ask({ type: "read", left, top, width, height, drawn });
        return { width: answer.width, height: answer.height, data: new Uint8ClampedArray(answer.pixels) };
    }
}
