// browser-decode.js - pictures the browser decodes for the page (WebP and GIF, and the JPEGs it
// turns into RGB itself), through ImageDecoder: no premultiplied alpha, so that colour under
// any alpha stays exact, and no colour-space conversion, so that the pixels are the file's own.
// The frame's rotation and mirroring, which the browser reads from the file's EXIF, give the
// orientation to apply; only the first frame of an animation is read.
import { orientationOfFrame } from "./orientation.js";

// A decoded frame's colour words, 0xAARRGGBB when `alpha` and some pixel is not opaque, else
// 0x00RRGGBB: {words, hasAlpha}.
export async function frameToWords(frame, alpha) {
    const { width, height } = frame.visibleRect;
    const rgba = new Uint8Array(width * height * 4);
    await frame.copyTo(rgba, { format: "RGBA" });
    const words = new Uint32Array(width * height);
    let translucent = false;
    for (let i = 0, p = 0; i < words.length; ++i, p += 4) {
        translucent = translucent || rgba[p + 3] !== 255;
        words[i] = ((rgba[p + 3] << 24) | (rgba[p] << 16) | (rgba[p + 1] << 8) | rgba[p + 2]) >>> 0;
    }
    const hasAlpha = alpha && translucent;
    if (!hasAlpha) for (let i = 0; i < words.length; ++i) words[i] &= 0xffffff;
    return { words, hasAlpha };
}

// Resolves to the picture as stored, as png-decode.js describes it; `type` is its MIME type and
// `format` its name ("WebP", "GIF").
export async function decodeWithBrowser(bytes, type, format, checkSize) {
    if (typeof ImageDecoder === "undefined" || !(await ImageDecoder.isTypeSupported(type)))
        throw new Error(`unsupported ${format}: this browser does not decode it`);
    const decoder = new ImageDecoder({ data: bytes, type, colorSpaceConversion: "none", premultiplyAlpha: "none" });
    let frame;
    try {
        await decoder.tracks.ready;
        frame = (await decoder.decode({ frameIndex: 0 })).image;
    } catch (error) {
        throw new Error(`damaged ${format}: the browser could not decode it (${error.message})`);
    } finally {
        decoder.close();
    }
    try {
        const { width, height } = frame.visibleRect;
        checkSize(width, height);
        const { words, hasAlpha } = await frameToWords(frame, true);
        return {
            format, width, height, words, hasAlpha, grey: false, deep: null, colour: [],
            orientation: orientationOfFrame(frame.rotation || 0, !!frame.flip),
        };
    } finally {
        frame.close();
    }
}
