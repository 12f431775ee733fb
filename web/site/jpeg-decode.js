// jpeg-decode.js - reads a JPEG file to the pixels region_grow reads, through the browser's
// own decoder (ImageDecoder).
//
// The browser hands a colour JPEG over as its decoded Y, Cb and Cr planes, before any colour
// conversion. Those planes are the JPEG library's own output, so this module finishes the
// decoding as that library does with its default settings: the chroma planes upsampled by its
// "fancy" triangle filter, and YCbCr turned into RGB by its fixed-point tables. The result is
// region_grow's pixels to the bit. JPEGs that the browser decodes to RGB itself (grey, CMYK,
// rarer samplings) are taken as it gives them.
//
// The file's own markers give what the browser does not: the EXIF orientation (the first APP1
// segment holding EXIF), the ICC profile (APP2 segments, as a PNG iCCP chunk) and whether the
// picture is grey (one component).
import { exifOrientation } from "./orientation.js";
import { frameToWords } from "./browser-decode.js";

// What the markers before the scan say: {width, height, components, orientation, profile
// (Uint8Array or null)}; the size is 0 x 0 when no frame header came before the scan.
export function readJpegMarkers(bytes) {
    const found = { width: 0, height: 0, components: 0, orientation: 1, profile: null };
    const iccParts = [];
    let exifSeen = false;
    for (let offset = 2; offset + 4 <= bytes.length;) {
        if (bytes[offset] !== 0xff) break;
        const marker = bytes[offset + 1];
        if (marker === 0xff) { ++offset; continue; } // fill byte
        if (marker === 0xd8 || (marker >= 0xd0 && marker <= 0xd7) || marker === 0x01) { offset += 2; continue; }
        if (marker === 0xd9 || marker === 0xda) break; // the end, or the first scan
        const length = (bytes[offset + 2] << 8) | bytes[offset + 3];
        const body = bytes.subarray(offset + 4, Math.min(bytes.length, offset + 2 + length));
        const starts = (text) => body.length >= text.length && [...text].every((c, i) => body[i] === c.charCodeAt(0));
        if (marker === 0xe1 && !exifSeen && starts("Exif\0\0")) {
            exifSeen = true;
            found.orientation = exifOrientation(body.subarray(6));
        } else if (marker === 0xe2 && starts("ICC_PROFILE\0") && body.length >= 14) {
            iccParts.push({ sequence: body[12], count: body[13], data: body.subarray(14) });
        } else if (marker >= 0xc0 && marker <= 0xcf && marker !== 0xc4 && marker !== 0xc8 && marker !== 0xcc && body.length >= 6) {
            found.height = (body[1] << 8) | body[2];
            found.width = (body[3] << 8) | body[4];
            found.components = body[5];
        }
        offset += 2 + length;
    }
    found.profile = joinProfile(iccParts);
    return found;
}

// An ICC profile split over APP2 segments, numbered 1 to count; null unless every part is there
// once, as the JPEG library requires.
function joinProfile(parts) {
    if (parts.length === 0) return null;
    const count = parts[0].count;
    const ordered = new Array(count).fill(null);
    for (const part of parts) {
        if (part.count !== count || part.sequence < 1 || part.sequence > count || ordered[part.sequence - 1] !== null) return null;
        ordered[part.sequence - 1] = part.data;
    }
    if (ordered.includes(null)) return null;
    const profile = new Uint8Array(ordered.reduce((sum, data) => sum + data.length, 0));
    let offset = 0;
    for (const data of ordered) {
        profile.set(data, offset);
        offset += data.length;
    }
    return profile;
}

// The profile as a PNG iCCP chunk: a name, compression method 0, the profile through zlib.
async function iccpChunk(profile) {
    const packed = new Uint8Array(await new Response(new Blob([profile]).stream().pipeThrough(new CompressionStream("deflate"))).arrayBuffer());
    const data = new Uint8Array(13 + packed.length);
    data.set([..."ICC profile"].map((c) => c.charCodeAt(0)));
    data.set(packed, 13);
    return { type: "iCCP", data };
}

// ---- The JPEG library's last steps, over the browser's planes ----------------------------------

// Fixed-point YCbCr to RGB, 16 fraction bits, rounded as the library's tables are.
const Fix = (x) => Math.floor(x * 65536 + 0.5);
const Half = 1 << 15;
const CrToR = new Int32Array(256), CbToB = new Int32Array(256), CrToG = new Int32Array(256), CbToG = new Int32Array(256);
for (let i = 0; i < 256; ++i) {
    const x = i - 128;
    CrToR[i] = (Fix(1.402) * x + Half) >> 16;
    CbToB[i] = (Fix(1.772) * x + Half) >> 16;
    CrToG[i] = -Fix(0.71414) * x;
    CbToG[i] = -Fix(0.34414) * x + Half;
}
const clamp = (v) => (v < 0 ? 0 : v > 255 ? 255 : v);

// One chroma row upsampled to the picture's width into `out`. `row` and `other` are chroma
// rows: for vertical upsampling, `other` is the nearer neighbouring row (the row itself at the
// picture's edges). Horizontal factor h and vertical factor v are 1 or 2.
function upsampleRow(row, other, columns, h, v, top, out) {
    if (h === 1 && v === 1) {
        out.set(row.subarray(0, columns));
    } else if (h === 2 && v === 1) {
        // Triangle filter across: 3/4 of the nearer sample, 1/4 of the next, alternating bias.
        out[0] = row[0];
        if (columns === 1) { out[1] = row[0]; return; }
        out[1] = (row[0] * 3 + row[1] + 2) >> 2;
        for (let i = 1; i < columns - 1; ++i) {
            const value = row[i] * 3;
            out[2 * i] = (value + row[i - 1] + 1) >> 2;
            out[2 * i + 1] = (value + row[i + 1] + 2) >> 2;
        }
        const last = columns - 1;
        out[2 * last] = (row[last] * 3 + row[last - 1] + 1) >> 2;
        out[2 * last + 1] = row[last];
    } else if (h === 1 && v === 2) {
        const bias = top ? 1 : 2;
        for (let i = 0; i < columns; ++i) out[i] = (row[i] * 3 + other[i] + bias) >> 2;
    } else {
        // Both ways: column sums of 3/4 this row and 1/4 the other, then across.
        const sum = (i) => row[i] * 3 + other[i];
        let here = sum(0);
        let next = columns > 1 ? sum(1) : here;
        out[0] = (here * 4 + 8) >> 4;
        out[1] = (here * 3 + next + 7) >> 4;
        let before = here;
        here = next;
        for (let i = 1; i < columns - 1; ++i) {
            next = sum(i + 1);
            out[2 * i] = (here * 3 + before + 8) >> 4;
            out[2 * i + 1] = (here * 3 + next + 7) >> 4;
            before = here;
            here = next;
        }
        if (columns > 1) {
            out[2 * columns - 2] = (here * 3 + before + 8) >> 4;
            out[2 * columns - 1] = (here * 4 + 7) >> 4;
        }
    }
}

const Subsampling = { I420: [2, 2], I422: [2, 1], I444: [1, 1] };

// A planar frame's colour words, or null when the frame is not one of these layouts.
async function planesToWords(frame) {
    const factors = Subsampling[frame.format];
    if (!factors) return null;
    const [h, v] = factors;
    const { width, height } = frame.visibleRect;
    const buffer = new Uint8Array(frame.allocationSize());
    const [luma, blue, red] = await frame.copyTo(buffer);
    const columns = Math.ceil(width / h), chromaRows = Math.ceil(height / v);
    const chroma = (plane, y) => buffer.subarray(plane.offset + y * plane.stride, plane.offset + y * plane.stride + columns);
    const cb = new Uint8Array(columns * h + 1), cr = new Uint8Array(columns * h + 1);
    const words = new Uint32Array(width * height);
    for (let y = 0; y < height; ++y) {
        // Output row y sits in chroma row y / v; its nearer neighbour is above for the top half
        // of the pair and below for the bottom half, the row itself past the edges.
        const row = Math.floor(y / v);
        const top = v === 2 && y % 2 === 0;
        const other = v === 1 ? row : Math.min(chromaRows - 1, Math.max(0, top ? row - 1 : row + 1));
        upsampleRow(chroma(blue, row), chroma(blue, other), columns, h, v, top, cb);
        upsampleRow(chroma(red, row), chroma(red, other), columns, h, v, top, cr);
        const lumaRow = luma.offset + y * luma.stride;
        for (let x = 0, at = y * width; x < width; ++x, ++at) {
            const Y = buffer[lumaRow + x], b = cb[x], r = cr[x];
            words[at] = (clamp(Y + CrToR[r]) << 16) | (clamp(Y + ((CbToG[b] + CrToG[r]) >> 16)) << 8) | clamp(Y + CbToB[b]);
        }
    }
    return words;
}

// Resolves to the picture as stored (orientation not applied), as png-decode.js describes it.
export async function decodeJpeg(bytes, checkSize) {
    const markers = readJpegMarkers(bytes);
    checkSize(markers.width, markers.height); // before the browser decodes it
    if (typeof ImageDecoder === "undefined") throw new Error("unsupported JPEG: this browser has no ImageDecoder");
    const decoder = new ImageDecoder({ data: bytes, type: "image/jpeg", colorSpaceConversion: "none", premultiplyAlpha: "none" });
    let frame;
    try {
        await decoder.tracks.ready;
        frame = (await decoder.decode({ frameIndex: 0 })).image;
    } catch (error) {
        throw new Error(`damaged JPEG: the browser could not decode it (${error.message})`);
    } finally {
        decoder.close();
    }
    try {
        const { width, height } = frame.visibleRect;
        checkSize(width, height);
        const words = (await planesToWords(frame)) || (await frameToWords(frame, false)).words;
        const colour = markers.profile ? [await iccpChunk(markers.profile)] : [];
        return {
            format: "JPEG", width, height, words, hasAlpha: false, grey: markers.components === 1,
            deep: null, colour, orientation: markers.orientation,
        };
    } finally {
        frame.close();
    }
}
