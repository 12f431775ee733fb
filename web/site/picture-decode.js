// picture-decode.js - a picture file's bytes to the picture the page holds, upright and exact,
// as region_grow reads it. It runs in the worker, never on the page's thread.
//
//   const picture = await decodePicture(bytes);   // bytes: a Uint8Array of the whole file
//   {format, width, height, words, hasAlpha, grey, deep, colour, orientation}
//   format       "PNG", "JPEG", "BMP", "WebP" or "GIF"
//   words        Uint32Array, one host colour word a pixel, row-major: 0xAARRGGBB when
//                hasAlpha, else 0x00RRGGBB; at 16 bits a sample, the samples' high bytes,
//                which is what the plug-in compares
//   deep         for 16-bit PNGs, every sample as the file stores it (grey or RGB, then alpha),
//                in a Uint16Array; null for 8-bit pictures
//   grey         the file stores grey (PNG grey types, grey JPEGs)
//   colour       PNG chunks ({type, data}) to carry into every PNG written from the picture: a
//                PNG's iCCP, sRGB, gAMA, cHRM and pHYs, a JPEG's ICC profile as iCCP
//   orientation  the EXIF orientation (1 to 8) that was applied: width, height, words and deep
//                are the upright picture's
// A file that is damaged or of a kind not read is refused: the promise rejects with an Error
// whose message is one line, the reason alone ("damaged PNG: IDAT: CRC error"). So is a
// picture larger than the page holds (Limits), judged from its header before it is decoded.
//
// PNG by this page's own decoder, BMP by the native tools' decoder compiled to WebAssembly,
// JPEG through the browser's decoder finished as the native JPEG library finishes it, WebP and
// GIF through the browser's decoder.
import { BmpModule } from "./bmp-module.js";
import { decodeWithBrowser } from "./browser-decode.js";
import { decodeJpeg } from "./jpeg-decode.js";
import { turnUpright, turns } from "./orientation.js";
import { PngSignature, decodePng } from "./png-decode.js";

// About 21 bytes a pixel live in the page and its worker (two copies, colour words, the mask,
// the undo record); beyond this a tab could run out of memory. A canvas side is at most 32767
// pixels in common browsers.
export const Limits = { pixels: 64 * 1024 * 1024, side: 32767 };

function tooLarge(width, height) {
    throw new Error(`${width} × ${height} is too large for the page (at most ${Limits.pixels} pixels, ${Limits.side} a side)`);
}

function checkSize(width, height) {
    if (width * height > Limits.pixels || width > Limits.side || height > Limits.side) tooLarge(width, height);
}

let bmpModule = null;
async function bmpDecoder() {
    if (bmpModule === null) {
        const response = await fetch(new URL("bmp.wasm", import.meta.url));
        if (!response.ok) throw new Error(`bmp.wasm: ${response.status} ${response.statusText}`);
        bmpModule = await BmpModule.load(await response.arrayBuffer());
    }
    return bmpModule;
}

const startsWith = (bytes, text, at = 0) => [...text].every((c, i) => bytes[at + i] === c.charCodeAt(0));

// The picture as the file stores it, by the decoder of its format.
async function decodeStored(bytes) {
    if (bytes.length === 0) throw new Error("the file is empty");
    if (PngSignature.every((value, i) => bytes[i] === value)) return decodePng(bytes, checkSize);
    if (bytes[0] === 0xff && bytes[1] === 0xd8 && bytes[2] === 0xff) return decodeJpeg(bytes, checkSize);
    if (startsWith(bytes, "BM")) return (await bmpDecoder()).decode(bytes, Limits, tooLarge);
    if (startsWith(bytes, "RIFF") && startsWith(bytes, "WEBP", 8)) return decodeWithBrowser(bytes, "image/webp", "WebP", checkSize);
    if (startsWith(bytes, "GIF87a") || startsWith(bytes, "GIF89a")) return decodeWithBrowser(bytes, "image/gif", "GIF", checkSize);
    throw new Error("not a PNG, JPEG, BMP, WebP or GIF picture");
}

export async function decodePicture(bytes) {
    const picture = await decodeStored(bytes);
    const { width, height, orientation } = picture;
    if (orientation !== 1) {
        picture.words = turnUpright(picture.words, width, height, 1, orientation);
        if (picture.deep) picture.deep = turnUpright(picture.deep, width, height, picture.deep.length / (width * height), orientation);
        if (turns(orientation)) [picture.width, picture.height] = [height, width];
    }
    return picture;
}
