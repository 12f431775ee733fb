// make-favicon.js BUTTON.pixmap OUT.png - the page's icon: the tool's own 20 x 20 button,
// from the same text pixel map the DLL's bitmap is made from.
"use strict";
const fs = require("fs");
const { writePng } = require("./png-file.js");

const colours = { ".": [0xc0, 0xc0, 0xc0], "#": [0, 0, 0], "+": [0, 0, 0x80] };
const [pixmapPath, outPath] = process.argv.slice(2);
const rows = fs.readFileSync(pixmapPath, "latin1").split("\n").filter((line) => line && !line.startsWith(";"));
if (rows.length !== 20 || rows.some((row) => row.length !== 20)) {
    console.error(`make-favicon: ${pixmapPath} is not 20 rows of 20 pixels`);
    process.exit(1);
}
const rgba = new Uint8Array(20 * 20 * 4);
rows.forEach((row, y) => [...row].forEach((pixel, x) => {
    const colour = colours[pixel];
    if (!colour) {
        console.error(`make-favicon: unknown pixel '${pixel}' at ${x} ${y}`);
        process.exit(1);
    }
    rgba.set([...colour, 255], (y * 20 + x) * 4);
}));
writePng(outPath, 20, 20, rgba);
