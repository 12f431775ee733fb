// explorer-panel.js - the step tolerance explorer, live beside the picture.
//
// Shift+click asks the worker for the join tolerance map at that point, for the seed
// tolerance typed. From then on, each change of the step tolerance (its field or its slider)
// outlines at once, without running the fill, the region that step would paint: the pixels
// whose join tolerance is at most the step, as the plug-in's parser reads the step's text. The
// growth curve is drawn with its stable ranges, the suggestion and the current step. Apply
// runs the real fill at the point; a new seed tolerance recomputes the map.
import { ExplorerModule } from "./explorer-module.js";

const OutlineRgba = [255, 230, 0, 255]; // yellow, clear on photographs and on the paint
const JoinNever = 65535;

export class Explorer {
    // parts: {worker, view, outline, stepField, stepSlider, seedField, say, fillAt}
    constructor(parts) {
        this.parts = parts;
        this.panel = document.getElementById("explorer");
        this.curveCanvas = document.getElementById("curve");
        this.point = null; // {x, y} while open
        this.map = null;
        this.curve = null;
        this.frameRequested = false;
        this.module = null;
        fetch("explorer.wasm")
            .then((response) => response.arrayBuffer())
            .then((bytes) => ExplorerModule.load(bytes))
            .then((module) => { this.module = module; })
            .catch((error) => parts.say(`Error: the explorer did not load (${error.message})`));

        parts.stepField.addEventListener("input", () => this.scheduleDraw());
        let seedTimer = 0;
        parts.seedField.addEventListener("input", () => {
            if (this.point === null) return;
            clearTimeout(seedTimer);
            seedTimer = setTimeout(() => this.open(this.point.x, this.point.y), 150);
        });
        document.getElementById("apply").addEventListener("click", () => this.apply());
        document.getElementById("explorer-close").addEventListener("click", () => this.close());
        document.getElementById("use-suggestion").addEventListener("click", () => this.useSuggestion());
        this.panel.addEventListener("keydown", (event) => {
            if (event.key === "Escape") this.close();
        });
    }

    open(x, y) {
        if (this.module === null) return;
        this.point = { x, y };
        this.parts.say(`Exploring at ${x} ${y}…`);
        this.parts.worker.postMessage({ type: "explore", x, y, seed: this.parts.seedField.value });
    }

    close() {
        const wasOpen = this.point !== null;
        this.point = null;
        this.map = null;
        this.curve = null;
        this.panel.hidden = true;
        const outline = this.parts.outline;
        outline.getContext("2d").clearRect(0, 0, outline.width, outline.height);
        if (wasOpen) document.getElementById("viewport").focus();
    }

    // Messages from the worker (every one comes here; only "explored" is ours).
    handle(message) {
        if (message.type !== "explored" || this.point === null) return;
        if (message.x !== this.point.x || message.y !== this.point.y) return;
        if (message.status !== 0) {
            this.parts.say(`The explorer cannot work at ${message.x} ${message.y}`);
            this.close();
            return;
        }
        this.map = message.map;
        this.curve = message.curve;
        this.seedText = message.seed;
        this.panel.hidden = false;
        document.getElementById("explorer-point").textContent =
            `At ${message.x} ${message.y}, seed tolerance "${message.seed}". Drag the step slider: ` +
            "the outline shows what that step would paint.";
        this.draw();
        this.parts.say(`Explorer at ${message.x} ${message.y}: ${this.curve[255]} pixels at step 255`);
    }

    apply() {
        if (this.point === null) return;
        const { x, y } = this.point;
        this.close();
        this.parts.fillAt(x, y);
    }

    useSuggestion() {
        if (this.curve === null) return;
        const suggestion = this.module.readCurve(this.curve, 0).suggestion;
        if (suggestion < 0) return;
        this.parts.stepField.value = String(suggestion);
        this.parts.stepField.dispatchEvent(new Event("input"));
    }

    scheduleDraw() {
        if (this.map === null || this.frameRequested) return;
        this.frameRequested = true;
        requestAnimationFrame(() => {
            this.frameRequested = false;
            if (this.map !== null) this.draw();
        });
    }

    draw() {
        const step = this.module.parseTolerance(this.parts.stepField.value);
        const facts = this.module.readCurve(this.curve, step);
        this.drawOutline(step);
        this.drawCurve(step, facts);
        this.describe(step, facts);
    }

    // The boundary of {pixels whose join tolerance is at most the step}: members with a
    // 4-neighbour outside it or on the picture's edge.
    drawOutline(step) {
        const { outline, view } = this.parts;
        const width = view.width, height = view.height, map = this.map;
        // Below 0 the seed alone (its value is 0); above 255 as 255.
        const limit = step < 0 ? -1 : Math.min(step, 255);
        const inside = new Uint8Array(width * height);
        if (step < 0) inside[this.point.y * width + this.point.x] = 1;
        else for (let i = 0; i < inside.length; ++i) inside[i] = map[i] <= limit && map[i] !== JoinNever ? 1 : 0;
        const image = new ImageData(width, height);
        const words = new Uint32Array(image.data.buffer);
        const colour = new Uint32Array(new Uint8Array(OutlineRgba).buffer)[0];
        for (let y = 0; y < height; ++y) {
            for (let x = 0, index = y * width; x < width; ++x, ++index) {
                if (inside[index] === 0) continue;
                if (x === 0 || y === 0 || x === width - 1 || y === height - 1 || inside[index - 1] === 0 ||
                    inside[index + 1] === 0 || inside[index - width] === 0 || inside[index + width] === 0)
                    words[index] = colour;
            }
        }
        outline.getContext("2d").putImageData(image, 0, 0);
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
        const ranges = facts.ranges.slice(0, 4).map((r) => `${r.first}–${r.last}`).join(", ");
        let text = `Step ${step} paints ${facts.pixels} pixels.`;
        text += ranges ? ` Stable ranges: ${ranges}.` : " No stable range.";
        text += facts.suggestion >= 0 ? ` Suggested step: ${facts.suggestion}.` : "";
        if (facts.leak) text += ` Next leak at step ${facts.leak.to} (+${facts.leak.addedPixels} pixels).`;
        document.getElementById("explorer-summary").textContent = text;
        document.getElementById("use-suggestion").disabled = facts.suggestion < 0;
    }
}
