// picture-encode.js - the picture the page holds as a PNG file, degraded in nothing: what
// region_grow's -o writes from the same picture after the same fills.
//
//   const bytes = await pictureToPng(picture, rgba, painted);
// `picture` is what decodePicture gave (its deep samples, grey flag, alpha and colour chunks),
// `rgba` the pixels now (4 bytes a pixel, painted pixels opaque paint) and `painted` a
// Uint8Array, non-zero for every pixel a fill painted that is not undone.
//
// Unpainted pixels keep their 16-bit samples exactly; painted ones get the paint scaled to 16
// bits. A grey picture stays grey as long as every painted pixel is grey. Alpha is written when
// the picture has it and some pixel is not opaque; the colour chunks follow the header as the
// file gave them, and no orientation goes out: the picture is upright.
import { encodePng } from "./png-encode.js";

export function pictureToPng(picture, rgba, painted) {
    const { width, height } = picture;
    const pixels = width * height;
    const deep = picture.deep;
    const deepChannels = deep ? deep.length / pixels : 0;
    const deepAlpha = picture.hasAlpha ? deepChannels - 1 : -1;
    let grey = picture.grey, alpha = false;
    for (let i = 0, p = 0; i < pixels; ++i, p += 4) {
        if (painted[i] && grey && (rgba[p] !== rgba[p + 1] || rgba[p + 1] !== rgba[p + 2])) grey = false;
        if (picture.hasAlpha && !painted[i] && (deep ? deep[i * deepChannels + deepAlpha] !== 0xffff : rgba[p + 3] !== 255))
            alpha = true;
    }

    // One row's samples: from the pixels now at 8 bits; at 16 bits (big-endian) from the deep
    // samples, or the paint scaled to 16 bits where painted.
    const writeRow = deep ? (y, row) => {
        const view = new DataView(row.buffer, row.byteOffset, row.byteLength);
        for (let i = y * width, end = i + width, at = 0; i < end; ++i) {
            const p = 4 * i, d = i * deepChannels;
            for (let c = 0; c < (grey ? 1 : 3); ++c, at += 2)
                view.setUint16(at, painted[i] ? rgba[p + c] * 257 : deep[d + (picture.grey ? 0 : c)]);
            if (alpha) {
                view.setUint16(at, painted[i] ? 0xffff : deep[d + deepAlpha]);
                at += 2;
            }
        }
    } : (y, row) => {
        for (let p = 4 * y * width, end = p + 4 * width, at = 0; p < end; p += 4) {
            row[at++] = rgba[p];
            if (!grey) {
                row[at++] = rgba[p + 1];
                row[at++] = rgba[p + 2];
            }
            if (alpha) row[at++] = rgba[p + 3];
        }
    };
    return encodePng({ width, height, depth: deep ? 16 : 8, grey, alpha, colour: picture.colour, writeRow });
}
