// The plug-in module's face: exactly the host's twelve functions imported, exactly the six
// entry points exported, and the entry points' protocol codes, with no browser involved.
"use strict";
const test = require("node:test");
const assert = require("node:assert");
const fs = require("fs");
const path = require("path");

const wasmPath = path.join(process.env.VX_SITE_DIR, "paint.wasm");
const bytes = fs.readFileSync(wasmPath);
const module_ = new WebAssembly.Module(bytes);

const hostServices = ["_VXsGetParameter", "_VXsGetCDIBinfo", "_VXsStartOnImage", "_VXsGetColorOnImage",
    "_VXsGetMask", "_VXsStartPset", "_VXsPSet", "_VXsSetDrawFlag", "_VXsUpdateImageWindow"];
const windowCalls = ["LoadCursorA", "SetCursor", "MessageBoxA"];
const entryPoints = ["VXcGetDrawInterface", "VXcGetDrawInfo", "VXcSetPoint", "VXcDrawGuideLine",
    "VXcDrawIt", "VXcCancelOne"];

test("imports the nine host services and three window calls, nothing else", () => {
    const imports = WebAssembly.Module.imports(module_);
    assert.ok(imports.every((i) => i.module === "env" && i.kind === "function"), JSON.stringify(imports));
    assert.deepStrictEqual(imports.map((i) => i.name).sort(), [...hostServices, ...windowCalls].sort());
});

test("exports the six entry points and its memory, nothing else", () => {
    const exports = WebAssembly.Module.exports(module_);
    const functions = exports.filter((e) => e.kind === "function").map((e) => e.name);
    assert.deepStrictEqual(functions.sort(), [...entryPoints].sort());
    assert.deepStrictEqual(exports.filter((e) => e.kind !== "function").map((e) => e.name), ["memory"]);
    // Linking in a library by mistake would show here long before it showed in the exports.
    assert.ok(bytes.length < 16384, `paint.wasm is ${bytes.length} bytes`);
});

test("the constant entry points answer the protocol's codes and call no host service", () => {
    const calls = [];
    const env = Object.fromEntries([...hostServices, ...windowCalls].map((name) => [name, () => { calls.push(name); return 0; }]));
    const { exports } = new WebAssembly.Instance(module_, { env });
    assert.strictEqual(exports.VXcGetDrawInterface(), 2);
    assert.strictEqual(exports.VXcGetDrawInfo(), 1);
    assert.strictEqual(exports.VXcSetPoint(-1, 0, 7, 0x7fffffff), 4);
    assert.strictEqual(exports.VXcDrawGuideLine(0, 0, 0, 0, 0, 0), 1);
    assert.strictEqual(exports.VXcCancelOne(0, -5, 9), 4);
    assert.deepStrictEqual(calls, []);
    // A null view: the fill returns at once, still with the protocol's code.
    assert.strictEqual(exports.VXcDrawIt(0, 3, 4, 0), 4);
    assert.deepStrictEqual(calls, []);
});

// page.wasm: the same plug-in objects linked with the C++ host; it imports only the worker's
// three calls, and exports only the page's functions.
const pageBytes = fs.readFileSync(path.join(process.env.VX_SITE_DIR, "page.wasm"));

test("the page's module imports the worker's three calls and nothing of the plug-in's", () => {
    const pageModule = new WebAssembly.Module(pageBytes);
    const imports = WebAssembly.Module.imports(pageModule).map((i) => `${i.module}.${i.name}`).sort();
    assert.deepStrictEqual(imports, ["page.cursor", "page.message", "page.refresh"]);
    const exports = WebAssembly.Module.exports(pageModule).map((e) => e.name);
    const foreign = exports.filter((name) => !/^page_/.test(name) && name !== "memory" && name !== "__wasm_call_ctors");
    assert.deepStrictEqual(foreign, [], "the plug-in's entry points and the host's services stay inside");
});

test("the page's module: a fill cut short by an exception leaves later fills working", async () => {
    const { PageModule } = await import(path.join(__dirname, "..", "site", "page-module.js"));
    let failNextWait = true;
    const cursors = [];
    const module = await PageModule.create(pageBytes, {
        refresh() {},
        message() {},
        cursor(wait) {
            cursors.push(wait);
            if (wait && failNextWait) {
                failNextWait = false;
                throw new Error("the window went away");
            }
        },
    });
    const side = 8;
    module.open(side, side, new Uint32Array(side * side).fill(0xc8c8c8), 1 << 20);
    const failed = module.fill(1, 1, "0", "0", 0x00ff00);
    assert.match(failed.error, /stopped: the window went away/);
    assert.strictEqual(module.pixels()[side + 1] & 0xffffff, 0x00ff00, "the seed it painted stays");
    // The plug-in's own fill-running flag stayed set in the old instance; the new one fills.
    const report = module.fill(1, 1, "255", "255", 0x0000ff);
    assert.strictEqual(report.error, null);
    assert.strictEqual(report.painted, side * side);
    assert.strictEqual(report.refreshes, 1);
    assert.ok(module.history().canUndo);
    // Outside the picture the fill paints nothing and asks for no refresh.
    assert.strictEqual(module.fill(-1, 3, "0", "0", 0).painted, 0);
    assert.strictEqual(module.fill(3, side, "0", "0", 0).refreshes, 0);
});
