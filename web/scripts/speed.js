// speed.js - the fill's time per pixel in the page against the native region_grow's time
// inside the plug-in, on a whole-picture fill of a uniform 3000 x 3000 picture.
//
//   VX_SITE_DIR=build/web/site VX_REGION_GROW=build/web/tools/region_grow node web/scripts/speed.js
//
// Each side fills the picture RUNS times (default 5) and the best time counts: both then
// measure the fill, not a moment when the machine was busy with something else. The page's
// time is the one its status line reports: VXcDrawIt in the worker, host services included.
"use strict";
const os = require("os");
const path = require("path");
const { spawnSync } = require("child_process");
const web = require("../tests/browser.js");
const pictures = require("../tests/pictures.js");
const { writePng } = require("./png-file.js");

const side = 3000, pixels = side * side;
const runs = Number(process.env.RUNS || 5);

async function main() {
    const file = path.join(web.workDir, "uniform-3000.png");
    const picture = pictures.uniform(side, side, [120, 130, 140]);
    writePng(file, side, side, picture.rgba);

    const native = [];
    for (let i = 0; i < runs; ++i) {
        const run = spawnSync(process.env.VX_REGION_GROW, [file, "1500", "1500", "--step", "0", "--seed-tolerance", "0",
            "-o", path.join(web.workDir, "native.png")], { encoding: "utf8" });
        const figures = /(\d+) pixels painted.* ([\d.]+) ms/.exec(run.stdout + run.stderr);
        if (run.status !== 0 || !figures || Number(figures[1]) !== pixels)
            throw new Error(`region_grow did not fill the picture: ${run.stdout}${run.stderr}`);
        native.push(Number(figures[2]));
    }

    const session = await web.openPage();
    const page = [];
    try {
        await web.openPicture(session.page, file);
        await web.setTolerances(session.page, 0, 0);
        // Paint and picture alternate colours so that every run fills all of it again.
        for (let i = 0; i < runs; ++i) {
            await session.page.fill("#paint", i % 2 === 0 ? "#ff00ff" : "#78828c");
            const fill = await web.clickPicture(session.page, 1500, 1500);
            if (fill.painted !== pixels) throw new Error(`the page painted ${fill.painted} pixels`);
            page.push(fill.milliseconds);
        }
    } finally {
        await session.close();
    }

    const best = (times) => Math.min(...times);
    const perPixel = (ms) => ((ms * 1e6) / pixels).toFixed(1);
    console.log(`whole-picture fill, ${side} x ${side}, best of ${runs}:`);
    console.log(`  page (chromium, worker): ${best(page).toFixed(1)} ms, ${perPixel(best(page))} ns/pixel  (runs: ${page.map((t) => t.toFixed(1)).join(" ")})`);
    console.log(`  native region_grow:      ${best(native).toFixed(1)} ms, ${perPixel(best(native))} ns/pixel  (runs: ${native.map((t) => t.toFixed(1)).join(" ")})`);
    console.log(`  page / native: ${(best(page) / best(native)).toFixed(2)}`);
    console.log(`  load average: ${os.loadavg().map((l) => l.toFixed(2)).join(" ")} on ${os.cpus().length} cores`);
}

main().catch((error) => {
    console.error(`speed: ${error.message}`);
    process.exit(1);
});
