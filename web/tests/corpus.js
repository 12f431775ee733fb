// corpus.js - the pictures both hosts read in the cross-host tests: PNG of every kind, JPEG
// baseline, progressive, subsampled, grey, CMYK and with each EXIF orientation, BMP of every
// kind. makeCorpus(dir) writes them and dir/corpus.tsv (one line a picture: file, TAB, what it
// is) and returns [{file, what}].
//
// The shared corpus comes from picture_io/tests/make_corpus.py when the source tree has it;
// until then this writes a corpus of its own: PNG and BMP files byte by byte
// (picture-files.js), JPEGs through ImageMagick's convert.
"use strict";
const fs = require("fs");
const path = require("path");
const { spawnSync } = require("child_process");
const files = require("./picture-files.js");

const sharedCorpus = path.join(process.env.VX_SOURCE_DIR || "", "picture_io", "tests", "make_corpus.py");

// A deterministic picture: smooth colour, a sharp edge and some noise, so that fills, filters
// and chroma upsampling all meet something. Values are 16-bit.
function scene(width, height, seed = 1) {
    let state = seed;
    const noise = () => ((state = (state * 1103515245 + 12345) >>> 0) >>> 16) & 0xff;
    const pixels = [];
    for (let y = 0; y < height; ++y)
        for (let x = 0; x < width; ++x) {
            const edge = x * 3 > width + y ? 0x6000 : 0;
            const r = Math.min(0xffff, ((x * 0xffff) / width + edge) | 0);
            const g = ((y * 0xffff) / height) | 0;
            const b = (((x + y) * 0x7fff) / (width + height) + noise() * 64) | 0;
            const a = x < width / 4 ? 0 : Math.min(0xffff, ((x * 0x1ffff) / width) | 0) ^ (noise() & 0x3f);
            pixels.push([r, g, b, y % 7 === 0 ? 0xffff : a, noise()]);
        }
    return (x, y) => pixels[y * width + x];
}

function pngKinds() {
    const w = 61, h = 45, at = scene(w, h);
    const scale = (v, depth) => (depth === 16 ? v : v >> (16 - depth));
    const grey = (p) => ((p[0] * 3 + p[1] * 6 + p[2]) / 10) | 0;
    const sampler = (colourType, depth) => (x, y) => {
        const p = at(x, y);
        const s = { 0: [grey(p)], 2: [p[0], p[1], p[2]], 4: [grey(p), p[3]], 6: p.slice(0, 4) }[colourType];
        return s.map((v) => scale(v, depth));
    };
    const palette = (entries) => Array.from({ length: entries }, (_, i) => [(i * 97) & 255, (i * 31 + 50) & 255, 255 - ((i * 13) & 255)]);
    const indexSampler = (depth) => (x, y) => [(at(x, y)[4] ^ (x + y)) & ((1 << depth) - 1)];
    const kinds = [];
    const add = (name, what, options) => kinds.push({ name, what, bytes: files.makePng({ width: w, height: h, ...options }) });
    for (const depth of [1, 2, 4, 8, 16]) add(`png-grey-${depth}.png`, `PNG grey, ${depth} bits`, { colourType: 0, depth, sample: sampler(0, depth) });
    add("png-grey-2-trns.png", "PNG grey, 2 bits, tRNS", { colourType: 0, depth: 2, sample: sampler(0, 2), transparency: [0, 1] });
    add("png-grey-8-trns.png", "PNG grey, 8 bits, tRNS", { colourType: 0, depth: 8, sample: (x, y) => [at(x, y)[4] & 0xf0], transparency: [0, 0x30] });
    add("png-grey-16-trns.png", "PNG grey, 16 bits, tRNS", { colourType: 0, depth: 16, sample: (x, y) => [(at(x, y)[4] & 0xf0) * 257], transparency: [0x30, 0x30] });
    for (const depth of [8, 16]) {
        add(`png-grey-alpha-${depth}.png`, `PNG grey and alpha, ${depth} bits`, { colourType: 4, depth, sample: sampler(4, depth) });
        add(`png-rgb-${depth}.png`, `PNG RGB, ${depth} bits`, { colourType: 2, depth, sample: sampler(2, depth) });
        add(`png-rgba-${depth}.png`, `PNG RGBA, ${depth} bits, colour under alpha 0`, { colourType: 6, depth, sample: sampler(6, depth) });
    }
    add("png-rgb-8-trns.png", "PNG RGB, 8 bits, tRNS", { colourType: 2, depth: 8, sample: (x, y) => [x & 3 ? 10 : 200, 20, 30], transparency: [0, 10, 0, 20, 0, 30] });
    add("png-rgb-16-trns.png", "PNG RGB, 16 bits, tRNS", { colourType: 2, depth: 16, sample: (x, y) => [y & 1 ? 1000 : 1001, 2000, 3000], transparency: [3, 0xe8, 7, 0xd0, 0x0b, 0xb8] });
    for (const depth of [1, 2, 4, 8]) {
        const entries = 1 << depth;
        add(`png-palette-${depth}.png`, `PNG palette, ${depth} bits`, { colourType: 3, depth, sample: indexSampler(depth), palette: palette(entries) });
        add(`png-palette-${depth}-trns.png`, `PNG palette, ${depth} bits, partial tRNS`, {
            colourType: 3, depth, sample: indexSampler(depth), palette: palette(entries),
            transparency: Array.from({ length: Math.max(1, entries >> 1) }, (_, i) => (i * 77) & 255),
        });
    }
    add("png-interlaced-rgba-8.png", "PNG interlaced, RGBA 8 bits", { colourType: 6, depth: 8, interlace: 1, sample: sampler(6, 8) });
    add("png-interlaced-rgb-16.png", "PNG interlaced, RGB 16 bits", { colourType: 2, depth: 16, interlace: 1, sample: sampler(2, 16) });
    add("png-interlaced-grey-1.png", "PNG interlaced, grey 1 bit", { colourType: 0, depth: 1, interlace: 1, sample: sampler(0, 1) });
    add("png-interlaced-palette-4.png", "PNG interlaced, palette 4 bits, tRNS", { colourType: 3, depth: 4, interlace: 1, sample: indexSampler(4), palette: palette(16), transparency: [0, 128, 255] });
    add("png-interlaced-grey-alpha-16.png", "PNG interlaced, grey and alpha 16 bits", { colourType: 4, depth: 16, interlace: 1, sample: sampler(4, 16) });
    const colourChunks = [
        ["gAMA", Buffer.from([0, 0, 0xb1, 0x8f])],
        ["cHRM", Buffer.alloc(32, 7)],
        ["sRGB", Buffer.from([0])],
        ["iCCP", Buffer.concat([Buffer.from("a profile\0\0", "latin1"), require("zlib").deflateSync(Buffer.from("not a real profile, carried as it is"))])],
        ["tEXt", Buffer.from("Comment\0not carried", "latin1")],
        ["pHYs", Buffer.from([0, 0, 0x0b, 0x13, 0, 0, 0x0b, 0x13, 1])],
    ];
    add("png-colour-chunks.png", "PNG RGB 8 bits with gAMA, cHRM, sRGB, iCCP, pHYs", { colourType: 2, depth: 8, sample: sampler(2, 8), chunks: colourChunks, after: [["gAMA", Buffer.from([0, 1, 0, 0])]] });
    add("png-colour-chunks-16.png", "PNG grey 16 bits with gAMA and pHYs", { colourType: 0, depth: 16, sample: sampler(0, 16), chunks: [colourChunks[0], colourChunks[5]] });
    for (const orientation of [3, 6, 7])
        add(`png-exif-${orientation}.png`, `PNG RGBA 16 bits, eXIf orientation ${orientation}`, {
            colourType: 6, depth: 16, sample: sampler(6, 16), chunks: [["eXIf", files.exifTiff(orientation)]],
        });
    add("png-exif-after-data.png", "PNG RGB 8 bits, eXIf after the image data (not applied)", { colourType: 2, depth: 8, sample: sampler(2, 8), after: [["eXIf", files.exifTiff(6)]] });
    kinds.push({ name: "png-one-pixel.png", what: "PNG one pixel", bytes: files.makePng({ width: 1, height: 1, colourType: 6, depth: 8, sample: () => [1, 2, 3, 4] }) });
    kinds.push({ name: "png-column.png", what: "PNG interlaced one column", bytes: files.makePng({ width: 1, height: 9, colourType: 2, depth: 8, interlace: 1, sample: (x, y) => [y * 20, 5, 9] }) });
    return kinds;
}

function bmpKinds() {
    const w = 37, h = 23, at = scene(w, h, 5);
    const byte = (v) => v >> 8;
    const palette = Array.from({ length: 256 }, (_, i) => [(i * 53) & 255, (i * 11) & 255, 255 - i]);
    const index = (bits) => (x, y) => (at(x, y)[4] + x) & ((1 << bits) - 1);
    const kinds = [];
    const add = (name, what, options) => kinds.push({ name, what, bytes: files.makeBmp({ width: w, height: h, ...options }) });
    for (const bits of [1, 4, 8])
        add(`bmp-palette-${bits}.bmp`, `BMP palette, ${bits} bits`, { bits, palette: palette.slice(0, 1 << bits), data: files.bmpRows(w, h, bits, index(bits)) });
    add("bmp-short-palette-8.bmp", "BMP 8 bits, a palette of 40 colours", { bits: 8, palette: palette.slice(0, 40), data: files.bmpRows(w, h, 8, (x, y) => index(8)(x, y) % 40) });
    const rgb = (x, y) => at(x, y).slice(0, 3).map(byte);
    add("bmp-24.bmp", "BMP 24 bits", { bits: 24, data: files.bmpRows(w, h, 24, (x, y) => rgb(x, y).reverse()) });
    add("bmp-24-top-down.bmp", "BMP 24 bits, top-down", { bits: 24, topDown: true, data: files.bmpRows(w, h, 24, (x, y) => rgb(x, y).reverse()) });
    const word16 = (v) => [v & 255, v >> 8];
    add("bmp-16-555.bmp", "BMP 16 bits, 5-5-5", { bits: 16, data: files.bmpRows(w, h, 16, (x, y) => { const [r, g, b] = rgb(x, y); return word16(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)); }) });
    add("bmp-16-565-fields.bmp", "BMP 16 bits, 5-6-5 bit fields", { bits: 16, compression: 3, masks: [0xf800, 0x07e0, 0x001f, 0], data: files.bmpRows(w, h, 16, (x, y) => { const [r, g, b] = rgb(x, y); return word16(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)); }) });
    const alpha = (x, y) => byte(at(x, y)[3]);
    add("bmp-32-alpha.bmp", "BMP 32 bits, alpha in the fourth byte, colour under alpha 0", { bits: 32, data: files.bmpRows(w, h, 32, (x, y) => [...rgb(x, y).reverse(), alpha(x, y)]) });
    add("bmp-32-no-alpha.bmp", "BMP 32 bits, every fourth byte 0 (opaque)", { bits: 32, data: files.bmpRows(w, h, 32, (x, y) => [...rgb(x, y).reverse(), 0]) });
    add("bmp-32-fields-alpha.bmp", "BMP 32 bits, bit fields with alpha", {
        bits: 32, compression: 3, masks: [0x0000ff00, 0x00ff0000, 0xff000000, 0x000000ff],
        data: files.bmpRows(w, h, 32, (x, y) => { const [r, g, b] = rgb(x, y); return [alpha(x, y), r, g, b]; }),
    });
    add("bmp-32-fields-10-bits.bmp", "BMP 32 bits, 10-bit fields", {
        bits: 32, compression: 3, masks: [0x3ff00000, 0x000ffc00, 0x000003ff, 0],
        data: files.bmpRows(w, h, 32, (x, y) => { const [r, g, b] = at(x, y).map((v) => v >> 6); const v = (r << 20) | (g << 10) | b; return [v & 255, (v >> 8) & 255, (v >> 16) & 255, v >>> 24]; }),
    });
    // Run-length data: runs, literal runs, a jump over pixels (left transparent), rows ended early.
    const rle8 = [];
    for (let y = 0; y < h; ++y) {
        if (y === 5) { rle8.push(0, 2, 7, 2); y += 2; } // jump 7 right and 2 rows up
        rle8.push(9, y * 3, 0, 5, 1, 2, 3, 4, 5, 0, 9, 255 - y); // a literal run of 5, padded to 6 bytes
        rle8.push(0, 0);
    }
    rle8.push(0, 1);
    add("bmp-rle8.bmp", "BMP RLE8 with a jump and rows ended early", { bits: 8, compression: 1, palette, data: Buffer.from(rle8) });
    const rle4 = [];
    for (let y = 0; y < h; ++y) rle4.push(7, 0x12 + (y & 3), 0, 6, 0x34, 0x56, 0x78, 0, 5, 0x9a, 0, 0); // literals padded to 4 bytes
    rle4.push(0, 1);
    add("bmp-rle4.bmp", "BMP RLE4 with rows ended early", { bits: 4, compression: 2, palette: palette.slice(0, 16), data: Buffer.from(rle4) });
    return kinds;
}

function convert(args) {
    const run = spawnSync("convert", args, { encoding: "utf8" });
    if (run.status !== 0) throw new Error(`convert ${args.join(" ")}: ${run.stderr}`);
}

// JPEGs from one PNG of the scene, through ImageMagick.
function jpegKinds(dir) {
    const source = path.join(dir, "jpeg-source.png");
    const w = 67, h = 45, at = scene(w, h, 9);
    fs.writeFileSync(source, files.makePng({ width: w, height: h, colourType: 2, depth: 8, sample: (x, y) => at(x, y).slice(0, 3).map((v) => v >> 8) }));
    const kinds = [];
    const add = (name, what, args) => {
        const file = path.join(dir, name);
        convert([source, ...args, file]);
        kinds.push({ name, what, bytes: fs.readFileSync(file) });
    };
    add("jpeg-444.jpg", "JPEG baseline 4:4:4", ["-sampling-factor", "1x1", "-quality", "92"]);
    add("jpeg-420.jpg", "JPEG baseline 4:2:0", ["-sampling-factor", "2x2", "-quality", "85"]);
    add("jpeg-422.jpg", "JPEG baseline 4:2:2", ["-sampling-factor", "2x1", "-quality", "85"]);
    add("jpeg-440.jpg", "JPEG baseline 4:4:0", ["-sampling-factor", "1x2", "-quality", "85"]);
    add("jpeg-411.jpg", "JPEG baseline 4:1:1", ["-sampling-factor", "4x1", "-quality", "85"]);
    add("jpeg-progressive.jpg", "JPEG progressive 4:2:0", ["-sampling-factor", "2x2", "-interlace", "JPEG", "-quality", "80"]);
    add("jpeg-grey.jpg", "JPEG grey", ["-colorspace", "Gray", "-quality", "90"]);
    add("jpeg-cmyk.jpg", "JPEG CMYK (inverted, as Adobe writes it)", ["-colorspace", "CMYK", "-quality", "90"]);
    add("jpeg-restarts.jpg", "JPEG 4:2:0 with restart markers", ["-sampling-factor", "2x2", "-define", "jpeg:restart-interval=2"]);
    const base = kinds.find((k) => k.name === "jpeg-420.jpg").bytes;
    for (let orientation = 1; orientation <= 8; ++orientation)
        kinds.push({ name: `jpeg-exif-${orientation}.jpg`, what: `JPEG 4:2:0, EXIF orientation ${orientation}`, bytes: files.withJpegSegments(base, { orientation }) });
    // Photographs the size of the sample picture and larger, where the browser's decoding differs
    // most from the JPEG library's when it converts colour itself.
    const photo = path.join(process.env.VX_EXAMPLES_DIR || "", "chelsea.png");
    const addPhoto = (name, what, args) => {
        const file = path.join(dir, name);
        convert([photo, ...args, file]);
        kinds.push({ name, what, bytes: fs.readFileSync(file) });
    };
    addPhoto("jpeg-photo-420.jpg", "JPEG photograph 451 x 300, 4:2:0", ["-sampling-factor", "2x2", "-quality", "85"]);
    addPhoto("jpeg-photo-large-444.jpg", "JPEG photograph 1353 x 900, 4:4:4, progressive", ["-resize", "300%", "-sampling-factor", "1x1", "-interlace", "JPEG"]);
    addPhoto("jpeg-photo-large-cmyk.jpg", "JPEG photograph 902 x 600, CMYK", ["-resize", "200%", "-colorspace", "CMYK"]);
    const profile = Buffer.from(Array.from({ length: 700 }, (_, i) => (i * 7) & 255));
    kinds.push({ name: "jpeg-icc.jpg", what: "JPEG 4:2:0 with an ICC profile in two segments", bytes: files.withJpegSegments(base, { profile }) });
    return kinds;
}

function makeCorpus(dir) {
    fs.mkdirSync(dir, { recursive: true });
    if (fs.existsSync(sharedCorpus)) {
        const run = spawnSync("python3", [sharedCorpus, dir], { encoding: "utf8" });
        if (run.status !== 0) throw new Error(`make_corpus.py: ${run.stderr}`);
    } else {
        const kinds = [...pngKinds(), ...jpegKinds(dir), ...bmpKinds()];
        for (const kind of kinds) fs.writeFileSync(path.join(dir, kind.name), kind.bytes);
        fs.writeFileSync(path.join(dir, "corpus.tsv"), kinds.map((k) => `${k.name}\t${k.what}\n`).join(""));
    }
    return fs.readFileSync(path.join(dir, "corpus.tsv"), "utf8").split("\n").filter((line) => line.trim() !== "")
        .map((line) => {
            const [file, what] = line.split("\t");
            return { file: path.join(dir, file), what: what || file };
        });
}

module.exports = { makeCorpus, scene };
