// png-encode.js - writes RGBA pixels as a PNG file, 8 bits a channel, alpha kept exactly.
//
// A canvas cannot do this: it stores colours multiplied by alpha, so a partly transparent
// pixel would come back with rounded colours. The rows go through the browser's own zlib
// stream (CompressionStream "deflate"), each with filter type 0.

const CrcTable = (() => {
    const table = new Uint32Array(256);
    for (let n = 0; n < 256; ++n) {
        let c = n;
        for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
        table[n] = c >>> 0;
    }
    return table;
})();

function crc32(bytes, start, end) {
    let crc = 0xffffffff;
    for (let i = start; i < end; ++i) crc = CrcTable[(crc ^ bytes[i]) & 0xff] ^ (crc >>> 8);
    return (crc ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
    const out = new Uint8Array(12 + data.length);
    const view = new DataView(out.buffer);
    view.setUint32(0, data.length);
    for (let i = 0; i < 4; ++i) out[4 + i] = type.charCodeAt(i);
    out.set(data, 8);
    view.setUint32(8 + data.length, crc32(out, 4, 8 + data.length));
    return out;
}

async function deflate(bytes) {
    const stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream("deflate"));
    return new Uint8Array(await new Response(stream).arrayBuffer());
}

// Returns the file's bytes as a Uint8Array.
export async function encodePng(width, height, rgba) {
    const rowBytes = width * 4;
    const raw = new Uint8Array((rowBytes + 1) * height);
    for (let y = 0; y < height; ++y)
        raw.set(rgba.subarray(y * rowBytes, (y + 1) * rowBytes), y * (rowBytes + 1) + 1);
    const header = new Uint8Array(13);
    const headerView = new DataView(header.buffer);
    headerView.setUint32(0, width);
    headerView.setUint32(4, height);
    header.set([8, 6, 0, 0, 0], 8); // 8 bits, RGBA, deflate, filter 0, no interlace
    const parts = [
        new Uint8Array([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
        chunk("IHDR", header),
        chunk("IDAT", await deflate(raw)),
        chunk("IEND", new Uint8Array(0)),
    ];
    const file = new Uint8Array(parts.reduce((sum, part) => sum + part.length, 0));
    let offset = 0;
    for (const part of parts) {
        file.set(part, offset);
        offset += part.length;
    }
    return file;
}
