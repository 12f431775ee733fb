// The page in a real browser: loading, the demo's clicks against the native tool, undo, redo
// and download, the wait cursor and the growing display during a long fill, and the queue's
// overflow message.
"use strict";
const { test, before, after } = require("node:test");
const assert = require("node:assert");
const fs = require("fs");
const path = require("path");
const web = require("./browser.js");
const { writePng } = require("../scripts/png-file.js");
const pictures = require("./pictures.js");
const { spawnSync } = require("child_process");
const { makeBmp } = require("./picture-files.js");

let session, page;
before(async () => {
    session = await web.openPage();
    page = session.page;
});
after(async () => session && session.close());

// The demo's clicks and tolerances, as examples/demo-clicks.args gives them to region_grow.
function demo() {
    const args = web.demoArgs();
    const numbers = [];
    let step = null, seed = null;
    for (let i = 0; i < args.length; ++i) {
        if (args[i] === "--step") step = args[++i];
        else if (args[i] === "--seed-tolerance") seed = args[++i];
        else numbers.push(Number(args[i]));
    }
    const clicks = [];
    for (let i = 0; i < numbers.length; i += 2) clicks.push({ x: numbers[i], y: numbers[i + 1] });
    return { args, clicks, step, seed };
}

const chelsea = () => path.join(web.examplesDir, "chelsea.png");

test("the demo's clicks paint the native tool's pixels with as many refresh requests", async () => {
    const { args, clicks, step, seed } = demo();
    const native = web.runNative(chelsea(), args);
    await web.setTolerances(page, step, seed);
    const refreshes = [];
    for (const { x, y } of clicks) {
        const fill = await web.clickPicture(page, x, y);
        assert.ok(!fill.overflow);
        refreshes.push(fill.refreshes);
    }
    assert.deepStrictEqual(refreshes, native.refreshesPerClick);
    const shown = await web.canvasPixels(page);
    assert.deepStrictEqual(web.comparePixels(shown, native.rgba, native.width), { differing: 0, first: null });
});

test("undo takes the fills back, redo puts them again, a new fill ends the redo list", async () => {
    const original = web.readPng(fs.readFileSync(chelsea()));
    const painted = await web.canvasPixels(page);
    for (let i = 0; i < 3; ++i) await page.click("#undo");
    await page.waitForSelector("#undo:disabled");
    let shown = await web.canvasPixels(page);
    assert.strictEqual(web.comparePixels(shown, original.rgba, original.width).differing, 0);

    for (let i = 0; i < 3; ++i) await page.click("#redo");
    await page.waitForSelector("#redo:disabled");
    shown = await web.canvasPixels(page);
    assert.strictEqual(web.comparePixels(shown, painted, original.width).differing, 0);

    await page.click("#undo");
    await page.waitForSelector("#redo:enabled");
    await web.clickPicture(page, 5, 290);
    await page.waitForSelector("#redo:disabled");
    await page.click("#undo");
    await page.click("#undo");
    await page.click("#redo");
    await page.click("#redo");
    await page.waitForSelector("#redo:disabled");
    shown = await web.canvasPixels(page);
    assert.ok(web.comparePixels(shown, painted, original.width).differing > 0, "the new fill is back, not the undone one");
});

test("download gives a PNG of the canvas's pixels; partly transparent pixels keep colour and alpha", async () => {
    // The demo's result, opaque: the download is what the canvas shows, to the byte.
    let [download] = await Promise.all([page.waitForEvent("download"), page.click("#download")]);
    let saved = web.readPng(fs.readFileSync(await download.path()));
    const shown = await web.canvasPixels(page);
    assert.strictEqual(web.comparePixels(saved.rgba, shown, saved.width).differing, 0);
    assert.strictEqual(saved.rgba.length, shown.length);

    // One colour under many alpha values: read exactly, it is one region for tolerance 0.
    const picture = pictures.uniform(40, 30, [255, 200, 31]);
    for (let i = 3; i < picture.rgba.length; i += 4) picture.rgba[i] = 255 - (i % 250);
    const file = path.join(web.workDir, "alpha.png");
    writePng(file, picture.width, picture.height, picture.rgba);
    await web.openPicture(page, file);
    await web.setTolerances(page, 0, 0);
    assert.strictEqual((await web.clickPicture(page, 3, 3)).painted, 40 * 30);
    [download] = await Promise.all([page.waitForEvent("download"), page.click("#download")]);
    saved = web.readPng(fs.readFileSync(await download.path()));
    assert.ok(saved.rgba.every((value, i) => value === [255, 0, 255, 255][i % 4]), "painted pixels are opaque paint");

    // Undone, the download is the original, colours and alpha to the byte.
    await page.click("#undo");
    await page.waitForSelector("#undo:disabled");
    [download] = await Promise.all([page.waitForEvent("download"), page.click("#download")]);
    saved = web.readPng(fs.readFileSync(await download.path()));
    assert.strictEqual(web.comparePixels(saved.rgba, picture.rgba, 40).differing, 0);
});

test("a long fill shows the wait cursor and the growing region, then the cursor comes back", async () => {
    const side = 2000;
    const file = path.join(web.workDir, "uniform.png");
    const picture = pictures.uniform(side, side, [90, 120, 150]);
    writePng(file, side, side, picture.rgba);
    await web.openPicture(page, file);
    await web.setTolerances(page, 6, 30);
    // Each display frame: the cursor over the picture, and whether the seed and the far
    // corner are painted on the canvas yet, as the worker drawing it reads them back then.
    await page.evaluate((side) => {
        const canvas = document.getElementById("view");
        const painted = async (x, y) => (await canvas.readPixels(x, y, 1, 1, { drawn: false })).data[0] !== 90;
        window.frames_ = [];
        const sample = () => {
            const frame = { cursor: getComputedStyle(canvas).cursor };
            frame.read = Promise.all([painted(0, 0), painted(side - 1, side - 1)]).then(([seed, corner]) => Object.assign(frame, { seed, corner }));
            window.frames_.push(frame);
            if (window.frames_.length < 100000) window.frameRequest_ = requestAnimationFrame(sample);
        };
        sample();
    }, side);
    const fill = await web.clickPicture(page, 0, 0);
    const corner = await web.canvasPixels(page, { left: side - 1, top: side - 1, width: 1, height: 1 });
    const frames = await page.evaluate(async () => {
        cancelAnimationFrame(window.frameRequest_);
        await Promise.all(window.frames_.map((frame) => frame.read));
        return window.frames_.map(({ cursor, seed, corner }) => ({ cursor, seed, corner }));
    });
    assert.strictEqual(fill.painted, side * side);
    assert.ok(frames.some((f) => f.cursor === "wait"), `no frame showed the wait cursor (${fill.milliseconds} ms fill)`);
    assert.strictEqual(frames[frames.length - 1].cursor, "crosshair");
    assert.ok(frames.some((f) => f.seed && !f.corner), "the region was never shown part-grown");
    assert.deepStrictEqual([...corner], [255, 0, 255, 255], "the end of the fill was never shown");
});

test("an overflowing fill shows the Err box with one OK button, and the page goes on working", async () => {
    const tree = pictures.branchingCorridors(15);
    const file = path.join(web.workDir, "corridors.png");
    writePng(file, tree.width, tree.height, tree.rgba);
    const native = web.runNative(file, [String(tree.seed.x), String(tree.seed.y), "--step", "0", "--seed-tolerance", "0"]);
    await web.openPicture(page, file);
    await web.setTolerances(page, 0, 0);
    const fill = await web.clickPicture(page, tree.seed.x, tree.seed.y);
    assert.ok(fill.overflow, "the status line says the fill stopped");

    const box = page.locator("#message");
    await page.waitForSelector("#message[open]");
    assert.strictEqual(await box.locator("#message-caption").textContent(), "Err");
    assert.strictEqual(await box.locator("#message-text").textContent(), "Buffer over");
    assert.deepStrictEqual(await box.locator("button").allTextContents(), ["OK"]);
    assert.deepStrictEqual([fill.refreshes], native.refreshesPerClick);
    const shown = await web.canvasPixels(page);
    assert.strictEqual(web.comparePixels(shown, native.rgba, tree.width).differing, 0);

    // While the box is up the picture takes no clicks; after OK it does.
    await page.click("#message button");
    await page.waitForSelector("#message:not([open])", { state: "attached" });
    const next = await web.clickPicture(page, 0, 0);
    assert.ok(next.painted > 0 && !next.overflow);
    assert.strictEqual(await page.locator("#message").evaluate((d) => d.open), false);
});

test("a dropped picture opens, and at 400 % a click fills the pixel under the pointer", async () => {
    // Four quadrants of different colours: a fill from one paints exactly its quadrant.
    const side = 24;
    const picture = pictures.uniform(side, side, [0, 0, 0]);
    for (let y = 0; y < side; ++y)
        for (let x = 0; x < side; ++x) picture.rgba.set([x < side / 2 ? 40 : 200, y < side / 2 ? 40 : 200, 90], (y * side + x) * 4);
    const { encodePng } = require("../scripts/png-file.js");
    const bytes = [...encodePng(side, side, picture.rgba)];
    const dataTransfer = await page.evaluateHandle((bytes) => {
        const transfer = new DataTransfer();
        transfer.items.add(new File([new Uint8Array(bytes)], "quadrants.png", { type: "image/png" }));
        return transfer;
    }, bytes);
    await page.dispatchEvent("#viewport", "drop", { dataTransfer });
    await web.waitForStatus(page, /^quadrants\.png, 24 × 24: click/);
    await page.selectOption("#zoom", "4");
    await web.setTolerances(page, 0, 0);
    const fill = await web.clickPicture(page, side / 2, side / 2 - 1); // the top right quadrant's corner
    assert.strictEqual(fill.painted, (side / 2) * (side / 2));
    const shown = await web.canvasPixels(page);
    const paintedAt = (x, y) => shown[(y * side + x) * 4] === 255 && shown[(y * side + x) * 4 + 1] === 0;
    assert.ok(paintedAt(side - 1, 0) && !paintedAt(side / 2 - 1, side / 2 - 1) && !paintedAt(side / 2, side / 2));
    await page.selectOption("#zoom", "1");

    // From the keyboard: the point starts at 0 0; Ctrl+arrows move 10 pixels, arrows one.
    await page.focus("#viewport");
    for (const key of ["ArrowRight", "ArrowRight", "ArrowRight", "Control+ArrowDown", "ArrowDown", "ArrowUp", "ArrowLeft"])
        await page.keyboard.press(key);
    // Each step says the point's colour, for a reader that cannot see the picture.
    await web.waitForStatus(page, /^Point 2 10: red 40, green 40, blue 90\. Enter fills here/);
    await page.keyboard.press("Enter");
    const byKey = await web.waitForStatus(page, /^RegionGrowing at 2 10: /);
    assert.match(byKey, /: 144 pixels painted/);
});

test("a picture wider than a canvas can be is refused, and the one shown stays", async () => {
    const before = await page.locator("#view").evaluate((c) => [c.width, c.height]);
    const file = path.join(web.workDir, "wide.png");
    const wide = pictures.uniform(40000, 1, [1, 2, 3]);
    writePng(file, wide.width, wide.height, wide.rgba);
    // The same size as JPEG and as BMP, each refused from its header by its own decoder.
    // (A small JPEG whose frame header says 40000 x 1: ImageMagick writes none that wide.)
    const jpeg = path.join(web.workDir, "wide.jpg");
    const small = spawnSync("convert", ["-size", "8x1", "xc:red", "jpeg:-"]).stdout;
    const frame = small.indexOf(Buffer.from([0xff, 0xc0]));
    small.writeUInt16BE(40000, frame + 7);
    fs.writeFileSync(jpeg, small);
    const bmp = path.join(web.workDir, "wide.bmp");
    fs.writeFileSync(bmp, makeBmp({ width: 40000, height: 1, bits: 24, data: Buffer.alloc(120000) }));
    for (const wideFile of [file, jpeg, bmp]) {
        await page.evaluate(() => { document.getElementById("status").textContent = ""; });
        await page.setInputFiles("#picture-file", wideFile);
        const name = path.basename(wideFile).replace(".", "\\.");
        await web.waitForStatus(page, new RegExp(`^Error: ${name}: 40000 × 1 is too large`));
        assert.deepStrictEqual(await page.locator("#view").evaluate((c) => [c.width, c.height]), before);
    }
});

test("nothing went wrong on the console", () => {
    assert.deepStrictEqual(session.problems, []);
});
