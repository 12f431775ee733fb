// png-decode.js - reads a PNG file's pixels exactly, alpha and the colours under it.
//
// A browser's own decoders hand pictures over with colours multiplied by alpha, so a partly
// transparent pixel comes back with rounded colours, and the fill, which compares colours,
// would see a different picture than the native tool does. This reader covers the PNG files
// that can carry such pixels: 8 bits a sample (and palettes of 1 to 8 bits), any colour type,
// tRNS transparency, not interlaced. decodePng returns null for anything else, which the
// page then leaves to the browser.

const Signature = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];

async function inflate(chunks) {
    const stream = new Blob(chunks).stream().pipeThrough(new DecompressionStream("deflate"));
    return new Uint8Array(await new Response(stream).arrayBuffer());
}

// Undoes the five row filters in place; returns the unfiltered rows without filter bytes.
function unfilter(raw, height, stride, bytesPerPixel) {
    const rows = new Uint8Array(stride * height);
    for (let y = 0; y < height; ++y) {
        const filter = raw[y * (stride + 1)];
        const line = y * (stride + 1) + 1;
        const out = y * stride;
        const up = out - stride;
        for (let i = 0; i < stride; ++i) {
            const a = i >= bytesPerPixel ? rows[out + i - bytesPerPixel] : 0;
            const b = y > 0 ? rows[up + i] : 0;
            const c = y > 0 && i >= bytesPerPixel ? rows[up + i - bytesPerPixel] : 0;
            let predictor = 0;
            if (filter === 1) predictor = a;
            else if (filter === 2) predictor = b;
            else if (filter === 3) predictor = (a + b) >> 1;
            else if (filter === 4) {
                const p = a + b - c;
                const pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
                predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            } else if (filter !== 0) throw new Error(`row filter ${filter}`);
            rows[out + i] = (raw[line + i] + predictor) & 0xff;
        }
    }
    return rows;
}

// Resolves to {width, height, data: Uint8ClampedArray RGBA} or null if not covered here.
export async function decodePng(bytes) {
    if (bytes.length < 8 || Signature.some((value, i) => bytes[i] !== value)) return null;
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    let width = 0, height = 0, depth = 0, colourType = 0, interlace = 0;
    let palette = null, transparency = null;
    const data = [];
    for (let offset = 8; offset + 12 <= bytes.length;) {
        const length = view.getUint32(offset);
        const type = String.fromCharCode(...bytes.subarray(offset + 4, offset + 8));
        const body = bytes.subarray(offset + 8, offset + 8 + length);
        if (type === "IHDR") {
            width = view.getUint32(offset + 8);
            height = view.getUint32(offset + 12);
            [depth, colourType] = [body[8], body[9]];
            interlace = body[12];
        } else if (type === "PLTE") palette = body;
        else if (type === "tRNS") transparency = body;
        else if (type === "IDAT") data.push(body);
        else if (type === "IEND") break;
        offset += 12 + length;
    }
    const channels = { 0: 1, 2: 3, 3: 1, 4: 2, 6: 4 }[colourType];
    const depthCovered = depth === 8 || (colourType === 3 && [1, 2, 4].includes(depth));
    if (!channels || !depthCovered || interlace !== 0 || width === 0 || height === 0) return null;
    if (colourType === 3 && palette === null) return null;

    const stride = Math.ceil((width * channels * depth) / 8);
    const rows = unfilter(await inflate(data), height, stride, Math.max(1, (channels * depth) >> 3));
    const rgba = new Uint8ClampedArray(width * height * 4);
    // tRNS for grey and RGB names one colour (16-bit samples) that is fully transparent.
    const key = transparency && colourType !== 3
        ? Array.from({ length: transparency.length >> 1 }, (_, i) => (transparency[2 * i] << 8) | transparency[2 * i + 1])
        : null;
    for (let y = 0; y < height; ++y) {
        for (let x = 0; x < width; ++x) {
            const o = (y * width + x) * 4;
            const s = y * stride + x * channels;
            let r, g, b, a = 255;
            if (colourType === 3) {
                const bit = x * depth;
                const index = (rows[y * stride + (bit >> 3)] >> (8 - depth - (bit & 7))) & ((1 << depth) - 1);
                [r, g, b] = [palette[3 * index], palette[3 * index + 1], palette[3 * index + 2]];
                if (transparency && index < transparency.length) a = transparency[index];
            } else if (channels <= 2) {
                r = g = b = rows[s];
                if (channels === 2) a = rows[s + 1];
                else if (key && key[0] === r) a = 0;
            } else {
                [r, g, b] = [rows[s], rows[s + 1], rows[s + 2]];
                if (channels === 4) a = rows[s + 3];
                else if (key && key[0] === r && key[1] === g && key[2] === b) a = 0;
            }
            rgba[o] = r;
            rgba[o + 1] = g;
            rgba[o + 2] = b;
            rgba[o + 3] = a;
        }
    }
    return { width, height, data: rgba };
}
