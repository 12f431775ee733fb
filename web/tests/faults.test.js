// Smaller faults a user meets: the explorer tells when Apply would stop on "Buffer over", any
// tolerance text the native tool takes is taken, a phone-sized screen keeps the picture usable
// and opens the explorer by touch, a page opened from a file says what to do, so does a browser
// that cannot hand a canvas to a worker, the picture is an image with a label for a screen
// reader, and Escape closes the explorer from anywhere.
"use strict";
const { test, after } = require("node:test");
const assert = require("node:assert");
const path = require("path");
const playwright = require("playwright-core");
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

test("the explorer says when Apply would stop on \"Buffer over\", and Apply then does", async () => {
    const { page } = await openPage();
    const tree = pictures.branchingCorridors(15);
    const file = path.join(web.workDir, "corridors.png");
    writePng(file, tree.width, tree.height, tree.rgba);
    await web.openPicture(page, file);
    await web.setTolerances(page, 0, 0);
    await web.clickPicture(page, tree.seed.x, tree.seed.y, ["Shift"]);
    const summary = page.locator("#explorer-summary");
    await page.waitForFunction(() => /Buffer over/.test(document.getElementById("explorer-summary").textContent));
    const stops = (await summary.textContent()).match(/would paint (\d+) pixels, but Apply stops on "Buffer over" after (\d+)/);
    assert.ok(stops, await summary.textContent());
    assert.ok(Number(stops[2]) < Number(stops[1]));
    await page.click("#apply");
    const fill = await web.waitForStatus(page, /^RegionGrowing at /);
    assert.match(fill, new RegExp(`: ${stops[2]} pixels painted, .*stopped on "Buffer over"`));
    await page.click("#message button");

    // A step that paints too few pixels to fill the queue is not tried, and says nothing of it
    // (a negative seed tolerance: the seed alone).
    await web.setTolerances(page, 0, -1);
    await page.click("#explore-mode");
    await page.evaluate(() => { document.getElementById("viewport").scrollTo(0, 0); });
    const box = await page.locator("#view").boundingBox();
    await page.mouse.click(box.x + 1, box.y + 1);
    await page.waitForSelector("#explorer:not([hidden])");
    await page.waitForFunction(() => /^Step 0 paints 1 pixels\. Stable ranges: 0–255\./.test(document.getElementById("explorer-summary").textContent));
});

test("a 70,000-digit tolerance text fills as the native tool reads it", async () => {
    const { page } = await openPage();
    const step = "1" + "0".repeat(69999);
    const native = web.runNative(path.join(web.examplesDir, "chelsea.png"), ["262", "240", "--step", step, "--seed-tolerance", "30"]);
    await web.setTolerances(page, step, 30);
    const fill = await web.clickPicture(page, 262, 240);
    const shown = await web.canvasPixels(page);
    assert.strictEqual(web.comparePixels(shown, native.rgba, native.width).differing, 0);
    assert.deepStrictEqual([fill.refreshes], native.refreshesPerClick);
});

test("on a 375 px screen the picture stays usable and the Explore button opens the explorer by touch", async () => {
    const { page } = await openPage({ viewport: { width: 375, height: 740 } });
    await page.click("#explore-mode");
    assert.strictEqual(await page.getAttribute("#explore-mode", "aria-pressed"), "true");
    const box = await page.locator("#view").boundingBox();
    await page.mouse.click(box.x + 100, box.y + 100);
    await page.waitForSelector("#explorer:not([hidden])");
    assert.strictEqual(await page.getAttribute("#explore-mode", "aria-pressed"), "false", "one tap explores, the next fills");
    const viewport = await page.locator("#viewport").boundingBox();
    const panel = await page.locator("#explorer").boundingBox();
    assert.ok(viewport.width >= 300, `the picture is shown ${viewport.width} px wide`);
    assert.ok(viewport.height >= 200, `the picture is shown ${viewport.height} px high`);
    assert.ok(panel.x + panel.width <= 375 + 1, "the explorer fits the screen's width");
    const width = await page.evaluate(() => document.documentElement.scrollWidth);
    assert.ok(width <= 375, `the page is ${width} px wide`);
});

test("opened from a file, the page says to serve it", async () => {
    const browser = await playwright.chromium.launch({ executablePath: process.env.VX_CHROMIUM || "/usr/bin/chromium",
        args: ["--headless=new", "--no-sandbox", "--disable-gpu"] });
    try {
        const page = await browser.newPage();
        await page.goto(`file://${path.join(process.env.VX_SITE_DIR, "index.html")}`);
        await page.waitForTimeout(500);
        assert.match(await page.locator("#status").textContent(), /open it through a web server \(make playground/);
    } finally {
        await browser.close();
    }
});

test("a browser without OffscreenCanvas is told that the page cannot run there, and nothing starts", async () => {
    const { page, problems } = await openPage({
        beforeScripts: () => { delete HTMLCanvasElement.prototype.transferControlToOffscreen; },
        ready: /^Error: this browser cannot run this page: it cannot hand a canvas to a worker \(OffscreenCanvas\)/,
    });
    await page.waitForTimeout(500);
    assert.match(await page.locator("#status").textContent(), /^Error: this browser cannot run this page/, "nothing said otherwise later");
    assert.strictEqual(await page.locator("#download").isDisabled(), true);
    assert.deepStrictEqual(problems, []);
});

test("the picture is an image with a label, and Escape closes the explorer from anywhere", async () => {
    const { page } = await openPage();
    assert.strictEqual(await page.getAttribute("#view", "role"), "img");
    assert.match(await page.getAttribute("#view", "aria-label"), /chelsea\.png, 451 × 300/);
    await web.clickPicture(page, 262, 240, ["Shift"]);
    await page.waitForSelector("#explorer:not([hidden])");
    await page.focus("#seed-tolerance");
    await page.keyboard.press("Escape");
    await page.waitForSelector("#explorer", { state: "hidden" });
});
