// page.js - the page: the picture, the tool's settings, and what the plug-in's worker posts.
//
// The worker (worker.js) owns the picture and runs the plug-in; this thread only shows what
// it sends, so the page keeps repainting while a fill runs. New pixels are drawn at the
// display's pace (picture-display.js), all that arrived since the last frame at once.
import { Explorer } from "./explorer-panel.js";
import { PictureDisplay } from "./picture-display.js";

const $ = (id) => document.getElementById(id);
const view = $("view");
const display = new PictureDisplay(view);
const status = $("status");
const stepField = $("step");
const seedField = $("seed-tolerance");

const worker = new Worker("worker.js", { type: "module" });
let pictureName = "picture";
let pictureLoaded = false;

function say(text) {
    status.textContent = text;
}

// ---- The message box --------------------------------------------------------------------------------

const messageBox = $("message");
const messagesWaiting = [];
function showNextMessage() {
    if (messageBox.open || messagesWaiting.length === 0) return;
    const { caption, text } = messagesWaiting.shift();
    $("message-caption").textContent = caption;
    $("message-text").textContent = text;
    messageBox.showModal();
}
messageBox.addEventListener("close", () => {
    showNextMessage();
    if (!messageBox.open) $("viewport").focus();
});

// ---- Messages from the worker ------------------------------------------------------------------------

function describeFill(fill) {
    let line = `RegionGrowing at ${fill.x} ${fill.y}: ${fill.painted} pixels painted, ` +
        `${fill.refreshes} refresh requests, ${fill.milliseconds.toFixed(1)} ms`;
    if (fill.overflow) line += ', stopped on "Buffer over"';
    return line;
}

function showHistory({ canUndo, canRedo }) {
    $("undo").disabled = !canUndo;
    $("redo").disabled = !canRedo;
}

let pngWaiting = null;
worker.onmessage = (event) => {
    const message = event.data;
    switch (message.type) {
    case "ready":
        loadSample();
        break;
    case "failed":
        view.classList.remove("wait");
        say(`Error: ${message.text}`);
        break;
    case "loaded":
        showPicture(message);
        break;
    case "refused":
        say(`Error: ${message.name}: ${message.text}`);
        break;
    case "pixels":
        display.showRectangle(message.left, message.top, message.width, message.height, new Uint8ClampedArray(message.pixels));
        break;
    case "painted":
        display.showPixels(new Uint32Array(message.pairs));
        break;
    case "cursor":
        view.classList.toggle("wait", message.cursor === "wait");
        break;
    case "message":
        messagesWaiting.push(message);
        showNextMessage();
        break;
    case "filled":
        say(describeFill(message));
        showHistory(message);
        break;
    case "history":
        showHistory(message);
        break;
    case "png":
        if (pngWaiting) pngWaiting(new Uint8Array(message.bytes));
        pngWaiting = null;
        break;
    }
};

// ---- Pictures -------------------------------------------------------------------------------------------

// The worker decodes the file (picture-decode.js) and sends the picture's pixels back, or
// why it refused it: the page's thread only reads the file's bytes and shows the result.
async function loadPicture(blob, name) {
    say(`Opening ${name}…`);
    let bytes;
    try {
        bytes = await blob.arrayBuffer();
    } catch (error) {
        say(`Error: ${name} could not be read (${error.message})`);
        return;
    }
    worker.postMessage({ type: "open", name, bytes }, [bytes]);
}

function showPicture({ name, width, height, pixels }) {
    pictureName = name;
    keyPoint.x = keyPoint.y = 0;
    explorer.close();
    display.load(new ImageData(new Uint8ClampedArray(pixels), width, height));
    $("outline").width = width;
    $("outline").height = height;
    applyZoom();
    pictureLoaded = true;
    $("download").disabled = false;
    say(`${name}, ${width} × ${height}: click the picture to fill there`);
}

async function loadSample() {
    try {
        const response = await fetch("chelsea.png");
        if (!response.ok) throw new Error(response.statusText);
        await loadPicture(await response.blob(), "chelsea.png");
    } catch (error) {
        say(`Error: the sample picture did not load (${error.message})`);
    }
}

$("sample").addEventListener("click", loadSample);
$("picture-file").addEventListener("change", (event) => {
    const file = event.target.files[0];
    if (file) loadPicture(file, file.name);
});

// Dropping a file anywhere opens it; the browser must not navigate to it instead.
const viewport = $("viewport");
document.addEventListener("dragover", (event) => {
    event.preventDefault();
    viewport.classList.add("dropping");
});
document.addEventListener("dragleave", () => viewport.classList.remove("dropping"));
document.addEventListener("drop", (event) => {
    event.preventDefault();
    viewport.classList.remove("dropping");
    const file = event.dataTransfer.files[0];
    if (file) loadPicture(file, file.name);
});

// ---- Zoom ---------------------------------------------------------------------------------------------

function zoom() {
    return Number($("zoom").value);
}
function applyZoom() {
    for (const canvas of [view, $("outline")]) {
        canvas.style.width = `${view.width * zoom()}px`;
        canvas.style.height = `${view.height * zoom()}px`;
    }
    if (!$("key-point").hidden) showKeyPoint(false);
}
$("zoom").addEventListener("change", applyZoom);

// ---- Tolerances: the text fields are what the tool reads; the sliders type into them -------------

function linkSlider(field, slider) {
    slider.addEventListener("input", () => {
        field.value = slider.value;
        field.dispatchEvent(new Event("input"));
    });
    field.addEventListener("input", () => {
        const text = field.value.trim();
        if (/^\d+$/.test(text) && Number(text) <= Number(slider.max)) slider.value = text;
    });
}
linkSlider(stepField, $("step-slider"));
linkSlider(seedField, $("seed-slider"));

function paintColour() {
    return parseInt($("paint").value.slice(1), 16);
}

// ---- Clicks -------------------------------------------------------------------------------------------

function pictureAt(event) {
    const box = view.getBoundingClientRect();
    const x = Math.floor(((event.clientX - box.left) * view.width) / box.width);
    const y = Math.floor(((event.clientY - box.top) * view.height) / box.height);
    return x >= 0 && y >= 0 && x < view.width && y < view.height ? { x, y } : null;
}

function fillAt(x, y) {
    if (!pictureLoaded) return;
    worker.postMessage({ type: "fill", x, y, step: stepField.value, seed: seedField.value, paint: paintColour() });
}

const explorer = new Explorer({
    worker,
    view,
    outline: $("outline"),
    stepField,
    stepSlider: $("step-slider"),
    seedField,
    say,
    fillAt,
});

view.addEventListener("click", (event) => {
    const point = pictureAt(event);
    if (point === null) return;
    if (event.shiftKey) explorer.open(point.x, point.y);
    else {
        explorer.close(); // the fill changes the picture the map was made from
        fillAt(point.x, point.y);
    }
});

// ---- The keyboard: a point moved with the arrow keys, Enter fills there ------------------------

const keyPoint = { x: 0, y: 0 };
function showKeyPoint(scroll) {
    const marker = $("key-point");
    const size = Math.max(zoom(), 6);
    marker.style.left = `${(keyPoint.x + 0.5) * zoom() - size / 2}px`;
    marker.style.top = `${(keyPoint.y + 0.5) * zoom() - size / 2}px`;
    marker.style.width = marker.style.height = `${size}px`;
    marker.hidden = false;
    if (scroll) marker.scrollIntoView({ block: "nearest", inline: "nearest" });
}
viewport.addEventListener("keydown", (event) => {
    const steps = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] };
    if (event.key in steps) {
        const distance = event.ctrlKey ? 10 : 1;
        keyPoint.x = Math.min(view.width - 1, Math.max(0, keyPoint.x + steps[event.key][0] * distance));
        keyPoint.y = Math.min(view.height - 1, Math.max(0, keyPoint.y + steps[event.key][1] * distance));
        showKeyPoint(true);
        say(`Point ${keyPoint.x} ${keyPoint.y}: Enter fills here, Shift+Enter explores`);
    } else if (event.key === "Enter") {
        if (event.shiftKey) explorer.open(keyPoint.x, keyPoint.y);
        else {
            explorer.close();
            fillAt(keyPoint.x, keyPoint.y);
        }
    } else return;
    event.preventDefault();
});
// Shown when the keyboard brings the focus here, not when a click does: the picture must not
// move between a button's press and its release.
viewport.addEventListener("focus", () => {
    if (pictureLoaded && viewport.matches(":focus-visible")) showKeyPoint(false);
});
viewport.addEventListener("blur", () => { $("key-point").hidden = true; });

// ---- Undo, redo, download ----------------------------------------------------------------------------

function undo() {
    explorer.close();
    worker.postMessage({ type: "undo" });
}
function redo() {
    explorer.close();
    worker.postMessage({ type: "redo" });
}
$("undo").addEventListener("click", undo);
$("redo").addEventListener("click", redo);
document.addEventListener("keydown", (event) => {
    if (!(event.ctrlKey || event.metaKey) || messageBox.open) return;
    const key = event.key.toLowerCase();
    if (key === "z" && !event.shiftKey) undo();
    else if (key === "y" || (key === "z" && event.shiftKey)) redo();
    else return;
    event.preventDefault();
});

$("download").addEventListener("click", async () => {
    const bytes = await new Promise((resolve) => {
        pngWaiting = resolve;
        worker.postMessage({ type: "png" });
    });
    const url = URL.createObjectURL(new Blob([bytes], { type: "image/png" }));
    const link = document.createElement("a");
    link.href = url;
    link.download = pictureName.replace(/\.[^.]*$/, "") + "-filled.png";
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
});

worker.addEventListener("message", (event) => explorer.handle(event.data));
