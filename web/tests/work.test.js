// The screen is the file and no work is lost: pictures opened in the middle of fills and
// undos show exactly what downloads, clicks during a fill are dropped, unsaved fills are never
// thrown away without a question, Ctrl+Z in a text field edits the text, and the undo history
// keeps to its budget while the download keeps every fill it can no longer undo.
"use strict";
const { test, after } = require("node:test");
const assert = require("node:assert");
const fs = require("fs");
const path = require("path");
const web = require("./browser.js");
const { writePng } = require("../scripts/png-file.js");
const pictures = require("./pictures.js");

const sessions = [];
after(async () => { for (const session of sessions) await session.close(); });
async function openPage(options) {
    const session = await web.openPage(options);
    sessions.push(session);
    return session;
}

// A picture of pseudo-random colours: its fills' old colours cannot be packed, and every pixel
// of it differs from the paint.
function noise(width, height, seed) {
    const picture = pictures.uniform(width, height, [0, 0, 0]);
    let state = seed;
    for (let i = 0; i < picture.rgba.length; i += 4) {
        state = (state * 1103515245 + 12345) >>> 0;
        picture.rgba.set([state >>> 24, (state >>> 16) & 0xff, 7 + ((state >>> 8) & 0x7f)], i);
    }
    return picture;
}

function pictureFile(name, picture) {
    const file = path.join(web.workDir, name);
    writePng(file, picture.width, picture.height, picture.rgba);
    return file;
}

async function download(page) {
    const [saved] = await Promise.all([page.waitForEvent("download"), page.click("#download")]);
    return web.readPng(fs.readFileSync(await saved.path()));
}

// The canvas against the download, pixel for pixel, and against the pixels expected.
async function assertScreenIsFile(page, expected, what) {
    const shown = await web.canvasPixels(page);
    const saved = await download(page);
    const differing = web.comparePixels(shown, saved.rgba, saved.width);
    assert.strictEqual(differing.differing, 0, `${what}: the canvas differs from the download at ${JSON.stringify(differing.first)}`);
    if (expected) {
        const fromExpected = web.comparePixels(saved.rgba, expected.rgba, expected.width);
        assert.strictEqual(fromExpected.differing, 0, `${what}: ${fromExpected.differing} pixels differ from the picture expected`);
    }
}

// Starts a click on the picture without waiting for its fill.
async function startClick(page, x, y) {
    const box = await page.locator("#view").boundingBox();
    await page.mouse.click(box.x + x + 0.5, box.y + y + 0.5);
}

test("opening pictures in the middle of fills and undos shows what downloads, nothing of the old picture", async () => {
    const { page } = await openPage();
    const big = pictureFile("big-uniform.png", pictures.uniform(2500, 2500, [60, 90, 120]));
    const small = noise(300, 200, 7);
    const smallFile = pictureFile("small-noise.png", small);
    await web.setTolerances(page, 0, 0);

    // A fill running when the next picture is asked for: that picture opens after it, clean.
    await web.openPicture(page, big);
    await startClick(page, 10, 10);
    await page.setInputFiles("#picture-file", smallFile);
    await web.waitForStatus(page, /^small-noise\.png, 300 × 200: click/);
    await assertScreenIsFile(page, small, "opened during a fill");

    // An undo running when the next picture is asked for.
    await web.openPicture(page, big);
    await web.clickPicture(page, 10, 10);
    await page.click("#undo");
    await page.setInputFiles("#picture-file", smallFile);
    await web.waitForStatus(page, /^small-noise\.png, 300 × 200: click/);
    await assertScreenIsFile(page, small, "opened during an undo");

    // The next fills on the new picture show exactly what they paint.
    await web.setTolerances(page, 255, 255);
    await web.clickPicture(page, 5, 5);
    await page.click("#undo");
    await page.waitForSelector("#undo:disabled");
    await assertScreenIsFile(page, small, "filled and undone");
    await web.setTolerances(page, 40, 255);
    await web.clickPicture(page, 150, 100);
    await assertScreenIsFile(page, null, "filled");

    // A click on the picture shown while the next one opens is aimed at neither: dropped.
    const bigPicture = pictures.uniform(2500, 2500, [60, 90, 120]);
    await page.setInputFiles("#picture-file", big);
    await startClick(page, 5, 5);
    await web.waitForStatus(page, /^big-uniform\.png, 2500 × 2500: click/);
    assert.strictEqual(await page.locator("#undo").isDisabled(), true);
    await assertScreenIsFile(page, bigPicture, "a click while opening");
});

test("a click during a fill is dropped and said so: one fill, one undo", async () => {
    const { page } = await openPage();
    await web.openPicture(page, pictureFile("big-uniform-2.png", pictures.uniform(2500, 2500, [60, 90, 120])));
    await web.setTolerances(page, 0, 0);
    await startClick(page, 10, 10);
    await startClick(page, 20, 20);
    await web.waitForStatus(page, /^The click at \d+ \d+ was dropped: a fill or an undo is still running/);
    await web.waitForStatus(page, /^RegionGrowing at \d+ \d+: 6250000 pixels painted/);
    await page.click("#undo");
    await page.waitForSelector("#undo:disabled");
    assert.strictEqual(await page.locator("#redo").isDisabled(), false);
});

test("unsaved fills are never thrown away without a question", async () => {
    const { page } = await openPage({ discard: false });
    const other = pictureFile("other.png", pictures.uniform(30, 20, [10, 200, 30]));
    await web.setTolerances(page, 6, 30);
    const fill = await web.clickPicture(page, 262, 240);
    const filled = await web.canvasPixels(page);
    const keep = async (open) => {
        await open();
        await page.waitForSelector("#discard[open]");
        assert.match(await page.locator("#discard-text").textContent(), /chelsea\.png has fills that were not downloaded/);
        await page.click("#discard button[value=cancel]");
        await web.waitForStatus(page, /was not opened: the fills on chelsea\.png are kept/);
    };
    await keep(() => page.click("#sample"));
    await keep(() => page.setInputFiles("#picture-file", other));
    const dataTransfer = await page.evaluateHandle(() => {
        const transfer = new DataTransfer();
        transfer.items.add(new File([new Uint8Array([1, 2, 3])], "dropped.png", { type: "image/png" }));
        return transfer;
    });
    await keep(() => page.dispatchEvent("#viewport", "drop", { dataTransfer }));
    assert.strictEqual(web.comparePixels(await web.canvasPixels(page), filled, 451).differing, 0);
    assert.strictEqual(await page.locator("#undo").isDisabled(), false);

    // Leaving the page asks too (beforeunload); after a download it does not.
    const asked = [];
    page.on("dialog", (dialog) => { asked.push(dialog.type()); dialog.dismiss(); });
    await page.close({ runBeforeUnload: true });
    await new Promise((resolve) => setTimeout(resolve, 500));
    assert.deepStrictEqual(asked, ["beforeunload"]);
    assert.strictEqual(page.isClosed(), false, "the page stays when the question is declined");
    await download(page);
    await page.click("#sample"); // saved: opens without a question
    await web.waitForStatus(page, /^chelsea\.png, 451 × 300: click/);
    assert.strictEqual(await page.locator("#discard").evaluate((d) => d.open), false);
    assert.ok(fill.painted > 0);
});

test("Ctrl+Z and Ctrl+Y in a tolerance field edit its text and leave the fills alone", async () => {
    const { page } = await openPage();
    await web.setTolerances(page, 6, 30);
    await web.clickPicture(page, 262, 240);
    const filled = await web.canvasPixels(page);
    await page.click("#step");
    await page.keyboard.press("End");
    await page.keyboard.type("25");
    assert.strictEqual(await page.inputValue("#step"), "625");
    await page.keyboard.press("Control+z");
    assert.notStrictEqual(await page.inputValue("#step"), "625", "Ctrl+Z took the typing back");
    await page.keyboard.press("Control+y");
    assert.strictEqual(await page.inputValue("#step"), "625", "Ctrl+Y put it again");
    assert.strictEqual(await page.locator("#undo").isDisabled(), false);
    assert.strictEqual(web.comparePixels(await web.canvasPixels(page), filled, 451).differing, 0);
    // Outside a text field Ctrl+Z undoes the fill.
    await page.focus("#viewport");
    await page.keyboard.press("Control+z");
    await page.waitForSelector("#undo:disabled");
});

test("the undo history keeps to its budget, says so, and the download keeps the fills it dropped", async () => {
    // A 1 MB budget: one whole fill of this 600 x 600 noise keeps 1.4 MB of old colours.
    const { page } = await openPage({ query: "?undo-mb=1" });
    const picture = noise(600, 600, 99);
    await web.openPicture(page, pictureFile("noise.png", picture));
    await web.setTolerances(page, 255, 255);
    await web.clickPicture(page, 1, 1); // paints all of it magenta
    await page.fill("#paint", "#00ff00");
    const second = await web.clickPicture(page, 2, 2);
    assert.strictEqual(second.painted, 600 * 600);
    assert.match(await page.locator("#status").textContent(),
        /the undo history is at its memory budget: the 1 oldest fills can no longer be undone/);
    await page.click("#undo");
    await page.waitForSelector("#undo:disabled");
    // Back to the first fill's magenta, which can no longer be undone and downloads as painted.
    const magenta = pictures.uniform(600, 600, [255, 0, 255]);
    await assertScreenIsFile(page, magenta, "after the budget");
});
