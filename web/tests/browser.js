// browser.js - what the browser tests share: the site served over HTTP, Debian's chromium
// driven by playwright-core, the page's element-id contract, and the native reference.
"use strict";
const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");
const { spawnSync } = require("child_process");
const { readPng } = require("../scripts/png-file.js");

let playwright;
try {
    playwright = require("playwright-core");
} catch {
    console.error("playwright-core is missing: run scripts/install-deps.sh (npm ci in web/)");
    process.exit(1);
}

const siteDir = process.env.VX_SITE_DIR;
const regionGrow = process.env.VX_REGION_GROW;
const examplesDir = process.env.VX_EXAMPLES_DIR;
const chromiumPath = process.env.VX_CHROMIUM || "/usr/bin/chromium";
const waitLimitMs = 30000;

// A folder of this run's own under TMPDIR, removed at exit.
const workDir = fs.mkdtempSync(path.join(os.tmpdir(), "vx-web-test-"));
process.on("exit", () => fs.rmSync(workDir, { recursive: true, force: true }));

const mimeTypes = {
    ".html": "text/html; charset=utf-8", ".js": "text/javascript", ".css": "text/css",
    ".wasm": "application/wasm", ".png": "image/png",
};

// Serves `dir` on 127.0.0.1 at a free port; resolves to {url, close}.
function serve(dir) {
    const server = http.createServer((request, response) => {
        const name = decodeURIComponent(new URL(request.url, "http://x").pathname).replace(/^\/$/, "/index.html");
        const file = path.join(dir, path.normalize(name));
        if (!file.startsWith(dir) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
            response.writeHead(404).end();
            return;
        }
        response.writeHead(200, { "Content-Type": mimeTypes[path.extname(file)] || "application/octet-stream" });
        response.end(fs.readFileSync(file));
    });
    return new Promise((resolve) => server.listen(0, "127.0.0.1", () => {
        resolve({ url: `http://127.0.0.1:${server.address().port}/`, close: () => server.close() });
    }));
}

// Opens the page in a fresh headless chromium with its own profile. `problems` collects
// console errors, uncaught exceptions and failed requests. Options: `query`, added to the
// page's address ("?undo-mb=1"); `discard` (default true): the question before unsaved fills
// are thrown away is answered Discard (alwaysDiscard); `viewport` {width, height}; `beforeScripts`,
// a function run in the page before its own scripts; `ready`, the status line waited for (by
// default the sample picture's, open).
async function openPage({ query = "", discard = true, viewport = { width: 1400, height: 900 }, beforeScripts = null,
    ready = /click the picture to fill there/ } = {}) {
    const site = await serve(siteDir);
    const profile = fs.mkdtempSync(path.join(workDir, "profile-"));
    const context = await playwright.chromium.launchPersistentContext(profile, {
        executablePath: chromiumPath,
        headless: true,
        viewport,
        acceptDownloads: true,
        args: ["--headless=new", "--no-sandbox", "--disable-gpu", "--force-device-scale-factor=1",
               "--disable-background-networking", "--disable-component-update", "--disable-sync",
               "--no-first-run"],
    });
    context.setDefaultTimeout(waitLimitMs);
    const page = context.pages()[0] || (await context.newPage());
    const problems = [];
    page.on("console", (message) => { if (message.type() === "error") problems.push(`console: ${message.text()}`); });
    page.on("pageerror", (error) => problems.push(`exception: ${error.message}`));
    page.on("requestfailed", (request) => problems.push(`request failed: ${request.url()}`));
    page.on("response", (response) => { if (response.status() >= 400) problems.push(`HTTP ${response.status()}: ${response.url()}`); });
    if (beforeScripts) await page.addInitScript(beforeScripts);
    await page.goto(site.url + query);
    if (discard) await alwaysDiscard(page);
    await waitForStatus(page, ready);
    const close = async () => {
        await context.close();
        site.close();
    };
    return { page, problems, close, url: site.url, context };
}

async function waitForStatus(page, pattern, limitMs = waitLimitMs) {
    const status = page.locator("#status");
    const deadline = Date.now() + limitMs;
    for (;;) {
        const text = await status.textContent();
        if (pattern.test(text)) return text;
        if (/^Error/.test(text)) throw new Error(`the page says: ${text}`);
        if (Date.now() > deadline) throw new Error(`status "${text}" never matched ${pattern}`);
        await page.waitForTimeout(20);
    }
}

// From now on the page's question before it throws unsaved fills away is answered "Discard" as
// soon as it is asked, as by a user who means to open the next picture.
async function alwaysDiscard(page) {
    await page.evaluate(() => {
        const dialog = document.getElementById("discard");
        if (dialog === null) return;
        new MutationObserver(() => { if (dialog.open) document.getElementById("discard-confirm").click(); })
            .observe(dialog, { attributes: true, attributeFilter: ["open"] });
    });
}

// Types the tolerances into the contract's text fields.
async function setTolerances(page, step, seed) {
    await page.fill("#step", String(step));
    await page.fill("#seed-tolerance", String(seed));
}

// A real pointer click at the centre of picture pixel (x, y), with modifiers if given; for a
// plain click, waits for the status line the fill ends with and returns its figures.
async function clickPicture(page, x, y, modifiers = []) {
    // The pixel is scrolled into the middle of the picture's viewport, as a user would.
    await page.evaluate(([x, y]) => {
        const viewport = document.getElementById("viewport");
        const canvas = document.getElementById("view");
        const scale = canvas.getBoundingClientRect().width / Number(canvas.dataset.width);
        viewport.scrollIntoView({ block: "nearest" });
        viewport.scrollLeft = (x + 0.5) * scale - viewport.clientWidth / 2;
        viewport.scrollTop = (y + 0.5) * scale - viewport.clientHeight / 2;
    }, [x, y]);
    const box = await page.locator("#view").boundingBox();
    const scale = box.width / (await pictureSize(page)).width;
    await page.evaluate(() => { document.getElementById("status").textContent = ""; });
    for (const key of modifiers) await page.keyboard.down(key);
    // Pointer events carry whole CSS pixels, and the canvas may sit at a fractional offset:
    // aim at a whole coordinate inside the picture pixel's span.
    const inside = (start) => (Math.ceil(start + 0.01) < start + scale ? Math.ceil(start + 0.01) : start + scale / 2);
    await page.mouse.click(inside(box.x + x * scale), inside(box.y + y * scale));
    for (const key of modifiers) await page.keyboard.up(key);
    if (modifiers.length > 0) return null;
    const text = await waitForStatus(page, new RegExp(`^RegionGrowing at ${x} ${y}: `));
    const figures = text.match(/: (\d+) pixels painted, (\d+) refresh requests, ([\d.]+) ms(, stopped on "Buffer over")?(; .*)?$/);
    if (!figures) throw new Error(`status line "${text}" is not in the expected form`);
    return { painted: +figures[1], refreshes: +figures[2], milliseconds: +figures[3], overflow: !!figures[4] };
}

// The picture's size as the page shows it; the canvas's own width and height follow it once the
// worker that draws the canvas has shown a frame of it.
async function pictureSize(page) {
    return page.locator("#view").evaluate((canvas) => ({ width: Number(canvas.dataset.width), height: Number(canvas.dataset.height) }));
}

// The canvas's pixels as RGBA bytes (all of them, or those of `box` {left, top, width, height}),
// read from the canvas by the worker that draws it, once everything the page has been told of
// is drawn.
async function canvasPixels(page, box = {}) {
    const base64 = await page.evaluate(async ({ left, top, width, height }) => {
        const { data } = await document.getElementById("view").readPixels(left, top, width, height);
        let text = "";
        for (let i = 0; i < data.length; i += 0x8000) text += String.fromCharCode(...data.subarray(i, i + 0x8000));
        return btoa(text);
    }, box);
    return new Uint8Array(Buffer.from(base64, "base64"));
}

// Opens a PNG file through the contract's file input.
async function openPicture(page, file) {
    await page.setInputFiles("#picture-file", file);
    await waitForStatus(page, new RegExp(`^${path.basename(file).replace(/\./g, "\\.")}, \\d+ × \\d+: click`));
}

// Runs the native region_grow; returns the result's pixels and the refresh requests per click.
function runNative(picture, args) {
    const out = path.join(workDir, `native-${process.hrtime.bigint()}.png`);
    const record = `${out}.txt`;
    const run = spawnSync(regionGrow, [picture, ...args, "-o", out, "--record", record], { encoding: "utf8" });
    if (run.status !== 0 && run.status !== 3) throw new Error(`region_grow failed: ${run.stderr}`);
    const refreshesPerClick = [];
    for (const line of fs.readFileSync(record, "utf8").split("\n")) {
        if (line.startsWith("painted ")) break;
        if (line.startsWith("click ")) refreshesPerClick.push(0);
        else if (line.startsWith("refresh ")) ++refreshesPerClick[refreshesPerClick.length - 1];
    }
    return { ...readPng(fs.readFileSync(out)), refreshesPerClick, summary: run.stdout + run.stderr };
}

// The number of pixels whose RGBA differ, and the first of them.
function comparePixels(actual, expected, width) {
    let differing = 0, first = null;
    for (let i = 0; i < expected.length; i += 4) {
        if (actual[i] !== expected[i] || actual[i + 1] !== expected[i + 1] || actual[i + 2] !== expected[i + 2] ||
            actual[i + 3] !== expected[i + 3]) {
            if (first === null) first = { x: (i / 4) % width, y: Math.floor(i / 4 / width) };
            ++differing;
        }
    }
    return { differing, first };
}

const demoArgs = () => fs.readFileSync(path.join(examplesDir, "demo-clicks.args"), "utf8").trim().split(/\s+/);

module.exports = {
    workDir, examplesDir, openPage, waitForStatus, alwaysDiscard, setTolerances, clickPicture, pictureSize, canvasPixels,
    openPicture, runNative, comparePixels, demoArgs, readPng,
};
