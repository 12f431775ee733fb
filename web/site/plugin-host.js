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
//
// `events` receives what a window would show while the fill runs:
//   events.refresh(left, top, right, bottom)  the union of requested rectangles, clipped to the
//                                              picture, at most once per display frame and once
//                                              more at the end; read the pixels from `host.rgba`
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
        const { instance } = await WebAssembly.instantiate(wasmBytes, { env: host.imports() });
        host.attach(instance);
        return host;
    }

    constructor(events) {
        this.events = events;
        this.width = 0;
        this.height = 0;
        this.rgba = null; // Uint8ClampedArray, 4 bytes a pixel, what the page shows
        this.rgbaWords = null; // the same bytes as little-endian words, for single stores
        this.packed = null; // Uint32Array of 0xRRGGBB, what colour reads answer
        this.mask = null; // Uint8Array, DrawnBit and PaintedBit
        this.paintRgbaWord = 0;
        this.cursor = ArrowCursorHandle;
        this.resetClickState();
    }

    resetClickState() {
        this.refreshCount = 0;
        this.paintedCount = 0;
        this.messages = [];
        this.pendingRefresh = null; // [left, top, right, bottom] not yet shown
        this.lastRefreshPost = 0;
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
        this.words[(this.viewAddress + OwnerWindowOffset) >> 2] = OwnerWindowHandle;
        this.words[(this.viewAddress + CdibOffset) >> 2] = this.cdibAddress;
        this.stepTextAddress = 0;
        this.seedTextAddress = 0;
    }

    refreshViews() {
        this.bytes = new Uint8Array(this.memory.buffer);
        this.words = new Uint32Array(this.memory.buffer);
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
        this.width = width;
        this.height = height;
        this.rgba = new Uint8ClampedArray(rgbaBuffer);
        this.rgbaWords = new Uint32Array(rgbaBuffer);
        this.packed = new Uint32Array(width * height);
        const rgba = this.rgba;
        for (let i = 0, p = 0; i < this.packed.length; ++i, p += 4)
            this.packed[i] = (rgba[p] << 16) | (rgba[p + 1] << 8) | rgba[p + 2];
        this.mask = new Uint8Array(width * height);
        this.undoLog = new UndoLog();
        // The CDIB's two handle words, as the host would hand them back in colour reads.
        this.words[this.cdibAddress >> 2] = width;
        this.words[(this.cdibAddress >> 2) + 1] = height;
    }

    // Sets one pixel to an RGBA word (little-endian: red in the low byte) and its packed colour.
    setPixel(index, rgbaWord) {
        this.rgbaWords[index] = rgbaWord;
        this.packed[index] =
            ((rgbaWord & 0xff) << 16) | (rgbaWord & 0xff00) | ((rgbaWord >>> 16) & 0xff);
    }

    // ---- One click --------------------------------------------------------------------------------

    // Runs the tool at (x, y) as the editor does: the tolerance texts exactly as typed, the drawn
    // flags clear. Returns what a status line reports, and the undo record of the click.
    click(x, y, stepText, seedText, paintRgb) {
        this.resetClickState();
        this.mask.fill(0);
        const seedAddress = this.writeText(this.textBase, stepText);
        this.stepTextAddress = this.textBase;
        this.seedTextAddress = seedAddress;
        this.writeText(seedAddress, seedText);
        this.paintRgbaWord =
            (0xff000000 | ((paintRgb & 0xff) << 16) | (paintRgb & 0xff00) | ((paintRgb >>> 16) & 0xff)) >>> 0;
        this.undoLog.begin(this.paintRgbaWord);

        const start = performance.now();
        this.exports.VXcDrawIt(this.viewAddress, x, y, 0);
        const milliseconds = performance.now() - start;

        this.flushRefresh();
        const overflow = this.messages.some((m) => m.text === "Buffer over");
        for (const m of this.messages) this.events.message(m.caption, m.text);
        return {
            x, y, milliseconds, overflow,
            painted: this.paintedCount,
            refreshes: this.refreshCount,
            record: this.undoLog.finish(),
        };
    }

    // ---- Refresh requests, coalesced to the display's pace --------------------------------------

    requestRefresh(left, top, right, bottom) {
        ++this.refreshCount;
        // Clipped to the picture; (-1, -1, -1, -1) and other empty boxes show nothing.
        if (left < 0) left = 0;
        if (top < 0) top = 0;
        if (right >= this.width) right = this.width - 1;
        if (bottom >= this.height) bottom = this.height - 1;
        if (left > right || top > bottom) return;
        const pending = this.pendingRefresh;
        if (pending === null) this.pendingRefresh = [left, top, right, bottom];
        else {
            if (left < pending[0]) pending[0] = left;
            if (top < pending[1]) pending[1] = top;
            if (right > pending[2]) pending[2] = right;
            if (bottom > pending[3]) pending[3] = bottom;
        }
        const now = performance.now();
        if (now - this.lastRefreshPost >= RefreshPeriodMs) {
            this.lastRefreshPost = now;
            this.flushRefresh();
        }
    }

    flushRefresh() {
        const pending = this.pendingRefresh;
        if (pending === null) return;
        this.pendingRefresh = null;
        this.events.refresh(pending[0], pending[1], pending[2], pending[3]);
    }

    // ---- The imports ------------------------------------------------------------------------------

    imports() {
        // Plain closures over `host`: each service reads the current views off the host.
        const host = this;
        return {
            _VXsGetParameter(group, index) {
                if (group !== 2) return 0;
                if (index === 0) return host.stepTextAddress;
                if (index === 1) return host.seedTextAddress;
                return 0; // a missing entry
            },
            _VXsGetCDIBinfo(dib, info0, info1, info2) {
                if (host.memory.buffer !== host.words.buffer) host.refreshViews();
                const words = host.words;
                words[info0 >> 2] = host.width;
                words[info1 >> 2] = host.height;
                words[info2 >> 2] = 32; // bits per pixel
            },
            _VXsStartOnImage() {},
            _VXsGetColorOnImage(word0, word1, x, y, colourAddress) {
                // Unsigned comparisons turn negative coordinates into large ones.
                if (x >>> 0 >= host.width || y >>> 0 >= host.height) return 0;
                host.words[colourAddress >> 2] = host.packed[y * host.width + x];
                return 1;
            },
            _VXsGetMask(view, x, y) {
                if (x >>> 0 >= host.width || y >>> 0 >= host.height) return 0;
                return host.mask[y * host.width + x];
            },
            _VXsStartPset() {},
            _VXsPSet(view, x, y) {
                if (x >>> 0 >= host.width || y >>> 0 >= host.height) return;
                const index = y * host.width + x;
                const mask = host.mask;
                if ((mask[index] & PaintedBit) === 0) {
                    mask[index] |= PaintedBit;
                    host.undoLog.add(index, host.rgbaWords[index]);
                    ++host.paintedCount;
                }
                host.setPixel(index, host.paintRgbaWord);
            },
            _VXsSetDrawFlag(view, x, y) {
                if (x >>> 0 >= host.width || y >>> 0 >= host.height) return;
                host.mask[y * host.width + x] |= DrawnBit;
            },
            _VXsUpdateImageWindow(view, left, top, right, bottom) {
                host.requestRefresh(left, top, right, bottom);
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
            MessageBoxA(owner, text, caption) {
                // The box is shown once the fill has returned; the plug-in calls it last.
                host.flushRefresh();
                host.messages.push({ text: host.readText(text), caption: host.readText(caption) });
                return 1; // IDOK
            },
        };
    }
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
