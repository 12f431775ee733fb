// worker.js - runs the plug-in off the page's thread, so that the page repaints while a fill
// runs. It owns the picture; the page shows what this worker posts.
//
// Messages from the page:
//   {type: "open", name, bytes}              a picture file's bytes (an ArrayBuffer), taken over
//   {type: "fill", x, y, step, seed, paint}  one click of the tool; paint is 0xRRGGBB
//   {type: "undo"} / {type: "redo"}
//   {type: "png"}                            the picture as a PNG file, degraded in nothing
//   {type: "explore", x, y, seed}            the join tolerance map for a click there
// Messages to the page:
//   {type: "ready"} / {type: "failed", text}
//   {type: "loaded", name, width, height, pixels}   the picture opened: its RGBA bytes
//   {type: "refused", name, text}            the file was not opened: why; the picture stays
//   {type: "pixels", left, top, width, height, pixels}   a rectangle's new RGBA bytes
//   {type: "painted", pairs}                  pixels painted and refreshed: (index, RGBA word)
//   {type: "cursor", cursor}                  "wait" or "default"
//   {type: "message", caption, text}          the plug-in's message box
//   {type: "filled", x, y, painted, refreshes, milliseconds, overflow, ...history}
//   {type: "history", canUndo, canRedo}
//   {type: "png", bytes}
//   {type: "explored", x, y, seed, status, map, curve}   status 0: done, 2: seed outside
import { PluginHost } from "./plugin-host.js";
import { decodePicture } from "./picture-decode.js";
import { pictureToPng } from "./picture-encode.js";
import { ExplorerModule } from "./explorer-module.js";

let host = null;
let explorer = null;
// What the file gave beside the colour words the host holds: deep samples, grey, alpha, the
// colour chunks, for the download.
let picture = null;
const undoStack = [];
const redoStack = [];

function postRectangle(left, top, right, bottom) {
    const width = right - left + 1;
    const height = bottom - top + 1;
    const rowBytes = width * 4;
    const pixels = new Uint8ClampedArray(rowBytes * height);
    const source = host.rgba;
    for (let row = 0; row < height; ++row) {
        const start = ((top + row) * host.width + left) * 4;
        pixels.set(source.subarray(start, start + rowBytes), row * rowBytes);
    }
    postMessage({ type: "pixels", left, top, width, height, pixels: pixels.buffer }, [pixels.buffer]);
}

// Each painted pixel with its colour now, as (index, RGBA word) pairs.
function postPainted(indices) {
    const pairs = new Uint32Array(indices.length * 2);
    const words = new Uint32Array(host.rgba.buffer);
    for (let i = 0; i < indices.length; ++i) {
        pairs[2 * i] = indices[i];
        pairs[2 * i + 1] = words[indices[i]];
    }
    postMessage({ type: "painted", pairs: pairs.buffer }, [pairs.buffer]);
}

const events = {
    painted: postPainted,
    cursor: (cursor) => postMessage({ type: "cursor", cursor }),
    message: (caption, text) => postMessage({ type: "message", caption, text }),
};

function history() {
    return { canUndo: undoStack.length > 0, canRedo: redoStack.length > 0 };
}

// Puts a record's pixels back to their colours before (undo) or after (redo) its click, and
// shows the rectangle around them.
function applyRecord(record, restoreBefore) {
    const { indices, before, after } = record;
    if (indices.length === 0) return;
    let left = host.width, top = host.height, right = -1, bottom = -1;
    for (let i = 0; i < indices.length; ++i) {
        const index = indices[i];
        host.setPixel(index, restoreBefore ? before[i] : after);
        const x = index % host.width, y = (index - x) / host.width;
        if (x < left) left = x;
        if (x > right) right = x;
        if (y < top) top = y;
        if (y > bottom) bottom = y;
    }
    postRectangle(left, top, right, bottom);
}

// The colour words as RGBA bytes: what the page shows and the host paints, opaque where the
// picture has no alpha.
function rgbaOf({ words, hasAlpha }) {
    const rgba = new Uint8ClampedArray(words.length * 4);
    for (let i = 0, p = 0; i < words.length; ++i, p += 4) {
        const word = words[i];
        rgba[p] = (word >>> 16) & 0xff;
        rgba[p + 1] = (word >>> 8) & 0xff;
        rgba[p + 2] = word & 0xff;
        rgba[p + 3] = hasAlpha ? word >>> 24 : 255;
    }
    return rgba;
}

async function open({ name, bytes }) {
    let decoded;
    try {
        decoded = await decodePicture(new Uint8Array(bytes));
    } catch (error) {
        postMessage({ type: "refused", name, text: String((error && error.message) || error) });
        return;
    }
    const rgba = rgbaOf(decoded);
    decoded.words = null; // the host's colours from now on
    const shown = rgba.slice();
    host.loadPicture(decoded.width, decoded.height, rgba.buffer);
    picture = decoded;
    undoStack.length = 0;
    redoStack.length = 0;
    const { width, height } = decoded;
    postMessage({ type: "loaded", name, width, height, pixels: shown.buffer }, [shown.buffer]);
    postMessage({ type: "history", ...history() });
}

// The pixels that the fills not undone painted.
function paintedMask() {
    const painted = new Uint8Array(host.width * host.height);
    for (const record of undoStack) for (const index of record.indices) painted[index] = 1;
    return painted;
}

async function handle(message) {
    switch (message.type) {
    case "open":
        await open(message);
        break;
    case "fill": {
        const report = host.click(message.x, message.y, message.step, message.seed, message.paint);
        if (report.record.indices.length > 0) {
            undoStack.push(report.record);
            redoStack.length = 0;
        }
        const { record, error, ...summary } = report;
        postMessage({ type: "filled", ...summary, ...history() });
        if (error !== null) postMessage({ type: "failed", text: error });
        break;
    }
    case "undo":
        if (undoStack.length > 0) {
            const record = undoStack.pop();
            applyRecord(record, true);
            redoStack.push(record);
        }
        postMessage({ type: "history", ...history() });
        break;
    case "redo":
        if (redoStack.length > 0) {
            const record = redoStack.pop();
            applyRecord(record, false);
            undoStack.push(record);
        }
        postMessage({ type: "history", ...history() });
        break;
    case "explore": {
        const { x, y, seed } = message;
        const result = explorer.compute(host.width, host.height, host.view.packed, x, y, seed);
        const transfer = result.status === 0 ? [result.map.buffer, result.curve.buffer] : [];
        postMessage({ type: "explored", x, y, seed, ...result }, transfer);
        break;
    }
    case "png": {
        const bytes = await pictureToPng(picture, host.rgba, paintedMask());
        postMessage({ type: "png", bytes: bytes.buffer }, [bytes.buffer]);
        break;
    }
    }
}

// The plug-in is loaded first; messages wait for it, then are handled one at a time, in order,
// even while a PNG is being compressed.
async function fetchBytes(name) {
    const response = await fetch(name);
    if (!response.ok) throw new Error(`${name}: ${response.status} ${response.statusText}`);
    return response.arrayBuffer();
}
const loading = Promise.all([
    fetchBytes("paint.wasm").then((bytes) => PluginHost.create(bytes, events)),
    fetchBytes("explorer.wasm").then((bytes) => ExplorerModule.load(bytes)),
]).then(([createdHost, createdExplorer]) => {
    host = createdHost;
    explorer = createdExplorer;
    postMessage({ type: "ready" });
});
loading.catch((error) =>
    postMessage({ type: "failed", text: `the tool did not load: ${error.message}` }));

let queue = loading;
onmessage = (event) => {
    queue = queue.then(() => handle(event.data)).catch((error) => {
        postMessage({ type: "failed", text: String((error && error.message) || error) });
    });
};
