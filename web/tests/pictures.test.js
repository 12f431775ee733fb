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

// region_grow's result for one click painting only the seed: the PNG it writes, or why it
// refused the file ({refused}).
function native(file, x, y, paint) {
    const out = path.join(web.workDir, `native-${path.basename(file)}.png`);
    const run = spawnSync(process.env.VX_REGION_GROW,
        [file, String(x), String(y), "--step", "-1", "--seed-tolerance", "0", "--paint", paint, "-o", out], { encoding: "utf8" });
    if (run.status !== 0) return { refused: run.stderr.trim() };
    return files.readPngSamples(fs.readFileSync(out));
}

// The format a file's first bytes give.
function formatOf(file) {
    const head = fs.readFileSync(file).subarray(0, 4);
    return head[0] === 0x89 && head[1] === 0x50 ? "PNG" : head[0] === 0xff && head[1] === 0xd8 ? "JPEG"
        : head[0] === 0x42 && head[1] === 0x4d ? "BMP" : "other";
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
        const kind = formatOf(file);
        const opened = await openFile(file);
        if (opened.refused) {
            // A file region_grow refuses is refused here too, for the same kind of reason.
            const { refused } = native(file, 0, 0, "ff00ff");
            const reason = (text) => (text || "").match(/(damaged|unsupported) (PNG|JPEG|BMP)/)?.[0] || text;
            results.push({ kind, what, differing: 0, largest: 0, refused: opened.refused,
                problems: reason(refused) === reason(opened.refused) ? [] : [`the page: ${opened.refused}; region_grow: ${refused || "reads it"}`] });
            continue;
        }
        // Grey pictures alternate a grey paint (they stay grey) and a colour one (they turn RGB).
        const paint = /grey/i.test(what) && n % 2 === 0 ? "5a5a5a" : "ff00ff";
        await page.fill("#paint", `#${paint}`);
        const x = Math.floor(opened.width / 3), y = Math.floor(opened.height / 3);
        const fill = await web.clickPicture(page, x, y);
        assert.strictEqual(fill.painted, 1, what);
        const expected = native(file, x, y, paint);
        const result = expected.refused ? { differing: 0, largest: 0, problems: [`region_grow: ${expected.refused}`] }
            : compare(files.readPngSamples(await download()), expected);
        results.push({ kind, what, ...result });
    }
    for (const r of results) {
        const pixels = r.refused ? `refused (${r.refused})` : r.differing === 0 ? "same pixels" : `${r.differing} pixels differ, by up to ${r.largest}`;
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

// A scene's pixels at 8 bits, RGBA, with colour under alpha 0 and alpha of every value.
function rgbaScene(width, height, seed) {
    const at = scene(width, height, seed);
    return (x, y) => at(x, y).slice(0, 4).map((v) => v >> 8);
}
function expectedSamples(width, height, sample) {
    const rgba = new Uint16Array(width * height * 4);
    for (let y = 0; y < height; ++y) for (let x = 0; x < width; ++x) rgba.set(sample(x, y), (y * width + x) * 4);
    return { width, height, depth: 8, grey: false, chunks: [], rgba };
}

test("an interlaced RGBA PNG opens and downloads unchanged, and a click paints what region_grow paints", async () => {
    const [width, height] = [64, 48];
    const sample = rgbaScene(width, height, 3);
    const file = path.join(web.workDir, "rgba-interlaced.png");
    fs.writeFileSync(file, files.makePng({ width, height, colourType: 6, depth: 8, interlace: 1, sample }));
    assert.deepStrictEqual(await openFile(file), { width, height });
    const expected = expectedSamples(width, height, sample);
    const saved = files.readPngSamples(await download());
    assert.deepStrictEqual(compare(saved, expected), { differing: 0, largest: 0, problems: [] });
    assert.ok(saved.alpha, "the download keeps alpha");

    // At a pixel of alpha 0 whose colour is its own, tolerance 0 paints what the colours say.
    await web.setTolerances(page, 0, 0);
    await page.fill("#paint", "#ff00ff");
    const [x, y] = [3, 1];
    assert.strictEqual(sample(x, y)[3], 0);
    const fill = await web.clickPicture(page, x, y);
    const out = path.join(web.workDir, "rgba-native.png");
    const run = spawnSync(process.env.VX_REGION_GROW, [file, String(x), String(y), "--step", "0", "--seed-tolerance", "0", "-o", out], { encoding: "utf8" });
    assert.strictEqual(run.status, 0, run.stderr);
    assert.strictEqual(fill.painted, +run.stdout.match(/(\d+) pixels painted/)[1]);
    assert.deepStrictEqual(compare(files.readPngSamples(await download()), files.readPngSamples(fs.readFileSync(out))),
        { differing: 0, largest: 0, problems: [] });
});

// A picture as ImageMagick reads it (through libwebp, giflib): 8-bit RGBA samples.
function magickSamples(file, width, height) {
    const run = spawnSync("convert", [file, "-depth", "8", "rgba:-"], { maxBuffer: 1 << 26 });
    assert.strictEqual(run.status, 0, String(run.stderr));
    return { width, height, depth: 8, grey: false, chunks: [], rgba: Uint16Array.from(run.stdout) };
}

test("a 16-bit picture fills by its samples' high bytes and keeps the low bytes, as region_grow does", async () => {
    // Two halves whose high bytes differ by one; within each, low bytes of every value.
    const [width, height] = [30, 20];
    const sample = (x, y) => [(x < 15 ? 0x4000 : 0x4100) + ((x * 37 + y * 11) & 0xff), 0x8000 + y, 0x1234, 0xffff - x];
    const file = path.join(web.workDir, "deep.png");
    fs.writeFileSync(file, files.makePng({ width, height, colourType: 6, depth: 16, sample }));
    assert.deepStrictEqual(await openFile(file), { width, height });
    await web.setTolerances(page, 0, 0);
    await page.fill("#paint", "#ff00ff");
    const fill = await web.clickPicture(page, 3, 4);
    assert.strictEqual(fill.painted, 15 * height, "the left half, whose high bytes are alike");
    const out = path.join(web.workDir, "deep-native.png");
    const run = spawnSync(process.env.VX_REGION_GROW, [file, "3", "4", "--step", "0", "--seed-tolerance", "0", "-o", out], { encoding: "utf8" });
    assert.strictEqual(run.status, 0, run.stderr);
    const saved = files.readPngSamples(await download());
    assert.deepStrictEqual(compare(saved, files.readPngSamples(fs.readFileSync(out))), { differing: 0, largest: 0, problems: [] });
    assert.deepStrictEqual([...saved.rgba.subarray(4 * 20, 4 * 21)], sample(20, 0), "an unpainted pixel keeps its 16-bit samples");
});

test("WebP and GIF come through the browser's decoder with exact colour under alpha", async () => {
    const [width, height] = [40, 30];
    const source = path.join(web.workDir, "webp-source.png");
    fs.writeFileSync(source, files.makePng({ width, height, colourType: 6, depth: 8, sample: rgbaScene(width, height, 4) }));
    const webp = path.join(web.workDir, "lossless.webp");
    spawnSync("convert", [source, "-define", "webp:lossless=true", "-define", "webp:exact=true", webp]);
    const expected = magickSamples(webp, width, height);
    const underAlpha = expected.rgba.filter((v, i) => i % 4 !== 3 && expected.rgba[i - (i % 4) + 3] === 0 && v !== 0).length;
    assert.ok(underAlpha > 100, "the file keeps colour under alpha 0");
    assert.deepStrictEqual(await openFile(webp), { width, height });
    assert.deepStrictEqual(compare(files.readPngSamples(await download()), expected), { differing: 0, largest: 0, problems: [] });

    // A GIF of 64 opaque colours and one transparent index: what lies under it is the page's
    // choice, fully transparent either way.
    const colour = (x, y) => ((x >> 2) * 8 + (y >> 2)) % 64;
    const gifSource = path.join(web.workDir, "gif-source.png");
    fs.writeFileSync(gifSource, files.makePng({ width, height, colourType: 6, depth: 8,
        sample: (x, y) => (x === y ? [0, 0, 0, 0] : [colour(x, y) * 4, 255 - colour(x, y) * 2, 128, 255]) }));
    const gif = path.join(web.workDir, "palette.gif");
    spawnSync("convert", [gifSource, gif]);
    const gifExpected = magickSamples(gif, width, height);
    assert.deepStrictEqual(await openFile(gif), { width, height });
    const saved = files.readPngSamples(await download());
    for (let i = 0; i < saved.rgba.length; i += 4)
        if (gifExpected.rgba[i + 3] === 0) saved.rgba.set(gifExpected.rgba.subarray(i, i + 3), i);
    assert.deepStrictEqual(compare(saved, gifExpected), { differing: 0, largest: 0, problems: [] });
});

// A palette PNG, and the same damaged each way, with what region_grow says of it.
function damagedPngs() {
    const [width, height] = [20, 10];
    const base = { width, height, colourType: 3, depth: 4, palette: [[0, 0, 0], [255, 0, 0], [0, 255, 0], [0, 0, 255]] };
    const sample = (limit) => (x, y) => [(x + y) % limit];
    const good = files.makePng({ ...base, sample: sample(4) });
    const rows = files.pngRows({ ...base, sample: sample(4) });
    const rowBytes = rows.length / height;
    const idat = good.indexOf("IDAT", 0, "latin1");
    const badCrc = Buffer.from(good);
    badCrc[idat + 4 + good.readUInt32BE(idat - 4)] ^= 0x55;
    const badZlib = zlib.deflateSync(rows);
    badZlib[0] = 0x79; // not a deflate stream's header
    return {
        good,
        damaged: {
            "cut.png": good.subarray(0, idat + 20),
            "bad-crc.png": badCrc,
            "bad-zlib.png": files.makePng({ ...base, data: badZlib }),
            "palette-index.png": files.makePng({ ...base, sample: sample(9) }),
            "extra-data.png": files.makePng({ ...base, data: zlib.deflateSync(Buffer.concat([rows, rows.subarray(0, rowBytes)])) }),
            "too-little-data.png": files.makePng({ ...base, data: zlib.deflateSync(rows.subarray(0, rows.length - rowBytes)) }),
        },
    };
}

test("damaged PNGs are refused with a message, as region_grow refuses them, and the page keeps its picture", async () => {
    const { good, damaged } = damagedPngs();
    const goodFile = path.join(web.workDir, "good.png");
    fs.writeFileSync(goodFile, good);
    assert.deepStrictEqual(await openFile(goodFile), { width: 20, height: 10 });
    const shown = await web.canvasPixels(page);
    for (const [name, bytes] of Object.entries(damaged)) {
        const file = path.join(web.workDir, name);
        fs.writeFileSync(file, bytes);
        // The damage is real: region_grow refuses each file, but for an index past the palette,
        // which the system's libpng lets through as black.
        const run = spawnSync(process.env.VX_REGION_GROW, [file, "0", "0", "-o", path.join(web.workDir, "x.png")], { encoding: "utf8" });
        const native = run.status === 0 ? "region_grow reads it" : run.stderr.trim();
        if (name !== "palette-index.png") assert.match(native, /damaged PNG/, name);
        const opened = await openFile(file);
        assert.match(opened.refused || "", new RegExp(`^Error: ${name.replace(".", "\\.")}: damaged PNG: `), name);
        console.log(`# ${name}: the page: ${opened.refused}; ${native}`);
        assert.strictEqual(web.comparePixels(await web.canvasPixels(page), shown, 20).differing, 0, `${name}: the picture stays`);
    }
    const fill = await web.clickPicture(page, 0, 0);
    assert.ok(fill.painted > 0, "the kept picture still takes fills");
});

test("nothing went wrong on the console", () => {
    assert.deepStrictEqual(session.problems, []);
});
