// The live explorer in a real browser: the region outlined for a step is the region Apply
// then paints, for several steps, and the page's picture with the growth curve for the README.
"use strict";
const { test, before, after } = require("node:test");
const assert = require("node:assert");
const web = require("./browser.js");

let session, page;
before(async () => {
    session = await web.openPage();
    page = session.page;
});
after(async () => session && session.close());

const explorePoint = { x: 262, y: 240 };

async function explore({ x, y }) {
    await web.clickPicture(page, x, y, ["Shift"]);
    await web.waitForStatus(page, new RegExp(`^Explorer at ${x} ${y}: `));
    await page.waitForSelector("#explorer:not([hidden])");
}

// Pixels of the outline canvas that are drawn, as a set of indices, once it has been redrawn.
async function outlinedPixels() {
    return new Set(await page.evaluate(async () => {
        await new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
        const canvas = document.getElementById("outline");
        const data = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
        const drawn = [];
        for (let i = 3; i < data.length; i += 4) if (data[i] !== 0) drawn.push((i - 3) / 4);
        return drawn;
    }));
}

// The boundary of a set of pixels: members with a 4-neighbour outside it or on the edge.
function boundary(members, width, height) {
    const out = new Set();
    for (const index of members) {
        const x = index % width, y = (index - x) / width;
        if (x === 0 || y === 0 || x === width - 1 || y === height - 1 || !members.has(index - 1) ||
            !members.has(index + 1) || !members.has(index - width) || !members.has(index + width))
            out.add(index);
    }
    return out;
}

function changedPixels(before, after) {
    const changed = new Set();
    for (let i = 0; i < before.length; i += 4)
        if (before[i] !== after[i] || before[i + 1] !== after[i + 1] || before[i + 2] !== after[i + 2]) changed.add(i / 4);
    return changed;
}

test("the page after the demo's clicks, with the growth curve of one more point", async () => {
    const args = web.demoArgs();
    await web.setTolerances(page, args[args.indexOf("--step") + 1], args[args.indexOf("--seed-tolerance") + 1]);
    const clicks = args.slice(0, args.indexOf("--step")).map(Number);
    for (let i = 0; i < clicks.length; i += 2) await web.clickPicture(page, clicks[i], clicks[i + 1]);
    await explore({ x: 150, y: 200 });
    const summary = await page.locator("#explorer-summary").textContent();
    assert.match(summary, /^Step 6 paints \d+ pixels\. /);
    if (process.env.VX_SCREENSHOT) {
        // The page's content, without the empty window around it.
        const clip = await page.evaluate(() => {
            const parts = ["status", "explorer", "viewport"].map((id) => document.getElementById(id).getBoundingClientRect());
            return { x: 0, y: 0, width: Math.max(...parts.map((r) => r.right)) + 12, height: Math.max(...parts.map((r) => r.bottom)) + 10 };
        });
        await page.screenshot({ path: process.env.VX_SCREENSHOT, clip });
    }
    await page.click("#explorer-close");
    for (let i = 0; i < clicks.length / 2; ++i) await page.click("#undo");
    await page.waitForSelector("#undo:disabled");
});

test("for each step, the outlined region is what Apply paints", async () => {
    const { width, height } = await web.pictureSize(page);
    await web.setTolerances(page, 6, 30);
    // Steps typed into the field, and steps set with the slider, each then applied.
    for (const [step, how] of [[0, "field"], [4, "slider"], [9, "field"], [14, "slider"], [" 20x", "field"]]) {
        await explore(explorePoint);
        if (how === "slider") await page.locator("#step-slider").fill(String(step));
        else await page.fill("#step", String(step));
        const outlined = await outlinedPixels();
        const promised = Number((await page.locator("#explorer-summary").textContent()).match(/paints (\d+) pixels/)[1]);
        assert.ok(outlined.size > 0, `step ${step}: nothing outlined`);

        const before = await web.canvasPixels(page);
        await page.evaluate(() => { document.getElementById("status").textContent = ""; });
        await page.click("#apply");
        const text = await web.waitForStatus(page, new RegExp(`^RegionGrowing at ${explorePoint.x} ${explorePoint.y}: `));
        const painted = changedPixels(before, await web.canvasPixels(page));
        assert.strictEqual(Number(text.match(/: (\d+) pixels painted/)[1]), promised, `step ${step}: count`);
        assert.strictEqual(painted.size, promised, `step ${step}: pixels changed`);
        const expected = boundary(painted, width, height);
        assert.strictEqual(outlined.size, expected.size, `step ${step}: outline size`);
        assert.ok([...expected].every((index) => outlined.has(index)), `step ${step}: outline differs`);
        await page.click("#undo");
        await page.waitForSelector("#undo:disabled");
    }
});

test("nothing went wrong on the console", () => {
    assert.deepStrictEqual(session.problems, []);
});
