// page.js - the page: the picture, the tool's settings, and what the plug-in's worker posts.
//
// The fill worker (worker.js) owns the picture and runs the plug-in; the display worker
// draws the view canvas from what the fill worker sends it (picture-view.js): this thread
// shows the status, the explorer and the dialogs, and keeps answering while a fill runs and
// while a large picture is drawn.
//
// Each picture the page asks to open gets a number; every request names the picture it is
// for and every answer the picture it concerns, and the page shows nothing of a picture it no
// longer shows. Work not saved is never thrown away without asking.
import { Explorer } from "./explorer-panel.js";
import { PictureView } from "./picture-view.js";

const $ = (id) => document.getElementById(id);
const view = $("view");
const status = $("status");
const stepField = $("step");
const seedField = $("seed-tolerance");

let sayings = 0; // how many times the status line was written
function say(text) {
    ++sayings;
    status.textContent = text;
}

const worker = new Worker(`worker.js${location.search}`, { type: "module" });
const display = new PictureView(view, worker, (text) => say(`Error: ${text}`));
// What the view shows, for scripts and tests: the canvas's own pixels, read by the worker
// that draws it (see PictureView.readPixels).
view.readPixels = (...box) => display.readPixels(...box);

const picture = {
    shown: 0, // the number of the picture shown (0: none yet)
    asked: 0, // the number given to the last picture asked for
    opening: false, // that picture is neither shown nor refused yet
    name: "picture",
    width: 0,
    height: 0,
    history: { canUndo: false, canRedo: false, state: 0, undoLevels: 0, droppedLevels: 0 },
    savedState: 0, // the history's state when last downloaded (or opened)
};
// Fills, undos and redos sent and not answered yet.
let requestsRunning = 0;

function unsaved() {
    return picture.shown !== 0 && picture.history.state !== picture.savedState;
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

// Asks before the fills not downloaded are thrown away; resolves to true to go on.
function confirmDiscard(what) {
    if (!unsaved()) return Promise.resolve(true);
    const dialog = $("discard");
    $("discard-text").textContent =
        `${picture.name} has fills that were not downloaded. ${what} and lose them?`;
    dialog.returnValue = "";
    dialog.showModal();
    return new Promise((resolve) => {
        dialog.addEventListener("close", () => resolve(dialog.returnValue === "discard"), { once: true });
    });
}
window.addEventListener("beforeunload", (event) => {
    if (!unsaved()) return;
    event.preventDefault();
    event.returnValue = "";
});

// ---- Messages from the worker ------------------------------------------------------------------------

function describeFill(fill) {
    let line = `RegionGrowing at ${fill.x} ${fill.y}: ${fill.painted} pixels painted, ` +
        `${fill.refreshes} refresh requests, ${fill.milliseconds.toFixed(1)} ms`;
    if (fill.overflow) line += ', stopped on "Buffer over"';
    return line;
}

// The undo levels' state; says so once more levels have gone for the budget.
function showHistory(history) {
    const dropped = history.droppedLevels - picture.history.droppedLevels;
    picture.history = history;
    $("undo").disabled = !history.canUndo;
    $("redo").disabled = !history.canRedo;
    return dropped > 0
        ? `; the undo history is at its memory budget: the ${history.droppedLevels} oldest fills can no longer be undone`
        : "";
}

// Answers that belong to the picture shown, or open a newer one; the rest are of a picture
// that is gone.
function current(message) {
    if (message.type === "loaded") return message.picture > picture.shown;
    if (message.type === "refused" || message.type === "ready" || message.type === "failed") return true;
    return message.picture === picture.shown;
}

let pngWaiting = null;
worker.onmessage = (event) => {
    const message = event.data;
    display.heardOf(message.displayed);
    if ((message.type === "loaded" || message.type === "refused") && message.picture === picture.asked)
        picture.opening = false;
    // The answer to a fill, an undo or a redo: its end, or its refusal.
    if (message.type === "filled" || ["fill", "undo", "redo"].includes(message.request))
        requestsRunning = Math.max(0, requestsRunning - 1);
    if (!current(message)) return;
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
    case "cursor":
        view.classList.toggle("wait", message.cursor === "wait");
        break;
    case "message":
        messagesWaiting.push(message);
        showNextMessage();
        break;
    case "filled":
        say(describeFill(message) + showHistory(message));
        break;
    case "history":
        showHistory(message);
        break;
    case "png":
        if (pngWaiting) pngWaiting(message);
        pngWaiting = null;
        break;
    }
    explorer.handle(message);
};

// ---- Pictures -------------------------------------------------------------------------------------------

// The worker decodes the file (picture-decode.js) and sends the picture's pixels to the
// display, or the page why it refused it: the page's thread only reads the file's bytes.
async function loadPicture(blob, name) {
    if (!(await confirmDiscard(`Open ${name}`))) {
        say(`${name} was not opened: the fills on ${picture.name} are kept`);
        return;
    }
    say(requestsRunning > 0 ? `Opening ${name} once the fill running has ended…` : `Opening ${name}…`);
    let bytes;
    try {
        bytes = await blob.arrayBuffer();
    } catch (error) {
        say(`Error: ${name} could not be read (${error.message})`);
        return;
    }
    picture.opening = true;
    worker.postMessage({ type: "open", picture: ++picture.asked, name, bytes }, [bytes]);
}

function showPicture({ picture: id, name, width, height }) {
    Object.assign(picture, { shown: id, name, width, height, savedState: 0 });
    picture.history = { canUndo: false, canRedo: false, state: 0, undoLevels: 0, droppedLevels: 0 };
    keyPoint.x = keyPoint.y = 0;
    explorer.close();
    // The canvas's own width and height follow once the display worker's next frame is shown.
    view.dataset.width = width;
    view.dataset.height = height;
    view.setAttribute("aria-label", `The picture: ${name}, ${width} × ${height} pixels`);
    applyZoom();
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
    event.target.value = ""; // the same file can be chosen again
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
        canvas.style.width = `${picture.width * zoom()}px`;
        canvas.style.height = `${picture.height * zoom()}px`;
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
    const x = Math.floor(((event.clientX - box.left) * picture.width) / box.width);
    const y = Math.floor(((event.clientY - box.top) * picture.height) / box.height);
    return x >= 0 && y >= 0 && x < picture.width && y < picture.height ? { x, y } : null;
}

// A click while a fill, an undo or a redo runs, or while another picture opens, is dropped as
// the editor drops it: the picture it was aimed at is about to change.
function busyWith(x, y) {
    if (requestsRunning > 0) say(`The click at ${x} ${y} was dropped: a fill or an undo is still running`);
    else if (picture.opening) say(`The click at ${x} ${y} was dropped: another picture is opening`);
    else return false;
    return true;
}

function fillAt(x, y) {
    if (picture.shown === 0 || busyWith(x, y)) return;
    ++requestsRunning;
    worker.postMessage({ type: "fill", picture: picture.shown, x, y, step: stepField.value, seed: seedField.value,
        paint: paintColour() });
}

function send(message) {
    if (picture.shown !== 0) worker.postMessage({ picture: picture.shown, ...message });
}

const explorer = new Explorer({ send, picture, outline: $("outline"), stepField, stepSlider: $("step-slider"), seedField, say, fillAt });

// Touch has no Shift: the Explore button makes the next tap explore.
const exploreToggle = $("explore-mode");
exploreToggle.addEventListener("click", () => {
    exploreToggle.setAttribute("aria-pressed", String(exploreToggle.getAttribute("aria-pressed") !== "true"));
});

view.addEventListener("click", (event) => {
    const point = pictureAt(event);
    if (point === null) return;
    if (event.shiftKey || exploreToggle.getAttribute("aria-pressed") === "true") {
        exploreToggle.setAttribute("aria-pressed", "false");
        explorer.open(point.x, point.y);
    } else {
        explorer.close(); // the fill changes the picture the map was made from
        fillAt(point.x, point.y);
    }
});

// ---- The keyboard: a point moved with the arrow keys, Enter fills there ------------------------

const keyPoint = { x: 0, y: 0 };
let keyQuestions = 0; // colours asked of the display for the point

// Says the point's colour once the display answers, unless the point moved or the status line
// said something else meanwhile.
async function sayKeyPointColour() {
    const question = ++keyQuestions, said = sayings;
    const [red, green, blue, alpha] = await display.rgbaAt(keyPoint.x, keyPoint.y);
    if (question !== keyQuestions || said !== sayings) return;
    say(`Point ${keyPoint.x} ${keyPoint.y}: red ${red}, green ${green}, blue ${blue}` +
        (alpha !== 255 ? `, alpha ${alpha}` : "") + ". Enter fills here, Shift+Enter explores");
}
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
        keyPoint.x = Math.min(picture.width - 1, Math.max(0, keyPoint.x + steps[event.key][0] * distance));
        keyPoint.y = Math.min(picture.height - 1, Math.max(0, keyPoint.y + steps[event.key][1] * distance));
        showKeyPoint(true);
        sayKeyPointColour();
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
    if (picture.shown !== 0 && viewport.matches(":focus-visible")) showKeyPoint(false);
});
viewport.addEventListener("blur", () => { $("key-point").hidden = true; });

// ---- Undo, redo, download ----------------------------------------------------------------------------

function undoOrRedo(type) {
    if (picture.shown === 0) return;
    if (requestsRunning > 0) {
        say(`The ${type} was dropped: a fill or an undo is still running`);
        return;
    }
    explorer.close();
    ++requestsRunning;
    send({ type });
}
$("undo").addEventListener("click", () => undoOrRedo("undo"));
$("redo").addEventListener("click", () => undoOrRedo("redo"));
// Ctrl+Z and Ctrl+Y in a text field edit its text; elsewhere they undo and redo fills.
document.addEventListener("keydown", (event) => {
    if (event.key === "Escape" && !messageBox.open && !$("discard").open) {
        explorer.close();
        return;
    }
    if (!(event.ctrlKey || event.metaKey) || messageBox.open || $("discard").open) return;
    const target = event.target;
    if (target instanceof HTMLInputElement && target.type === "text") return;
    const key = event.key.toLowerCase();
    if (key === "z" && !event.shiftKey) undoOrRedo("undo");
    else if (key === "y" || (key === "z" && event.shiftKey)) undoOrRedo("redo");
    else return;
    event.preventDefault();
});

$("download").addEventListener("click", async () => {
    const { bytes, state } = await new Promise((resolve) => {
        pngWaiting = resolve;
        send({ type: "png" });
    });
    picture.savedState = state;
    const url = URL.createObjectURL(new Blob([bytes], { type: "image/png" }));
    const link = document.createElement("a");
    link.href = url;
    link.download = picture.name.replace(/\.[^.]*$/, "") + "-filled.png";
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
});
