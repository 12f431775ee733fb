// picture-files.js - picture files of every kind for the browser tests, written byte by byte
// so that each test knows exactly what a file holds: PNG of any colour type, bit depth and
// interlacing with any chunks, BMP of any depth, bit fields and run-length data, and the EXIF
// and ICC segments a JPEG carries. Also a reader of the PNG files the page and region_grow
// write, through Node's zlib, apart from the page's own decoder.
"use strict";
const zlib = require("zlib");

const crcTable = new Uint32Array(256).map((_, n) => {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
});
function crc32(bytes) {
    let crc = 0xffffffff;
    for (const byte of bytes) crc = crcTable[(crc ^ byte) & 0xff] ^ (crc >>> 8);
    return (crc ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
    const out = Buffer.alloc(12 + data.length);
    out.writeUInt32BE(data.length, 0);
    out.write(type, 4, "latin1");
    Buffer.from(data).copy(out, 8);
    out.writeUInt32BE(crc32(out.subarray(4, 8 + data.length)), 8 + data.length);
    return out;
}

const Samples = { 0: 1, 2: 3, 3: 1, 4: 2, 6: 4 };
const Adam7 = [[0, 0, 8, 8], [4, 0, 8, 8], [0, 4, 4, 8], [2, 0, 4, 4], [0, 2, 2, 4], [1, 0, 2, 2], [0, 1, 1, 2]];

// The rows of a PNG's image data, filter bytes included (filter `filter` on every row, or
// cycling through all five when it is "all"): sample(x, y) gives a pixel's samples.
function pngRows({ width, height, colourType, depth, interlace, sample, filter = "all" }) {
    const passes = interlace ? Adam7 : [[0, 0, 1, 1]];
    const bits = Samples[colourType] * depth, bpp = Math.max(1, bits >> 3);
    const out = [];
    let rowNumber = 0;
    for (const [x0, y0, dx, dy] of passes) {
        const xs = [], ys = [];
        for (let x = x0; x < width; x += dx) xs.push(x);
        for (let y = y0; y < height; y += dy) ys.push(y);
        if (xs.length === 0) continue;
        const stride = Math.ceil((xs.length * bits) / 8);
        let previous = Buffer.alloc(stride);
        for (const y of ys) {
            const row = Buffer.alloc(stride);
            xs.forEach((x, i) => {
                sample(x, y).forEach((value, c) => {
                    const at = (i * Samples[colourType] + c) * depth;
                    if (depth === 16) row.writeUInt16BE(value, at / 8);
                    else row[at >> 3] |= value << (8 - depth - (at & 7));
                });
            });
            const type = filter === "all" ? rowNumber++ % 5 : filter;
            const filtered = Buffer.alloc(stride + 1);
            filtered[0] = type;
            for (let i = 0; i < stride; ++i) {
                const a = i >= bpp ? row[i - bpp] : 0, b = previous[i], c = i >= bpp ? previous[i - bpp] : 0;
                const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
                const predictor = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][type];
                filtered[1 + i] = (row[i] - predictor) & 0xff;
            }
            out.push(filtered);
            previous = row;
        }
    }
    return Buffer.concat(out);
}

// A PNG file. `chunks` are [type, data] put before the image data (after PLTE and tRNS);
// `after` after it. `palette` is [[r, g, b], ...]; `transparency` the tRNS data. `data` replaces
// the compressed image data (for damaged files).
function makePng(options) {
    const { width, height, colourType, depth, interlace = 0, palette, transparency, chunks = [], after = [] } = options;
    const header = Buffer.alloc(13);
    header.writeUInt32BE(width, 0);
    header.writeUInt32BE(height, 4);
    header.set([depth, colourType, 0, 0, interlace], 8);
    const data = options.data || zlib.deflateSync(pngRows(options));
    return Buffer.concat([
        Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
        chunk("IHDR", header),
        ...(palette ? [chunk("PLTE", Buffer.from(palette.flat()))] : []),
        ...(transparency ? [chunk("tRNS", Buffer.from(transparency))] : []),
        ...chunks.map(([type, body]) => chunk(type, body)),
        // The image data in two chunks, as writers split it.
        chunk("IDAT", data.subarray(0, data.length >> 1)),
        chunk("IDAT", data.subarray(data.length >> 1)),
        ...after.map(([type, body]) => chunk(type, body)),
        chunk("IEND", Buffer.alloc(0)),
    ]);
}

// A TIFF structure (big-endian) whose first directory holds one orientation.
function exifTiff(orientation) {
    return Buffer.from([0x4d, 0x4d, 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, orientation, 0, 0, 0, 0, 0, 0]);
}

// A JPEG with segments put right after its start: an EXIF orientation, an ICC profile split in
// `parts` APP2 segments.
function withJpegSegments(jpeg, { orientation, profile, parts = 2 }) {
    const segments = [];
    const segment = (marker, body) => {
        const head = Buffer.from([0xff, marker, 0, 0]);
        head.writeUInt16BE(body.length + 2, 2);
        segments.push(head, body);
    };
    if (orientation) segment(0xe1, Buffer.concat([Buffer.from("Exif\0\0", "latin1"), exifTiff(orientation)]));
    if (profile) {
        const size = Math.ceil(profile.length / parts);
        for (let i = 0; i < parts; ++i)
            segment(0xe2, Buffer.concat([Buffer.from("ICC_PROFILE\0", "latin1"), Buffer.from([i + 1, parts]), profile.subarray(i * size, (i + 1) * size)]));
    }
    return Buffer.concat([jpeg.subarray(0, 2), ...segments, jpeg.subarray(2)]);
}

// A BMP file with a 40-byte header (or 108 with `masks`, for bit fields with alpha): `bits` a
// pixel, `rows` the pixel data as stored (bottom-up unless `topDown`), `palette` [[r, g, b]].
function makeBmp({ width, height, bits, compression = 0, palette = [], masks = null, topDown = false, data }) {
    const headerSize = masks ? 108 : 40;
    const offset = 14 + headerSize + palette.length * 4;
    const file = Buffer.alloc(offset + data.length);
    file.write("BM", 0, "latin1");
    file.writeUInt32LE(file.length, 2);
    file.writeUInt32LE(offset, 10);
    file.writeUInt32LE(headerSize, 14);
    file.writeInt32LE(width, 18);
    file.writeInt32LE(topDown ? -height : height, 22);
    file.writeUInt16LE(1, 26);
    file.writeUInt16LE(bits, 28);
    file.writeUInt32LE(compression, 30);
    file.writeUInt32LE(data.length, 34);
    file.writeUInt32LE(palette.length, 46);
    if (masks) masks.forEach((mask, i) => file.writeUInt32LE(mask >>> 0, 54 + 4 * i));
    palette.forEach(([r, g, b], i) => file.set([b, g, r, 0], 14 + headerSize + 4 * i));
    Buffer.from(data).copy(file, offset);
    return file;
}

// Uncompressed BMP rows, each padded to 4 bytes: pixel(x, y) gives the palette index of a pixel
// of 8 bits or fewer, or the bytes of a wider one. y counts rows as stored.
function bmpRows(width, height, bits, pixel) {
    const stride = Math.ceil((width * bits) / 32) * 4;
    const data = Buffer.alloc(stride * height);
    for (let y = 0; y < height; ++y)
        for (let x = 0; x < width; ++x) {
            if (bits <= 8) data[y * stride + ((x * bits) >> 3)] |= pixel(x, y) << (8 - bits - ((x * bits) & 7));
            else Buffer.from(pixel(x, y)).copy(data, y * stride + (x * bits) / 8);
        }
    return data;
}

// ---- Reading what the page and region_grow write ------------------------------------------------

// A non-interlaced PNG of 8 or 16 bits, grey or RGB, with or without alpha:
// {width, height, depth, grey, alpha, rgba (4 samples a pixel at the file's depth, alpha at its
// largest value where the file has none), chunks: [{type, data}] other than IHDR, IDAT, IEND}.
function readPngSamples(bytes) {
    bytes = Buffer.from(bytes);
    let offset = 8, header = null;
    const data = [], chunks = [];
    while (offset < bytes.length) {
        const length = bytes.readUInt32BE(offset);
        const type = bytes.toString("latin1", offset + 4, offset + 8);
        const body = bytes.subarray(offset + 8, offset + 8 + length);
        if (type === "IHDR") header = { width: body.readUInt32BE(0), height: body.readUInt32BE(4), depth: body[8], colourType: body[9], interlace: body[12] };
        else if (type === "IDAT") data.push(body);
        else if (type !== "IEND") chunks.push({ type, data: Buffer.from(body) });
        offset += 12 + length;
    }
    const { width, height, depth, colourType } = header;
    if (![8, 16].includes(depth) || ![0, 2, 4, 6].includes(colourType) || header.interlace)
        throw new Error(`a PNG of colour type ${colourType} at ${depth} bits${header.interlace ? ", interlaced" : ""} is not read here`);
    const samples = Samples[colourType], bpp = (samples * depth) / 8, stride = width * bpp;
    const raw = zlib.inflateSync(Buffer.concat(data));
    const rows = Buffer.alloc(stride * height);
    for (let y = 0; y < height; ++y) {
        const filter = raw[y * (stride + 1)];
        for (let i = 0; i < stride; ++i) {
            const a = i >= bpp ? rows[y * stride + i - bpp] : 0;
            const b = y > 0 ? rows[(y - 1) * stride + i] : 0;
            const c = y > 0 && i >= bpp ? rows[(y - 1) * stride + i - bpp] : 0;
            const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
            const predictor = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
            rows[y * stride + i] = (raw[y * (stride + 1) + 1 + i] + predictor) & 0xff;
        }
    }
    const grey = colourType === 0 || colourType === 4, alpha = colourType === 4 || colourType === 6;
    const max = depth === 16 ? 0xffff : 0xff;
    const rgba = new Uint16Array(width * height * 4);
    for (let p = 0; p < width * height; ++p) {
        const s = (c) => (depth === 16 ? rows.readUInt16BE(p * bpp + 2 * c) : rows[p * bpp + c]);
        rgba[4 * p] = s(0);
        rgba[4 * p + 1] = grey ? s(0) : s(1);
        rgba[4 * p + 2] = grey ? s(0) : s(2);
        rgba[4 * p + 3] = alpha ? s(samples - 1) : max;
    }
    return { width, height, depth, grey, alpha, rgba, chunks };
}

module.exports = { crc32, chunk, makePng, pngRows, exifTiff, withJpegSegments, makeBmp, bmpRows, readPngSamples };
