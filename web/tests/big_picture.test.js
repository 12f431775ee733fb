// A large PNG opened in the page: it arrives whole and right, and the page's thread stays free
// while the worker decodes it. Prints the longest task the page's thread ran and the longest
// gap between two display frames from the choice of the file to the picture drawn; these are
// figures to read, not limits.
"use strict";
const { test, before, after } = require("node:test");
const assert = require("node:assert");
const fs = require("fs");
const path = require("path");
const zlib = require("zlib");
const web = require("./browser.js");
const files = require("./picture-files.js");

const side = Number(process.env.VX_BIG_SIDE || 8000);

let session, page;
before(async () => {
    session = await web.openPage();
    page = session.page;
});
after(async () => session && session.close());

const colourAt = (x, y) => [x & 0xff, y & 0xff, ((x >> 8) * 16 + (y >> 8)) & 0xff];

// An RGB PNG of side x side pixels, filter 0, compressed fast.
function bigPng() {
    const stride = side * 3 + 1;
    const raw = Buffer.alloc(stride * side);
    for (let y = 0; y < side; ++y)
        for (let x = 0, at = y * stride + 1; x < side; ++x, at += 3) {
            const [r, g, b] = colourAt(x, y);
            raw[at] = r;
            raw[at + 1] = g;
            raw[at + 2] = b;
        }
    const header = Buffer.alloc(13);
    header.writeUInt32BE(side, 0);
    header.writeUInt32BE(side, 4);
    header.set([8, 2, 0, 0, 0], 8);
    return Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]), files.chunk("IHDR", header),
        files.chunk("IDAT", zlib.deflateSync(raw, { level: 1 })), files.chunk("IEND", Buffer.alloc(0))]);
}

test(`a ${side} x ${side} PNG opens whole while the page's thread stays free`, async () => {
    const file = path.join(web.workDir, "big.png");
    fs.writeFileSync(file, bigPng());
    await page.evaluate(() => {
        window.longest_ = { task: 0, gap: 0 };
        new PerformanceObserver((list) => {
            for (const entry of list.getEntries()) window.longest_.task = Math.max(window.longest_.task, entry.duration);
        }).observe({ type: "longtask" });
        let last = performance.now();
        const frame = (now) => {
            window.longest_.gap = Math.max(window.longest_.gap, now - last);
            last = now;
            window.frameRequest_ = requestAnimationFrame(frame);
        };
        window.frameRequest_ = requestAnimationFrame(frame);
    });
    const started = Date.now();
    await page.setInputFiles("#picture-file", file);
    await web.waitForStatus(page, new RegExp(`^big\\.png, ${side} × ${side}: click`), 120000);
    const seconds = (Date.now() - started) / 1000;
    // The picture is drawn band by band after the status says it is open: read back from the
    // canvas once all of it is drawn.
    const corner = await web.canvasPixels(page, { left: side - 1, top: side - 1, width: 1, height: 1 });
    const drawn = (Date.now() - started) / 1000;
    const longest = await page.evaluate(() => { cancelAnimationFrame(window.frameRequest_); return window.longest_; });
    console.log(`# ${side} x ${side} PNG: open after ${seconds.toFixed(1)} s, drawn after ${drawn.toFixed(1)} s; the page's longest task ` +
        `${longest.task.toFixed(0)} ms, longest gap between frames ${longest.gap.toFixed(0)} ms`);

    // The picture arrived whole: samples across it are the file's colours.
    const points = [[0, 0], [side >> 1, 17], [4321 % side, 1234 % side]];
    const samples = [[side - 1, side - 1, ...corner.subarray(0, 3)]];
    for (const [x, y] of points) samples.push([x, y, ...(await web.canvasPixels(page, { left: x, top: y, width: 1, height: 1 })).subarray(0, 3)]);
    for (const [x, y, ...colour] of samples) assert.deepStrictEqual(colour, colourAt(x, y), `pixel ${x} ${y}`);
});

test("nothing went wrong on the console", () => {
    assert.deepStrictEqual(session.problems, []);
});
