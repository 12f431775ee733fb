// worker.js - runs the plug-in off the page's thread, so that the page repaints while a fill
// runs. The picture, its drawn flags, the paint record and the undo levels live in page.wasm's
// memory (page-module.js). What the picture shows goes straight to the display worker, which
// draws the view (display-worker.js), through a MessageChannel whose end the page sends first;
// the rest goes to the page. Each message to the page carries `displayed`, the number of
// messages sent to the display before it, which the page passes on with its questions to the
// display.
//
// Every message names the picture it belongs to: `picture`, a number the page gives each
// picture it asks to open. The worker handles one message at a time, in order, so a picture
// asked for during a fill opens when the fill has ended; a request for a picture that is no
// longer the open one is answered {type: "dropped"} and does nothing.
//
// Messages from the page:
//   {type: "display", port}                    the display worker's channel, before any other
//   {type: "open", picture, name, bytes}       a picture file's bytes (an ArrayBuffer)
//   {type: "fill", picture, x, y, step, seed, paint}   one click of the tool; paint 0xRRGGBB
//   {type: "undo", picture} / {type: "redo", picture}
//   {type: "png", picture}                     the picture as a PNG file, degraded in nothing
//   {type: "explore", picture, x, y, seed}     the join tolerance map for a click there
//   {type: "outline", picture, step}           what that step paints at the click explored
//   {type: "trial", picture, step}             whether that step's fill stops on "Buffer over"
// Messages to the display (display-worker.js lists them):
//   {type: "picture", width, height, pixels}   the picture opened: its RGBA bytes
//   {type: "painted", indices, colour}         pixels painted and refreshed, in one RGBA word
//   {type: "pixels", left, top, width, height, pixels}   a rectangle's new RGBA bytes
// Messages to the page (each with `picture` and `displayed`):
//   {type: "ready"} / {type: "failed", text}
//   {type: "loaded", name, width, height}      the picture opened (and sent to the display)
//   {type: "refused", name, text}              the file was not opened: why; the picture stays
//   {type: "cursor", cursor}                   "wait" or "default"
//   {type: "message", caption, text}           the plug-in's message box
//   {type: "filled", x, y, painted, refreshes, milliseconds, overflow, ...history}
//   {type: "history", request, ...history}     {canUndo, canRedo, state, undoLevels,
//                                               droppedLevels, historyBytes}; request: "undo"
//                                               or "redo" when it answers one
//   {type: "dropped", request}                 a request for a picture no longer open
//   {type: "png", state, bytes}
//   {type: "explored", x, y, seed, status, curve}   status 0: done, 2: seed outside
//   {type: "outline", x, y, step, stepText, indices, facts}
//   {type: "trial", x, y, stepText, painted, overflow}
import { PageModule } from "./page-module.js";
import { decodePicture } from "./picture-decode.js";
import { pictureToPng } from "./picture-encode.js";

const RefreshPeriodMs = 16; // one display frame
// The undo levels' budget; a page address may ask for less (?undo-mb=N), as the tests do.
const UndoBudgetBytes = (Number(new URL(self.location.href).searchParams.get("undo-mb")) || 512) * 1024 * 1024;

let module = null;
let display = null; // the display worker's end of the channel
let displayed = 0; // the messages sent to it
let current = 0; // the picture open in the module, as the page numbered it
// What the file gave beside the colour words: deep samples, grey, alpha, the colour chunks,
// for the download.
let picture = null;
let explored = null; // {x, y} of the map the module holds

// ---- What a fill shows while it runs --------------------------------------------------------------

const fillState = { paint: 0, listed: 0, shown: 0, lastPost: 0 };

function show(message, transfer) {
    display.postMessage(message, transfer);
    ++displayed;
}

function tell(message, transfer = []) {
    postMessage({ displayed, ...message }, transfer);
}

function post(message, transfer = []) {
    tell({ picture: current, ...message }, transfer);
}

// The pixels painted before the latest refresh request and not yet sent.
function showPainted() {
    const { listed, shown } = fillState;
    if (listed === shown) return;
    const indices = module.paintedList(listed).slice(shown);
    fillState.shown = listed;
    show({ type: "painted", indices: indices.buffer, colour: fillState.paint }, [indices.buffer]);
}

const events = {
    // Every painted pixel lies in the box of the next refresh request, so what the requested
    // boxes show anew is exactly the pixels painted before the latest one. Those are sent at
    // most once a display frame.
    refresh(listed) {
        fillState.listed = listed;
        const now = performance.now();
        if (now - fillState.lastPost >= RefreshPeriodMs) {
            fillState.lastPost = now;
            showPainted();
        }
    },
    cursor: (wait) => post({ type: "cursor", cursor: wait ? "wait" : "default" }),
    message(caption, text) {
        showPainted(); // the message box is shown over every painted pixel
        post({ type: "message", caption, text });
    },
};

// ---- Pixels for the display -----------------------------------------------------------------------

// The colour words of a box as RGBA bytes: what the view shows. Painted pixels are opaque
// (their words carry 0xFF above the colour); others keep the picture's alpha, if it has any.
function rgbaOf(words, width, left, top, right, bottom, hasAlpha) {
    const boxWidth = right - left + 1;
    const rgba = new Uint8ClampedArray(boxWidth * (bottom - top + 1) * 4);
    for (let y = top, p = 0; y <= bottom; ++y) {
        for (let i = y * width + left, end = i + boxWidth; i < end; ++i, p += 4) {
            const word = words[i];
            rgba[p] = (word >>> 16) & 0xff;
            rgba[p + 1] = (word >>> 8) & 0xff;
            rgba[p + 2] = word & 0xff;
            rgba[p + 3] = hasAlpha ? word >>> 24 : 255;
        }
    }
    return rgba;
}

function showBox({ left, top, right, bottom }) {
    const pixels = rgbaOf(module.pixels(), module.width, left, top, right, bottom, picture.hasAlpha);
    show({ type: "pixels", left, top, width: right - left + 1, height: bottom - top + 1, pixels: pixels.buffer },
        [pixels.buffer]);
}

// ---- Requests -------------------------------------------------------------------------------------

async function open({ picture: id, name, bytes }) {
    let decoded;
    try {
        decoded = await decodePicture(new Uint8Array(bytes));
    } catch (error) {
        tell({ type: "refused", picture: id, name, text: String((error && error.message) || error) });
        return;
    }
    const { width, height } = decoded;
    module.open(width, height, decoded.words, UndoBudgetBytes);
    decoded.words = null; // the module's from now on
    picture = decoded;
    current = id;
    explored = null;
    const shown = rgbaOf(module.pixels(), width, 0, 0, width - 1, height - 1, picture.hasAlpha);
    show({ type: "picture", width, height, pixels: shown.buffer }, [shown.buffer]);
    post({ type: "loaded", name, width, height });
    post({ type: "history", ...module.history() });
}

function fill({ x, y, step, seed, paint }) {
    fillState.paint = (0xff000000 | ((paint & 0xff) << 16) | (paint & 0xff00) | ((paint >>> 16) & 0xff)) >>> 0;
    fillState.listed = fillState.shown = 0;
    fillState.lastPost = performance.now();
    const result = module.fill(x, y, step, seed, paint);
    showPainted();
    const unlisted = module.unlistedPixel();
    if (unlisted >= 0) {
        const ux = unlisted % module.width, uy = (unlisted - ux) / module.width;
        showBox({ left: ux, top: uy, right: ux, bottom: uy });
    }
    explored = null;
    const { error, ...summary } = result;
    if (error !== null) {
        // The module started again from the picture as painted: show all of it.
        showBox({ left: 0, top: 0, right: module.width - 1, bottom: module.height - 1 });
        post({ type: "cursor", cursor: "default" });
    }
    post({ type: "filled", x, y, ...summary, ...module.history() });
    if (error !== null) post({ type: "failed", text: `${error}; the undo history is gone` });
}

function undoOrRedo(type) {
    const box = type === "undo" ? module.undo() : module.redo();
    if (box !== null) showBox(box);
    explored = null;
    post({ type: "history", request: type, ...module.history() });
}

function explore({ x, y, seed }) {
    const { status, curve } = module.explore(x, y, seed);
    explored = status === 0 ? { x, y, seed } : null;
    post({ type: "explored", x, y, seed, status, curve: curve && curve.buffer }, curve ? [curve.buffer] : []);
}

function outline({ step: stepText }) {
    if (explored === null) return;
    const step = module.parseTolerance(stepText);
    const indices = module.outline(step);
    post({ type: "outline", x: explored.x, y: explored.y, step, stepText, indices: indices.buffer, facts: module.readCurve(step) },
        [indices.buffer]);
}

function trial({ step: stepText }) {
    if (explored === null) return;
    const { x, y, seed } = explored;
    post({ type: "trial", x, y, stepText, ...module.trialFill(x, y, stepText, seed) });
}

async function png() {
    const rgba = rgbaOf(module.pixels(), module.width, 0, 0, module.width - 1, module.height - 1, picture.hasAlpha);
    const state = module.history().state;
    const bytes = await pictureToPng(picture, rgba, module.paintedMask());
    post({ type: "png", state, bytes: bytes.buffer }, [bytes.buffer]);
}

const forOpenPicture = { fill, undo: () => undoOrRedo("undo"), redo: () => undoOrRedo("redo"), explore, outline, trial, png };

async function handle(message) {
    if (message.type === "open") return open(message);
    const request = forOpenPicture[message.type];
    if (request === undefined) return;
    if (message.picture !== current || current === 0) {
        tell({ type: "dropped", picture: message.picture, request: message.type });
        return;
    }
    await request(message);
}

// The module is loaded first; messages wait for it, then are handled one at a time, in order,
// even while a PNG is being compressed.
async function fetchBytes(name) {
    const response = await fetch(name);
    if (!response.ok) throw new Error(`${name}: ${response.status} ${response.statusText}`);
    return response.arrayBuffer();
}
const loading = fetchBytes("page.wasm")
    .then((bytes) => PageModule.create(bytes, events))
    .then((created) => {
        module = created;
        tell({ type: "ready", picture: 0 });
    });
loading.catch((error) =>
    tell({ type: "failed", picture: 0, text: `the tool did not load: ${error.message}` }));

let queue = loading;
onmessage = (event) => {
    const message = event.data;
    if (message.type === "display") {
        display = message.port;
        return;
    }
    queue = queue.then(() => handle(message)).catch((error) => {
        tell({ type: "failed", picture: message.picture, request: message.type,
            text: String((error && error.message) || error) });
    });
};
