// display-worker.js - draws the picture on the page's view canvas, off the page's thread.
//
// The page transfers control of its view canvas here (an OffscreenCanvas), with one end of a
// MessageChannel whose other end the fill worker (worker.js) holds. The fill worker sends what
// the picture shows straight here, and this worker draws it at the display's pace
// (picture-display.js): a fill, which runs in the fill worker in one call, shows its progress
// while it runs, and the page's thread neither draws the picture nor passes its pixels on. A
// new canvas of a large picture costs its first frames about a tenth of a second of drawing in
// software: here, that holds up nothing the page does.
//
// From the fill worker, in the order sent, each one counted:
//   {type: "picture", width, height, pixels}   a picture opened: all its RGBA bytes
//   {type: "painted", indices, colour}         pixels (y * width + x) now of one RGBA word
//   {type: "pixels", left, top, width, height, pixels}   a rectangle's new RGBA bytes
// From the page (`after`: how many of the fill worker's messages the answer must reflect; the
// fill worker tells the page its count with each message it sends it):
//   {type: "start", canvas, port}              the view's OffscreenCanvas and the channel's end
//   {type: "rgba", id, x, y, after}            a pixel's RGBA bytes
//   {type: "read", id, left, top, width, height, after, drawn}   the canvas's pixels in a box
//                                              (the whole canvas if width is left out): with
//                                              `drawn`, once everything in the first `after`
//                                              messages is on the canvas; without, at once
// To the page: {id, rgba} / {id, width, height, pixels}, or {type: "failed", text}.
import { PictureDisplay } from "./picture-display.js";

let display = null;
let received = 0; // messages from the fill worker applied so far
let waiting = []; // {after, resolve}: answers waiting for messages not yet arrived

// Resolves once the first `after` messages from the fill worker have been applied.
function arrived(after) {
    if (received >= after) return Promise.resolve();
    return new Promise((resolve) => waiting.push({ after, resolve }));
}

function show(message) {
    switch (message.type) {
    case "picture":
        display.load(new ImageData(new Uint8ClampedArray(message.pixels), message.width, message.height));
        break;
    case "painted":
        display.showPainted(new Uint32Array(message.indices), message.colour);
        break;
    case "pixels":
        display.showRectangle(message.left, message.top, message.width, message.height, new Uint8ClampedArray(message.pixels));
        break;
    }
    ++received;
    const ready = waiting.filter((wait) => wait.after <= received);
    waiting = waiting.filter((wait) => wait.after > received);
    for (const wait of ready) wait.resolve();
}

function start({ canvas, port }) {
    const context = canvas.getContext("2d");
    if (context === null || typeof requestAnimationFrame !== "function") {
        postMessage({ type: "failed", text: "this browser cannot draw on a canvas from a worker, which this page needs" });
        return;
    }
    display = new PictureDisplay(canvas);
    port.onmessage = (event) => show(event.data);
}

async function read({ id, left = 0, top = 0, width, height, after, drawn }) {
    if (drawn) {
        await arrived(after);
        await display.whenDrawn();
    }
    const image = display.canvasPixels(left, top, width ?? display.canvas.width, height ?? display.canvas.height);
    postMessage({ id, width: image.width, height: image.height, pixels: image.data.buffer }, [image.data.buffer]);
}

async function rgba({ id, x, y, after }) {
    await arrived(after);
    postMessage({ id, rgba: display.rgbaAt(x, y) });
}

onmessage = (event) => {
    const message = event.data;
    if (message.type === "start") start(message);
    else if (display === null) return;
    else if (message.type === "read") read(message);
    else if (message.type === "rgba") rgba(message);
};
