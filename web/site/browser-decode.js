// browser-decode.js - pictures the browser decodes for the page (WebP and GIF, and the JPEGs it
// turns into RGB itself), through ImageDecoder: no premultiplied alpha, so that colour under
// any alpha stays exact, and no colour-space conversion, so that the pixels are the file's own.
// The frame's rotation and mirroring, which the browser reads from the file's EXIF, give the
// orientation to apply; only the first frame of an animation is read.
import { orientationOfFrame } from "./orientation.js";

// Where red, green, blue and alpha lie in a pixel of each 8-bit RGB layout of a frame.
const Layouts = { RGBA: [0, 1, 2, 3], RGBX: [0, 1, 2, -1], BGRA: [2, 1, 0, 3], BGRX: [2, 1, 0, -1] };

// A decoded frame's colour words, 0xAARRGGBB when `alpha` and some pixel is not opaque, else
// 0x00RRGGBB: {words, hasAlpha}. A frame in an RGB layout is read as it is: the browser's own
// conversion to RGBA loses the colour under alpha 0. Any other layout is converted by it.
export async function frameToWords(frame, alpha) {
    const { width, height } = frame.visibleRect;
    let layout = Layouts[frame.format];
    let bytes, planes;
    if (layout) {
        bytes = new Uint8Array(frame.allocationSize());
        planes = await frame.copyTo(bytes);
    } else {
        layout = Layouts.RGBA;
        bytes = new Uint8Array(frame.allocationSize({ format: "RGBA" }));
        planes = await frame.copyTo(bytes, { format: "RGBA" });
    }
    const [r, g, b, a] = layout;
    const { offset, stride } = planes[0];
    const words = new Uint32Array(width * height);
    let translucent = false;
    for (let y = 0, i = 0; y < height; ++y) {
        for (let p = offset + y * stride, end = p + 4 * width; p < end; p += 4, ++i) {
            const opacity = a < 0 ? 255 : bytes[p + a];
            translucent = translucent || opacity !== 255;
            words[i] = ((opacity << 24) | (bytes[p + r] << 16) | (bytes[p + g] << 8) | bytes[p + b]) >>> 0;
        }
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
