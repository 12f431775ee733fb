// speed.js - the page beside the native region_grow, in one run (make bench-web):
//   - whole-picture fills of a uniform 3000 x 3000 picture and of the benchmarks' photograph-like
//     4096 x 4096 one: the page's time per pixel (its status line: VXcDrawIt in the worker,
//     host included) against region_grow's time inside the plug-in, best of RUNS (default 5);
//   - the first fill after the page has loaded, against the best;
//   - opening a 6000 x 4000 PNG: the longest task on the page's thread, and the longest gap
//     between display frames, from the choice of the file to the picture drawn;
//   - the explorer's slider on a photograph-like 3000 x 2000 picture: each step's time from the
//     field's change to its outline drawn, and the longest task on the page's thread.
// Every figure is printed with the machine's load; none is a pass or a fail.
//
//   VX_SITE_DIR=build/web/site VX_REGION_GROW=build/web/region_grow/region_grow \
//   VX_BENCH_IMAGE=build/web/bench/bench_image_file node web/scripts/speed.js
"use strict";
const fs = require("fs");
const os = require("os");
const path = require("path");
const zlib = require("zlib");
const { spawnSync } = require("child_process");
const web = require("../tests/browser.js");
const files = require("../tests/picture-files.js");

const runs = Number(process.env.RUNS || 5);
const load = () => `load average ${os.loadavg().map((l) => l.toFixed(2)).join(" ")} on ${os.cpus().length} cores`;

// An RGB PNG whose pixels colourAt gives, filter 0, compressed fast.
function writePng(file, width, height, colourAt) {
    const stride = width * 3 + 1;
    const raw = Buffer.alloc(stride * height);
    for (let y = 0; y < height; ++y)
        for (let x = 0, at = y * stride + 1; x < width; ++x, at += 3) raw.set(colourAt(x, y), at);
    const header = Buffer.alloc(13);
    header.writeUInt32BE(width, 0);
    header.writeUInt32BE(height, 4);
    header.set([8, 2, 0, 0, 0], 8);
    fs.writeFileSync(file, Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
        files.chunk("IHDR", header), files.chunk("IDAT", zlib.deflateSync(raw, { level: 1 })),
        files.chunk("IEND", Buffer.alloc(0))]));
}

// One of the benchmarks' pictures; resolves to its seed and tolerances.
function benchImage(name, file, size = []) {
    const run = spawnSync(process.env.VX_BENCH_IMAGE, [name, file, ...size.map(String)], { encoding: "utf8" });
    if (run.status !== 0) throw new Error(`bench_image_file: ${run.stderr}`);
    const [x, y, step, seed] = run.stdout.trim().split(" ");
    return { file, x: +x, y: +y, step, seed };
}

function nativeFill(picture) {
    const times = [];
    let painted = 0;
    for (let i = 0; i < runs; ++i) {
        const run = spawnSync(process.env.VX_REGION_GROW, [picture.file, String(picture.x), String(picture.y),
            "--step", picture.step, "--seed-tolerance", picture.seed, "-o", path.join(web.workDir, "native.png")],
        { encoding: "utf8" });
        const figures = /(\d+) pixels painted.* ([\d.]+) ms/.exec(run.stdout + run.stderr);
        if (run.status !== 0 || !figures) throw new Error(`region_grow failed: ${run.stdout}${run.stderr}`);
        painted = Number(figures[1]);
        times.push(Number(figures[2]));
    }
    return { painted, times };
}

// Fills the picture RUNS times in the page, undoing each fill before the next.
async function pageFill(page, picture) {
    await web.openPicture(page, picture.file);
    await web.setTolerances(page, picture.step, picture.seed);
    const times = [];
    let painted = 0;
    for (let i = 0; i < runs; ++i) {
        const fill = await web.clickPicture(page, picture.x, picture.y);
        painted = fill.painted;
        times.push(fill.milliseconds);
        await page.click("#undo");
        await page.waitForFunction(() => document.getElementById("undo").disabled);
    }
    return { painted, times };
}

// Watches the page's thread: its longest task and the longest gap between display frames.
async function watchThread(page) {
    await page.evaluate(() => {
        window.watch_ = { task: 0, gap: 0 };
        window.watchObserver_ = new PerformanceObserver((list) => {
            for (const entry of list.getEntries()) window.watch_.task = Math.max(window.watch_.task, entry.duration);
        });
        window.watchObserver_.observe({ type: "longtask" });
        let last = performance.now();
        const frame = (now) => {
            window.watch_.gap = Math.max(window.watch_.gap, now - last);
            last = now;
            window.watchFrame_ = requestAnimationFrame(frame);
        };
        window.watchFrame_ = requestAnimationFrame(frame);
    });
    return async () => page.evaluate(() => {
        cancelAnimationFrame(window.watchFrame_);
        window.watchObserver_.disconnect();
        return window.watch_;
    });
}

async function openBig(page) {
    const width = 6000, height = 4000;
    const file = path.join(web.workDir, "big-24mpx.png");
    writePng(file, width, height, (x, y) => [x & 0xff, y & 0xff, ((x >> 8) * 16 + (y >> 8)) & 0xff]);
    const stop = await watchThread(page);
    const started = Date.now();
    await web.openPicture(page, file);
    // Read back from the canvas, by the worker that draws it, once all of it is drawn.
    const corner = await web.canvasPixels(page, { left: width - 1, top: height - 1, width: 1, height: 1 });
    if (corner[0] + corner[1] + corner[2] === 0) throw new Error("the 6000 x 4000 picture's last pixel is not shown");
    const drawn = (Date.now() - started) / 1000;
    const watched = await stop();
    return { drawn, ...watched };
}

async function explorerSteps(page, picture) {
    await web.openPicture(page, picture.file);
    await web.setTolerances(page, 0, picture.seed);
    await web.clickPicture(page, picture.x, picture.y, ["Shift"]);
    await page.waitForFunction(() => document.getElementById("explorer").dataset.step !== undefined);
    const stop = await watchThread(page);
    const steps = [];
    for (let step = 1; step <= 24; ++step) {
        await page.fill("#step", String(step));
        await page.waitForFunction((step) => document.getElementById("explorer").dataset.step === String(step), step);
        steps.push(Number(await page.locator("#explorer").getAttribute("data-step-milliseconds")));
    }
    return { steps, ...(await stop()) };
}

async function main() {
    const uniform = { file: path.join(web.workDir, "uniform-3000.png"), x: 1500, y: 1500, step: "0", seed: "0" };
    writePng(uniform.file, 3000, 3000, () => [120, 130, 140]);
    const photograph = benchImage("photograph", path.join(web.workDir, "photograph-4096.png"));
    const explored = benchImage("photograph", path.join(web.workDir, "photograph-3000x2000.png"), [3000, 2000]);

    const session = await web.openPage();
    const { page } = session;
    const lines = [];
    try {
        lines.push(`whole-picture fills, best of ${runs}, page (chromium, worker) against native region_grow:`);
        let first = null;
        for (const [name, picture] of [["uniform 3000 x 3000", uniform], ["photograph-like 4096 x 4096", photograph]]) {
            const native = nativeFill(picture);
            const inPage = await pageFill(page, picture);
            if (inPage.painted !== native.painted) throw new Error(`${name}: the page painted ${inPage.painted}, region_grow ${native.painted}`);
            if (first === null) first = inPage.times;
            const best = (times) => Math.min(...times);
            const ns = (ms) => ((ms * 1e6) / native.painted).toFixed(1);
            lines.push(`  ${name}, ${native.painted} pixels: page ${ns(best(inPage.times))} ns/pixel, native ${ns(best(native.times))} ns/pixel: ` +
                `page / native ${(best(inPage.times) / best(native.times)).toFixed(2)}  (page ms: ${inPage.times.map((t) => t.toFixed(0)).join(" ")}; ` +
                `native ms: ${native.times.map((t) => t.toFixed(0)).join(" ")}; ${load()})`);
        }
        lines.push(`first fill after the page loaded, against the best of the same fill: ${(first[0] / Math.min(...first)).toFixed(2)}`);

        const big = await openBig(page);
        lines.push(`opening a 6000 x 4000 PNG: drawn after ${big.drawn.toFixed(1)} s; the page's longest task ${big.task.toFixed(0)} ms, ` +
            `longest gap between frames ${big.gap.toFixed(0)} ms (${load()})`);

        const slider = await explorerSteps(page, explored);
        const sorted = [...slider.steps].sort((a, b) => a - b);
        lines.push(`explorer on a photograph-like 3000 x 2000 picture, ${slider.steps.length} slider steps: median ` +
            `${sorted[sorted.length >> 1].toFixed(0)} ms, slowest ${sorted[sorted.length - 1].toFixed(0)} ms from the change to the outline drawn; ` +
            `the page's longest task ${slider.task.toFixed(0)} ms (${load()})`);
    } finally {
        await session.close();
    }
    for (const line of lines) console.log(line);
}

main().catch((error) => {
    console.error(`speed: ${error.message}`);
    process.exit(1);
});
