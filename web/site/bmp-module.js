// bmp-module.js - bmp.wasm, the native tools' BMP decoder (web/bmp_exports.cpp), for the
// worker: a BMP file's bytes in, region_grow's colour words out.

// The C library's stdio imports three file calls that a file in memory never makes.
const NoFiles = { fd_close: () => 8, fd_seek: () => 8, fd_write: () => 8 }; // 8: bad descriptor

export class BmpModule {
    static async load(bytes) {
        const { instance } = await WebAssembly.instantiate(bytes, { wasi_snapshot_preview1: NoFiles });
        instance.exports.__wasm_call_ctors();
        return new BmpModule(instance.exports);
    }

    constructor(exports) {
        this.exports = exports;
    }

    // Resolves to the picture, as png-decode.js describes it, or throws the decoder's reason.
    // `limits` ({pixels, side}) refuses a picture from its header, with `tooLarge(w, h)`.
    decode(bytes, limits, tooLarge) {
        const e = this.exports;
        try {
            const address = e.bmp_buffer(bytes.length);
            if (address === 0) throw new Error("not enough memory");
            new Uint8Array(e.memory.buffer, address, bytes.length).set(bytes);
            const status = e.bmp_decode(bytes.length, limits.pixels, limits.side);
            if (status === 2) tooLarge(e.bmp_width(), e.bmp_height());
            if (status !== 1) throw new Error(this.text(e.bmp_reason()));
            const width = e.bmp_width(), height = e.bmp_height();
            return {
                format: "BMP", width, height,
                words: new Uint32Array(e.memory.buffer, e.bmp_pixels(), width * height).slice(),
                hasAlpha: e.bmp_has_alpha() === 1, grey: false, deep: null, colour: [], orientation: 1,
            };
        } finally {
            e.bmp_release();
        }
    }

    text(address) {
        const bytes = new Uint8Array(this.exports.memory.buffer);
        let end = address;
        while (bytes[end] !== 0) ++end;
        return new TextDecoder().decode(bytes.subarray(address, end));
    }
}
