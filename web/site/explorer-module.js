// explorer-module.js - explorer.wasm for the page and the worker: the tolerance explorer
// compiled from its own sources, with the thin wrapper of web/explorer_exports.cpp.
//
// The module allocates nothing; this class lays its memory out from explorer_heap_base():
//   text (64 KB) | curve (256 words) | ranges (128 x 4 words) | leak (4 words) | picture's
//   colours (4 bytes a pixel) | map (2 bytes a pixel, rounded up) | scratch
// and grows the memory when a picture needs more.

const TextBytes = 65536;
const Steps = 256;
const MaxRanges = 128;

export class ExplorerModule {
    static async load(bytes) {
        const { instance } = await WebAssembly.instantiate(bytes, {});
        return new ExplorerModule(instance.exports);
    }

    constructor(exports) {
        this.exports = exports;
        this.memory = exports.memory;
        this.textAddress = exports.explorer_heap_base();
        this.curveAddress = this.textAddress + TextBytes;
        this.rangesAddress = this.curveAddress + Steps * 4;
        this.leakAddress = this.rangesAddress + MaxRanges * 16;
        this.pictureAddress = this.leakAddress + 16;
        this.reserve(this.pictureAddress);
    }

    // Makes the memory reach at least `end` bytes.
    reserve(end) {
        const missing = end - this.memory.buffer.byteLength;
        if (missing > 0) this.memory.grow(Math.ceil(missing / 65536));
    }

    writeText(text) {
        const encoded = new TextEncoder().encode(text).subarray(0, TextBytes - 1);
        const bytes = new Uint8Array(this.memory.buffer, this.textAddress, TextBytes);
        bytes.set(encoded);
        bytes[encoded.length] = 0;
        return this.textAddress;
    }

    // A tolerance text as the plug-in reads it.
    parseTolerance(text) {
        return this.exports.explorer_parse_tolerance(this.writeText(text));
    }

    // The join tolerance map and the growth curve for a click at (x, y). `packed` holds the
    // picture's colours as 0xRRGGBB words. Returns {status, map, curve}; status 0 is done,
    // 2 means the seed lies outside the picture.
    compute(width, height, packed, x, y, seedText) {
        const pixels = width * height;
        const mapAddress = this.pictureAddress + pixels * 4;
        const scratchAddress = mapAddress + Math.ceil((pixels * 2) / 4) * 4;
        const scratchBytes = this.exports.explorer_scratch_bytes(width, height);
        if (scratchBytes === 0) return { status: 1 };
        this.reserve(scratchAddress + scratchBytes);
        new Uint32Array(this.memory.buffer, this.pictureAddress, pixels).set(packed);
        const seedTextAddress = this.writeText(seedText);
        const status = this.exports.explorer_compute(this.pictureAddress, width, height, x, y, seedTextAddress,
            scratchAddress, scratchBytes, mapAddress, this.curveAddress);
        if (status !== 0) return { status };
        return {
            status,
            map: new Uint16Array(this.memory.buffer, mapAddress, pixels).slice(),
            curve: new Uint32Array(this.memory.buffer, this.curveAddress, Steps).slice(),
        };
    }

    // What the curve says about a step: pixels painted, stable ranges (widest first), the
    // suggested step (-1 for none) and the next leak above the step (null for none).
    readCurve(curve, step) {
        new Uint32Array(this.memory.buffer, this.curveAddress, Steps).set(curve);
        const e = this.exports;
        const count = e.explorer_stable_ranges(this.curveAddress, this.rangesAddress);
        const words = new Int32Array(this.memory.buffer, this.rangesAddress, count * 4);
        const ranges = [];
        for (let i = 0; i < count; ++i)
            ranges.push({ first: words[4 * i], last: words[4 * i + 1], firstPixels: words[4 * i + 2] >>> 0, lastPixels: words[4 * i + 3] >>> 0 });
        let leak = null;
        if (e.explorer_next_leak(this.curveAddress, step, this.leakAddress)) {
            const l = new Int32Array(this.memory.buffer, this.leakAddress, 3);
            leak = { from: l[0], to: l[1], addedPixels: l[2] >>> 0 };
        }
        return {
            pixels: e.explorer_pixels_at_step(this.curveAddress, step) >>> 0,
            ranges,
            suggestion: e.explorer_suggest(this.curveAddress),
            leak,
        };
    }
}
