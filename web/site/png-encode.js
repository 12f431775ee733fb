// png-encode.js - writes a PNG file: 8 or 16 bits a sample, grey or RGB, with or without
// alpha, and the picture's colour chunks (iCCP, sRGB, gAMA, cHRM, pHYs) right after the header,
// carried unchanged.
//
// Each row gets the filter whose output has the least sum of absolute values (its bytes read
// as signed), the usual choice for photographs and drawings alike; the rows are compressed as
// they are made, by the browser's own zlib (CompressionStream "deflate"), so that only the
// compressed file is ever held whole.
//
//   const bytes = await encodePng({width, height, depth, grey, alpha, colour,
//                                  writeRow: (y, row) => { ... }});
// writeRow fills `row` (a Uint8Array of the row's bytes, 16-bit samples big-endian) for row y.
import { crc32 } from "./png-crc.js";

const Signature = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];
const BlockBytes = 1 << 20; // filtered rows handed to the compressor at a time

function chunk(type, data) {
    const out = new Uint8Array(12 + data.length);
    const view = new DataView(out.buffer);
    view.setUint32(0, data.length);
    for (let i = 0; i < 4; ++i) out[4 + i] = type.charCodeAt(i);
    out.set(data, 8);
    view.setUint32(8 + data.length, crc32(out, 4, 8 + data.length));
    return out;
}

const cost = (value) => (value < 128 ? value : 256 - value);

// The five filters' outputs for a row, into `out` (1 + stride bytes: the filter type first), the
// cheapest chosen. `previous` is the row above, unfiltered (zeros for the first).
function filterRow(row, previous, bytesPerPixel, out) {
    const n = row.length;
    const sums = [0, 0, 0, 0, 0];
    for (let i = 0; i < n; ++i) {
        const x = row[i];
        const a = i >= bytesPerPixel ? row[i - bytesPerPixel] : 0;
        const b = previous[i];
        const c = i >= bytesPerPixel ? previous[i - bytesPerPixel] : 0;
        sums[0] += cost(x);
        sums[1] += cost((x - a) & 0xff);
        sums[2] += cost((x - b) & 0xff);
        sums[3] += cost((x - ((a + b) >> 1)) & 0xff);
        sums[4] += cost((x - paeth(a, b, c)) & 0xff);
    }
    let best = 0;
    for (let f = 1; f < 5; ++f) if (sums[f] < sums[best]) best = f;
    out[0] = best;
    for (let i = 0; i < n; ++i) {
        const x = row[i];
        const a = i >= bytesPerPixel ? row[i - bytesPerPixel] : 0;
        const b = previous[i];
        const c = i >= bytesPerPixel ? previous[i - bytesPerPixel] : 0;
        const predictor = best === 0 ? 0 : best === 1 ? a : best === 2 ? b : best === 3 ? (a + b) >> 1 : paeth(a, b, c);
        out[1 + i] = (x - predictor) & 0xff;
    }
}

function paeth(a, b, c) {
    const p = a + b - c;
    const pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// The filtered rows as a stream of blocks, made as the compressor asks for them.
function filteredRows({ width, height, depth, grey, alpha, writeRow }) {
    const bytesPerPixel = ((grey ? 1 : 3) + (alpha ? 1 : 0)) * (depth / 8);
    const stride = width * bytesPerPixel;
    const rowsPerBlock = Math.max(1, Math.floor(BlockBytes / (stride + 1)));
    let row = new Uint8Array(stride), previous = new Uint8Array(stride);
    let y = 0;
    return new ReadableStream({
        pull(controller) {
            const rows = Math.min(rowsPerBlock, height - y);
            const block = new Uint8Array(rows * (stride + 1));
            for (let i = 0; i < rows; ++i, ++y) {
                writeRow(y, row);
                filterRow(row, previous, bytesPerPixel, block.subarray(i * (stride + 1), (i + 1) * (stride + 1)));
                [row, previous] = [previous, row];
            }
            controller.enqueue(block);
            if (y === height) controller.close();
        },
    });
}

// Resolves to the file's bytes (a Uint8Array).
export async function encodePng(picture) {
    const { width, height, depth, grey, alpha, colour } = picture;
    const compressed = new Uint8Array(
        await new Response(filteredRows(picture).pipeThrough(new CompressionStream("deflate"))).arrayBuffer());
    const header = new Uint8Array(13);
    const headerView = new DataView(header.buffer);
    headerView.setUint32(0, width);
    headerView.setUint32(4, height);
    const colourType = (grey ? 0 : 2) + (alpha ? 4 : 0);
    header.set([depth, colourType, 0, 0, 0], 8); // deflate, adaptive filters, not interlaced
    const parts = [
        new Uint8Array(Signature),
        chunk("IHDR", header),
        ...colour.map((c) => chunk(c.type, c.data)),
        chunk("IDAT", compressed),
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
