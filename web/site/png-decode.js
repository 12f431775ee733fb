// png-decode.js - reads a PNG file exactly as region_grow reads it: every colour type and bit
// depth, interlaced (Adam7) or not, tRNS transparency, 16-bit samples kept; every chunk's CRC,
// the zlib stream and the amount of image data checked. A damaged file is refused whole, with
// an Error whose message reads "damaged PNG: REASON", never decoded to half a picture.
//
// The result is the picture as stored (its eXIf orientation not applied yet):
//   {format: "PNG", width, height, words, hasAlpha, grey, deep, colour, orientation}
//   words     Uint32Array, one host colour word a pixel: 0xAARRGGBB when hasAlpha, else
//             0x00RRGGBB; at 16 bits a sample, each sample's high byte
//   deep      Uint16Array of every sample as stored (grey or RGB, then alpha; tRNS gives an
//             alpha sample of 0 or 65535) for 16-bit pictures; null for 8-bit ones
//   colour    the iCCP, sRGB, gAMA, cHRM and pHYs chunks before the image data, in file order,
//             as {type, data}, to be carried into every PNG written from the picture
//   orientation  from an eXIf chunk before the image data (1 without one)
// The image data is inflated by the browser's own zlib (DecompressionStream).
import { exifOrientation } from "./orientation.js";
import { crc32 } from "./png-crc.js";

export const PngSignature = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];
const ColourChunks = new Set(["iCCP", "sRGB", "gAMA", "cHRM", "pHYs"]);
// Bit depths each colour type allows, and its samples a pixel.
const Depths = { 0: [1, 2, 4, 8, 16], 2: [8, 16], 3: [1, 2, 4, 8], 4: [8, 16], 6: [8, 16] };
const Samples = { 0: 1, 2: 3, 3: 1, 4: 2, 6: 4 };
// Adam7's passes: first column, first row, column step, row step.
const Passes = [[0, 0, 8, 8], [4, 0, 8, 8], [0, 4, 4, 8], [2, 0, 4, 4], [0, 2, 2, 4], [1, 0, 2, 2], [0, 1, 1, 2]];

function damaged(reason) {
    return new Error(`damaged PNG: ${reason}`);
}

// The chunks up to IEND, each checked: {header, palette, transparency, data (IDAT bodies),
// colour, orientation}. `checkSize(width, height)` throws for a picture too large to hold; it
// is called as soon as the header is read.
function readChunks(bytes, checkSize) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const found = { header: null, palette: null, transparency: null, data: [], colour: [], orientation: 1 };
    let afterData = false; // a chunk other than IDAT came after the image data
    for (let offset = 8; ;) {
        if (offset + 12 > bytes.length) throw damaged("the file ends early");
        const length = view.getUint32(offset);
        const typeBytes = bytes.subarray(offset + 4, offset + 8);
        const type = String.fromCharCode(...typeBytes);
        if (!typeBytes.every((c) => (c >= 65 && c <= 90) || (c >= 97 && c <= 122)))
            throw damaged(`a chunk of type ${JSON.stringify(type)}`);
        if (length > 0x7fffffff) throw damaged(`the ${type} chunk's length is ${length}`);
        if (offset + 12 + length > bytes.length) throw damaged("the file ends early");
        const body = bytes.subarray(offset + 8, offset + 8 + length);
        if (crc32(bytes, offset + 4, offset + 8 + length) !== view.getUint32(offset + 8 + length))
            throw damaged(`${type}: CRC error`);
        offset += 12 + length;
        if (found.header === null && type !== "IHDR") throw damaged("it does not start with IHDR");
        if (found.header !== null && type === "IHDR") throw damaged("a second IHDR");
        const beforeData = found.data.length === 0;
        if (type !== "IDAT" && !beforeData) afterData = true;
        switch (type) {
        case "IHDR":
            found.header = readHeader(body);
            checkSize(found.header.width, found.header.height);
            break;
        case "PLTE":
            if (!beforeData || found.palette !== null) throw damaged("PLTE out of place");
            if (length === 0 || length % 3 !== 0 || length > 768) throw damaged(`a palette of ${length} bytes`);
            if (found.header.colourType === 0 || found.header.colourType === 4) throw damaged("a palette in a grey picture");
            // Entries past what the bit depth can index are dropped, as libpng drops them.
            if (found.header.colourType === 3) found.palette = body.subarray(0, 3 * Math.min(length / 3, 1 << found.header.depth));
            break;
        case "tRNS":
            found.transparency = readTransparency(found, body);
            break;
        case "IDAT":
            if (afterData) throw damaged("image data after other chunks that followed it");
            found.data.push(body);
            break;
        case "IEND":
            if (found.data.length === 0) throw damaged("no image data");
            if (found.header.colourType === 3 && found.palette === null) throw damaged("a palette picture without PLTE");
            return found;
        default:
            if (!(typeBytes[0] & 0x20)) throw damaged(`an unknown critical chunk ${type}`);
            if (beforeData && ColourChunks.has(type)) found.colour.push({ type, data: body.slice() });
            if (beforeData && type === "eXIf") found.orientation = exifOrientation(body);
        }
    }
}

function readHeader(body) {
    if (body.length !== 13) throw damaged(`an IHDR of ${body.length} bytes`);
    const view = new DataView(body.buffer, body.byteOffset, 13);
    const [width, height] = [view.getUint32(0), view.getUint32(4)];
    const [depth, colourType, compression, filter, interlace] = body.subarray(8, 13);
    if (width === 0 || height === 0 || width > 0x7fffffff || height > 0x7fffffff) throw damaged(`a size of ${width} x ${height}`);
    if (!(Depths[colourType] || []).includes(depth)) throw damaged(`colour type ${colourType} at ${depth} bits`);
    if (compression !== 0 || filter !== 0 || interlace > 1)
        throw damaged(`compression ${compression}, filter ${filter}, interlace ${interlace}`);
    return { width, height, depth, colourType, interlace };
}

// tRNS: an alpha a palette entry, or the one grey or RGB sample value (masked to the bit depth)
// that is fully transparent.
function readTransparency(found, body) {
    const { colourType, depth } = found.header;
    if (found.data.length > 0 || found.transparency !== null) throw damaged("tRNS out of place");
    if (colourType === 4 || colourType === 6) throw damaged("tRNS in a picture with an alpha channel");
    if (colourType === 3) {
        if (found.palette === null) throw damaged("tRNS before PLTE");
        if (body.length > found.palette.length / 3) throw damaged("tRNS longer than the palette");
        return { alphas: body };
    }
    if (body.length !== (colourType === 0 ? 2 : 6)) throw damaged(`a tRNS of ${body.length} bytes`);
    const mask = depth === 16 ? 0xffff : (1 << depth) - 1;
    const key = [];
    for (let i = 0; i < body.length; i += 2) key.push(((body[i] << 8) | body[i + 1]) & mask);
    return { key };
}

// Each pass's size in pixels and its rows' bytes (without the filter byte); one pass when not
// interlaced. Empty passes have no rows, not even filter bytes.
function passesOf(header) {
    const bitsPerPixel = Samples[header.colourType] * header.depth;
    const layouts = header.interlace ? Passes : [[0, 0, 1, 1]];
    return layouts.map(([x0, y0, dx, dy]) => {
        const columns = header.width > x0 ? Math.ceil((header.width - x0) / dx) : 0;
        const rows = header.height > y0 ? Math.ceil((header.height - y0) / dy) : 0;
        const stride = Math.ceil((columns * bitsPerPixel) / 8);
        return { x0, y0, dx, dy, columns, rows: columns === 0 ? 0 : rows, stride };
    });
}

// The zlib stream inflated into exactly `expected` bytes: more or fewer is damage.
async function inflate(parts, expected) {
    const raw = new Uint8Array(expected);
    const reader = new Blob(parts).stream().pipeThrough(new DecompressionStream("deflate")).getReader();
    let got = 0;
    try {
        for (;;) {
            const { done, value } = await reader.read();
            if (done) break;
            if (got + value.length > expected) {
                reader.cancel().catch(() => {});
                throw damaged("too much image data");
            }
            raw.set(value, got);
            got += value.length;
        }
    } catch (error) {
        if (/^damaged PNG/.test(error.message)) throw error;
        throw damaged(`bad zlib stream (${error.message})`);
    }
    if (got < expected) throw damaged(`too little image data (${got} of ${expected} bytes)`);
    return raw;
}

// Undoes one pass's row filters in place; `raw` holds (1 + stride) bytes a row from `start`.
function unfilter(raw, start, rows, stride, bytesPerPixel) {
    for (let y = 0; y < rows; ++y) {
        const line = start + y * (stride + 1);
        const filter = raw[line];
        const out = line + 1, up = out - stride - 1;
        if (filter > 4) throw damaged(`row filter ${filter}`);
        if (filter === 0 || (filter === 2 && y === 0)) continue;
        for (let i = 0; i < stride; ++i) {
            const a = i >= bytesPerPixel ? raw[out + i - bytesPerPixel] : 0;
            const b = y > 0 ? raw[up + i] : 0;
            let predictor;
            if (filter === 1) predictor = a;
            else if (filter === 2) predictor = b;
            else if (filter === 3) predictor = (a + b) >> 1;
            else {
                const c = y > 0 && i >= bytesPerPixel ? raw[up + i - bytesPerPixel] : 0;
                const p = a + b - c;
                const pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
                predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            }
            raw[out + i] = (raw[out + i] + predictor) & 0xff;
        }
    }
}

// Writes one unfiltered row's pixels into the picture: pixel i of the row goes to index
// `first + i * step` of the upright-as-stored picture.
function rowWriter(header, palette, transparency, picture) {
    const { colourType, depth } = header;
    const { words, deep } = picture;
    const alpha = picture.hasAlpha;
    const key = transparency && transparency.key;
    if (colourType === 3) {
        const entries = palette.length / 3;
        const colours = new Uint32Array(entries);
        for (let i = 0; i < entries; ++i) {
            const a = !alpha ? 0 : i < transparency.alphas.length ? transparency.alphas[i] : 255;
            colours[i] = ((a << 24) | (palette[3 * i] << 16) | (palette[3 * i + 1] << 8) | palette[3 * i + 2]) >>> 0;
        }
        const mask = (1 << depth) - 1;
        return (row, at, count, first, step) => {
            for (let i = 0; i < count; ++i) {
                const bit = i * depth;
                const index = (row[at + (bit >> 3)] >> (8 - depth - (bit & 7))) & mask;
                if (index >= entries) throw damaged(`a pixel takes colour ${index} of a palette of ${entries}`);
                words[first + i * step] = colours[index];
            }
        };
    }
    const samples = Samples[colourType];
    const grey = colourType === 0 || colourType === 4;
    const channels = (grey ? 1 : 3) + (alpha ? 1 : 0); // of the deep samples and the words
    if (depth === 16) {
        return (row, at, count, first, step) => {
            for (let i = 0; i < count; ++i) {
                const s = at + i * samples * 2;
                const d = (first + i * step) * channels;
                for (let c = 0; c < samples; ++c) deep[d + c] = (row[s + 2 * c] << 8) | row[s + 2 * c + 1];
                if (key) {
                    let transparent = true;
                    for (let c = 0; c < samples; ++c) transparent = transparent && deep[d + c] === key[c];
                    deep[d + samples] = transparent ? 0 : 0xffff;
                }
                const r = deep[d] >> 8, g = grey ? r : deep[d + 1] >> 8, b = grey ? r : deep[d + 2] >> 8;
                const a = alpha ? deep[d + channels - 1] >> 8 : 0;
                words[first + i * step] = ((a << 24) | (r << 16) | (g << 8) | b) >>> 0;
            }
        };
    }
    if (depth < 8) { // grey of 1, 2 or 4 bits, scaled to 8 as the bits repeated
        const mask = (1 << depth) - 1, scale = 255 / mask;
        return (row, at, count, first, step) => {
            for (let i = 0; i < count; ++i) {
                const bit = i * depth;
                const value = (row[at + (bit >> 3)] >> (8 - depth - (bit & 7))) & mask;
                const v = value * scale;
                const a = !alpha ? 0 : value === key[0] ? 0 : 255;
                words[first + i * step] = ((a << 24) | (v << 16) | (v << 8) | v) >>> 0;
            }
        };
    }
    return (row, at, count, first, step) => {
        for (let i = 0, s = at; i < count; ++i, s += samples) {
            const r = row[s], g = grey ? r : row[s + 1], b = grey ? r : row[s + 2];
            let a = 0;
            if (samples === 2 || samples === 4) a = row[s + samples - 1];
            else if (key) a = grey ? (r === key[0] ? 0 : 255) : r === key[0] && g === key[1] && b === key[2] ? 0 : 255;
            words[first + i * step] = ((a << 24) | (r << 16) | (g << 8) | b) >>> 0;
        }
    };
}

// Resolves to the picture described above, or rejects with "damaged PNG: ..." (or whatever
// `checkSize` throws).
export async function decodePng(bytes, checkSize) {
    if (bytes.length < 8 || PngSignature.some((value, i) => bytes[i] !== value)) throw new Error("not a PNG file");
    const found = readChunks(bytes, checkSize);
    const header = found.header;
    const { width, height, depth, colourType } = header;
    const grey = colourType === 0 || colourType === 4;
    const hasAlpha = colourType === 4 || colourType === 6 || found.transparency !== null;
    const channels = (grey ? 1 : 3) + (hasAlpha ? 1 : 0);
    const passes = passesOf(header);
    const expected = passes.reduce((sum, p) => sum + p.rows * (p.stride + 1), 0);
    const raw = await inflate(found.data, expected);
    const picture = {
        format: "PNG", width, height, hasAlpha, grey,
        words: new Uint32Array(width * height),
        deep: depth === 16 ? new Uint16Array(width * height * channels) : null,
        colour: found.colour,
        orientation: found.orientation,
    };
    const writeRow = rowWriter(header, found.palette, found.transparency, picture);
    const bytesPerPixel = Math.max(1, (Samples[colourType] * depth) >> 3);
    let start = 0;
    for (const pass of passes) {
        if (pass.rows === 0) continue;
        unfilter(raw, start, pass.rows, pass.stride, bytesPerPixel);
        for (let y = 0; y < pass.rows; ++y)
            writeRow(raw, start + y * (pass.stride + 1) + 1, pass.columns, (pass.y0 + y * pass.dy) * width + pass.x0, pass.dx);
        start += pass.rows * (pass.stride + 1);
    }
    return picture;
}
