// plugin-host.js - the editor's side of the plug-in boundary, in JavaScript.
//
// paint.wasm is the plug-in compiled unchanged for wasm32: it imports the host's nine `_VXs`
// services and the three window calls (module "env") and exports the six `VXc` entry points
// and its memory. This module answers those imports over one picture and its drawn mask, as
// the editor does, and runs one click as the editor does: a fresh mask, then VXcDrawIt.
//
//   const host = await PluginHost.create(wasmBytes, events);
//   host.loadPicture(width, height, rgbaBytes);   // takes over the buffer
//   const report = host.click(x, y, stepText, seedText, 0xRRGGBB);
//   // {x, y, painted, refreshes, milliseconds, overflow, error (null or a text), record}
//
// `events` receives what a window would show while the fill runs:
//   events.painted(indices)                    the pixels (indices y * width + x) painted since
//                                              the last call and covered by a refresh request
//                                              since: what the requested rectangles show anew.
//                                              At most once per display frame, and at the end.
//                                              Read their colours from `host.rgba`.
//   events.cursor(name)                        "wait" or "default"
//   events.message(caption, text)              the plug-in's message box; the fill has ended
//
// Speed: every imported call crosses from the module into JavaScript about eleven times per
// pixel, so each service is a few typed-array accesses over views made once per picture (and
// again only if the module's memory grows). Nothing is allocated per call.

const DrawnBit = 0x40;
// Our own mask bit: painted during this click. It keeps the undo record to one entry per pixel.
const PaintedBit = 0x80;
const IdcWait = 32514;
const ArrowCursorHandle = 1;
const WaitCursorHandle = 2;
// ImageView field offsets the plug-in reads (32-bit fields on wasm32, as on the host's build).
const OwnerWindowOffset = 672;
const CdibOffset = 684;
const ImageViewSize = 688;
const OwnerWindowHandle = 0x5700; // any non-zero value: the page has one window
const RefreshPeriodMs = 16; // one display frame

export class PluginHost {
    static async create(wasmBytes, events) {
        const host = new PluginHost(events);
        host.module = await WebAssembly.compile(wasmBytes);
        host.attach(await WebAssembly.instantiate(host.module, { env: host.imports() }));
        return host;
    }

    constructor(events) {
        this.events = events;
        // What the services touch, in one object of a fixed shape (see imports()).
        this.view = {
            width: 0,
            height: 0,
            rgba: new Uint8ClampedArray(0), // 4 bytes a pixel, what the page shows
            rgbaWords: new Uint32Array(0), // the same bytes as little-endian words
            packed: new Uint32Array(0), // 0xRRGGBB a pixel, what colour reads answer
            mask: new Uint8Array(0), // DrawnBit and PaintedBit
            words: new Uint32Array(0), // the module's memory
            paintRgbaWord: 0,
            paintPacked: 0,
        };
        this.cursor = ArrowCursorHandle;
        this.undoLog = new UndoLog();
        this.resetClickState();
    }

    get width() {
        return this.view.width;
    }
    get height() {
        return this.view.height;
    }
    get rgba() {
        return this.view.rgba;
    }

    resetClickState() {
        this.refreshCount = 0;
        this.messages = [];
        this.lastRefreshPost = performance.now();
        this.paintedRequested = 0; // undo log entries covered by a refresh request
        this.paintedShown = 0; // undo log entries handed to events.painted
    }

    // ---- The module and its memory ------------------------------------------------------------

    attach(instance) {
        this.exports = instance.exports;
        this.memory = instance.exports.memory;
        // The plug-in allocates nothing, so memory beyond what it was linked with is free: one
        // page of our own holds the ImageView, the CDIB and the parameter texts.
        this.scratchBase = this.memory.grow(1) * 65536;
        this.viewAddress = this.scratchBase;
        this.cdibAddress = this.scratchBase + ImageViewSize;
        this.textBase = this.cdibAddress + 8;
        this.textLimit = this.scratchBase + 65536;
        this.refreshViews();
        const words = this.view.words;
        words[(this.viewAddress + OwnerWindowOffset) >> 2] = OwnerWindowHandle;
        words[(this.viewAddress + CdibOffset) >> 2] = this.cdibAddress;
        this.stepTextAddress = 0;
        this.seedTextAddress = 0;
    }

    refreshViews() {
        this.bytes = new Uint8Array(this.memory.buffer);
        this.view.words = new Uint32Array(this.memory.buffer);
    }

    // Writes a NUL-terminated text into our page; a text too long for it is cut at the page.
    writeText(address, text) {
        const encoded = new TextEncoder().encode(text);
        const length = Math.min(encoded.length, this.textLimit - address - 1);
        this.bytes.set(encoded.subarray(0, length), address);
        this.bytes[address + length] = 0;
        return address + length + 1;
    }

    readText(address) {
        let end = address;
        while (end < this.bytes.length && this.bytes[end] !== 0) ++end;
        return new TextDecoder("latin1").decode(this.bytes.subarray(address, end));
    }

    // ---- The picture ----------------------------------------------------------------------------

    // Takes over `rgbaBuffer` (an ArrayBuffer of width * height * 4 bytes, RGBA).
    loadPicture(width, height, rgbaBuffer) {
        if (!(width > 0 && height > 0) || rgbaBuffer.byteLength !== width * height * 4)
            throw new Error(`a ${width} x ${height} picture needs ${width * height * 4} bytes`);
        const v = this.view;
        v.width = width;
        v.height = height;
        v.rgba = new Uint8ClampedArray(rgbaBuffer);
        v.rgbaWords = new Uint32Array(rgbaBuffer);
        v.packed = new Uint32Array(width * height);
        const rgba = v.rgba;
        for (let i = 0, p = 0; i < v.packed.length; ++i, p += 4)
            v.packed[i] = (rgba[p] << 16) | (rgba[p + 1] << 8) | rgba[p + 2];
        v.mask = new Uint8Array(width * height);
        this.undoLog = new UndoLog();
        this.setTextsAndHandles();
    }

    // The CDIB's two handle words, as the host would hand them back in colour reads.
    setTextsAndHandles() {
        const v = this.view;
        v.words[this.cdibAddress >> 2] = v.width;
        v.words[(this.cdibAddress >> 2) + 1] = v.height;
    }

    // Sets one pixel to an RGBA word (little-endian: red in the low byte) and its packed colour.
    setPixel(index, rgbaWord) {
        this.view.rgbaWords[index] = rgbaWord;
        this.view.packed[index] = packedOf(rgbaWord);
    }

    // ---- One click --------------------------------------------------------------------------------

    // Runs the tool at (x, y) as the editor does: the tolerance texts exactly as typed, the drawn
    // flags clear. Returns what a status line reports, and the undo record of the click.
    click(x, y, stepText, seedText, paintRgb) {
        const v = this.view;
        this.resetClickState();
        v.mask.fill(0);
        this.stepTextAddress = this.textBase;
        this.seedTextAddress = this.writeText(this.textBase, stepText);
        this.writeText(this.seedTextAddress, seedText);
        v.paintRgbaWord = (0xff000000 | ((paintRgb & 0xff) << 16) | (paintRgb & 0xff00) | ((paintRgb >>> 16) & 0xff)) >>> 0;
        v.paintPacked = paintRgb & 0xffffff;
        this.undoLog.begin(v.paintRgbaWord);

        const start = performance.now();
        let error = null;
        try {
            this.exports.VXcDrawIt(this.viewAddress, x, y, 0);
        } catch (thrown) {
            // A fill cut short by an exception leaves the plug-in's static state behind (its
            // one-fill-at-a-time flag set), and every later fill would silently do nothing: a
            // fresh instance of the module starts clean. The picture lives here and stays, and
            // what the fill painted is shown and can be undone like any fill's.
            error = `the fill at ${x} ${y} stopped: ${(thrown && thrown.message) || thrown}`;
            this.cursor = ArrowCursorHandle;
            this.events.cursor("default");
            this.attach(new WebAssembly.Instance(this.module, { env: this.imports() }));
            this.setTextsAndHandles();
            this.paintedRequested = this.undoLog.length;
        }
        const milliseconds = performance.now() - start;

        this.flushRefresh();
        const overflow = this.messages.some((m) => m.text === "Buffer over");
        for (const m of this.messages) this.events.message(m.caption, m.text);
        return {
            x, y, milliseconds, overflow, error,
            painted: this.undoLog.length, // one entry a distinct pixel
            refreshes: this.refreshCount,
            record: this.undoLog.finish(),
        };
    }

    // ---- Refresh requests, shown at the display's pace ------------------------------------------

    // Only the host's PSet changes pixels during a fill, and every painted pixel lies in the
    // rectangle of the next refresh request. So what the requested rectangles show anew is
    // exactly the pixels painted before the latest request: the undo log up to where it stood
    // then. Those are handed over at most once a display frame. Sending the rectangles' pixels
    // instead would cost far more: a breadth-first fill's 200 pixels between two requests lie
    // scattered round its front, and their rectangle is on average hundreds of times larger.
    requestRefresh() {
        ++this.refreshCount;
        this.paintedRequested = this.undoLog.length;
        const now = performance.now();
        if (now - this.lastRefreshPost >= RefreshPeriodMs) {
            this.lastRefreshPost = now;
            this.flushRefresh();
        }
    }

    flushRefresh() {
        if (this.paintedRequested === this.paintedShown) return;
        this.events.painted(this.undoLog.indices.subarray(this.paintedShown, this.paintedRequested));
        this.paintedShown = this.paintedRequested;
    }

    imports() {
        // Each service reads the picture through the host's typed-array views; `host.view` holds
        // them in one object whose shape never changes, so that every access is a plain load.
        // Every function declares exactly the arguments the module passes: a call whose count
        // differs from the function's goes through a slower adapter.
        const host = this;
        const v = this.view;
        return {
            _VXsGetParameter(group, index) {
                if (group !== 2) return 0;
                if (index === 0) return host.stepTextAddress;
                if (index === 1) return host.seedTextAddress;
                return 0; // a missing entry
            },
            _VXsGetCDIBinfo(dib, info0, info1, info2) {
                if (host.memory.buffer !== v.words.buffer) host.refreshViews();
                v.words[info0 >> 2] = v.width;
                v.words[info1 >> 2] = v.height;
                v.words[info2 >> 2] = 32; // bits per pixel
            },
            _VXsStartOnImage(dib) {},
            _VXsGetColorOnImage(word0, word1, x, y, colourAddress) {
                // Unsigned comparisons turn negative coordinates into large ones.
                if (x >>> 0 >= v.width || y >>> 0 >= v.height) return 0;
                v.words[colourAddress >> 2] = v.packed[y * v.width + x];
                return 1;
            },
            _VXsGetMask(view, x, y) {
                if (x >>> 0 >= v.width || y >>> 0 >= v.height) return 0;
                return v.mask[y * v.width + x];
            },
            _VXsStartPset(view, x, y) {},
            _VXsPSet(view, x, y, zero) {
                if (x >>> 0 >= v.width || y >>> 0 >= v.height) return;
                const index = y * v.width + x;
                const mask = v.mask;
                if ((mask[index] & PaintedBit) === 0) {
                    mask[index] |= PaintedBit;
                    host.undoLog.add(index, v.rgbaWords[index]);
                }
                v.rgbaWords[index] = v.paintRgbaWord;
                v.packed[index] = v.paintPacked;
            },
            _VXsSetDrawFlag(view, x, y, one) {
                if (x >>> 0 >= v.width || y >>> 0 >= v.height) return;
                v.mask[y * v.width + x] |= DrawnBit;
            },
            _VXsUpdateImageWindow(view, left, top, right, bottom) {
                host.requestRefresh();
            },
            LoadCursorA(module, name) {
                return module === 0 && name === IdcWait ? WaitCursorHandle : 0;
            },
            SetCursor(cursor) {
                const previous = host.cursor;
                host.cursor = cursor;
                if (cursor !== previous)
                    host.events.cursor(cursor === WaitCursorHandle ? "wait" : "default");
                return previous;
            },
            MessageBoxA(owner, text, caption, type) {
                // The box is shown once the fill has returned; the plug-in calls it last.
                host.flushRefresh();
                host.messages.push({ text: host.readText(text), caption: host.readText(caption) });
                return 1; // IDOK
            },
        };
    }
}

function packedOf(rgbaWord) {
    return ((rgbaWord & 0xff) << 16) | (rgbaWord & 0xff00) | ((rgbaWord >>> 16) & 0xff);
}

// The pixels one click painted and their colours before it, for undo and redo. Two typed
// arrays that double when full, so the per-pixel cost is two stores.
export class UndoLog {
    constructor() {
        this.indices = new Uint32Array(65536);
        this.before = new Uint32Array(65536);
        this.length = 0;
        this.after = 0;
    }

    begin(afterWord) {
        this.length = 0;
        this.after = afterWord;
    }

    add(index, beforeWord) {
        if (this.length === this.indices.length) {
            const indices = new Uint32Array(this.length * 2);
            const before = new Uint32Array(this.length * 2);
            indices.set(this.indices);
            before.set(this.before);
            this.indices = indices;
            this.before = before;
        }
        this.indices[this.length] = index;
        this.before[this.length] = beforeWord;
        ++this.length;
    }

    // A record of its own, so the log is ready for the next click.
    finish() {
        return {
            indices: this.indices.slice(0, this.length),
            before: this.before.slice(0, this.length),
            after: this.after,
        };
    }
}
