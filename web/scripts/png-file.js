// png-file.js - reads and writes 8-bit RGBA PNG files in Node, for the build and the tests.
//
// writePng(path, width, height, rgba) writes RGBA rows (filter 0) through zlib.
// readPng(bytes) -> {width, height, rgba} reads the PNG files this project's tools write:
// 8 bits a channel, grey, grey+alpha, RGB or RGBA, not interlaced, any filter.
"use strict";
const fs = require("fs");
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

function encodePng(width, height, rgba) {
    const rowBytes = width * 4;
    const raw = Buffer.alloc((rowBytes + 1) * height);
    for (let y = 0; y < height; ++y)
        Buffer.from(rgba.buffer, rgba.byteOffset + y * rowBytes, rowBytes).copy(raw, y * (rowBytes + 1) + 1);
    const header = Buffer.alloc(13);
    header.writeUInt32BE(width, 0);
    header.writeUInt32BE(height, 4);
    header.set([8, 6, 0, 0, 0], 8);
    return Buffer.concat([
        Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
        chunk("IHDR", header),
        chunk("IDAT", zlib.deflateSync(raw, { level: 6 })),
        chunk("IEND", Buffer.alloc(0)),
    ]);
}

function writePng(path, width, height, rgba) {
    fs.writeFileSync(path, encodePng(width, height, rgba));
}

function readPng(bytes) {
    bytes = Buffer.from(bytes);
    if (bytes.readUInt32BE(0) !== 0x89504e47) throw new Error("not a PNG file");
    let offset = 8, width = 0, height = 0, colourType = 0;
    const data = [];
    while (offset < bytes.length) {
        const length = bytes.readUInt32BE(offset);
        const type = bytes.toString("latin1", offset + 4, offset + 8);
        const body = bytes.subarray(offset + 8, offset + 8 + length);
        if (type === "IHDR") {
            width = body.readUInt32BE(0);
            height = body.readUInt32BE(4);
            colourType = body[9];
            if (body[8] !== 8 || body[12] !== 0) throw new Error("only 8-bit, non-interlaced PNG");
        } else if (type === "IDAT") data.push(body);
        offset += 12 + length;
    }
    const channels = { 0: 1, 2: 3, 4: 2, 6: 4 }[colourType];
    if (!channels) throw new Error(`PNG colour type ${colourType} is not read here`);
    const raw = zlib.inflateSync(Buffer.concat(data));
    const stride = width * channels;
    const rows = Buffer.alloc(stride * height);
    for (let y = 0; y < height; ++y) {
        const filter = raw[y * (stride + 1)];
        const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
        for (let i = 0; i < stride; ++i) {
            const a = i >= channels ? rows[y * stride + i - channels] : 0;
            const b = y > 0 ? rows[(y - 1) * stride + i] : 0;
            const c = y > 0 && i >= channels ? rows[(y - 1) * stride + i - channels] : 0;
            let predictor = 0;
            if (filter === 1) predictor = a;
            else if (filter === 2) predictor = b;
            else if (filter === 3) predictor = (a + b) >> 1;
            else if (filter === 4) {
                const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
                predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            }
            rows[y * stride + i] = (line[i] + predictor) & 0xff;
        }
    }
    const rgba = new Uint8Array(width * height * 4);
    for (let p = 0; p < width * height; ++p) {
        const s = p * channels;
        const grey = channels <= 2;
        rgba[p * 4] = rows[s];
        rgba[p * 4 + 1] = grey ? rows[s] : rows[s + 1];
        rgba[p * 4 + 2] = grey ? rows[s] : rows[s + 2];
        rgba[p * 4 + 3] = channels === 2 ? rows[s + 1] : channels === 4 ? rows[s + 3] : 255;
    }
    return { width, height, rgba };
}

module.exports = { encodePng, writePng, readPng };
