// orientation.js - the EXIF orientation: read from a TIFF structure, and applied to a picture,
// so that the page holds every picture upright, as a viewer shows it and as region_grow reads it.

// The orientation (1 to 8) that a TIFF structure gives in its first directory: one SHORT under
// tag 0x0112. 1 when it gives none, or anything else. `tiff` may start with the "Exif\0\0" of a
// JPEG's segment, as some writers put into a PNG's eXIf chunk too.
export function exifOrientation(tiff) {
    if (tiff.length >= 6 && String.fromCharCode(...tiff.subarray(0, 6)) === "Exif\0\0") tiff = tiff.subarray(6);
    if (tiff.length < 8) return 1;
    const little = tiff[0] === 0x49 && tiff[1] === 0x49;
    if (!little && !(tiff[0] === 0x4d && tiff[1] === 0x4d)) return 1;
    const u16 = (at) => (little ? tiff[at] | (tiff[at + 1] << 8) : (tiff[at] << 8) | tiff[at + 1]);
    const u32 = (at) => (little ? u16(at) + u16(at + 2) * 65536 : u16(at) * 65536 + u16(at + 2));
    if (u16(2) !== 42) return 1;
    const directory = u32(4);
    if (directory > tiff.length - 2) return 1;
    const entries = u16(directory);
    for (let i = 0; i < entries; ++i) {
        const at = directory + 2 + 12 * i;
        if (at + 12 > tiff.length) break;
        if (u16(at) !== 0x0112) continue;
        if (u16(at + 2) !== 3 || u32(at + 4) !== 1) return 1; // one SHORT, in the entry itself
        const value = u16(at + 8);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

// Whether an orientation exchanges width and height (5 to 8 turn the picture a quarter).
export function turns(orientation) {
    return orientation >= 5 && orientation <= 8;
}

// `stored` (a typed array of width x height pixels as the file stores them, `channels` values
// a pixel) turned upright: each upright pixel (u, v) is the stored pixel the EXIF rule maps it
// to. 2 mirrors, 3 turns half round, 4 flips; 5 is the transpose, 6 a quarter turn clockwise,
// 7 the transverse, 8 a quarter turn anticlockwise. Returns `stored` itself for 1.
export function turnUpright(stored, width, height, channels, orientation) {
    if (orientation <= 1 || orientation > 8) return stored;
    const w = width, h = height;
    const uw = turns(orientation) ? h : w, uh = turns(orientation) ? w : h;
    const upright = new stored.constructor(stored.length);
    let out = 0;
    for (let v = 0; v < uh; ++v) {
        for (let u = 0; u < uw; ++u) {
            let x = u, y = v;
            switch (orientation) {
            case 2: x = w - 1 - u; break;
            case 3: x = w - 1 - u; y = h - 1 - v; break;
            case 4: y = h - 1 - v; break;
            case 5: x = v; y = u; break;
            case 6: x = v; y = h - 1 - u; break;
            case 7: x = w - 1 - v; y = h - 1 - u; break;
            case 8: x = w - 1 - v; y = u; break;
            }
            const from = (y * w + x) * channels;
            for (let c = 0; c < channels; ++c) upright[out++] = stored[from + c];
        }
    }
    return upright;
}

// The orientation that a browser's decoded frame reports as a clockwise rotation and a mirror.
export function orientationOfFrame(rotation, flip) {
    const byRotation = { 0: [1, 2], 90: [6, 5], 180: [3, 4], 270: [8, 7] }[rotation] || [1, 2];
    return byRotation[flip ? 1 : 0];
}
