// page-module.js - page.wasm for the worker: the plug-in's own objects with the C++ host that
// region_grow and the editor run them on, the undo levels and the tolerance explorer, all over
// one picture held in the module's memory (web/module/page_module.cpp).
//
//   const module = await PageModule.create(wasmBytes, events);
//   module.open(width, height, words, budgetBytes);   // the host's colour words, copied in once
//   const fill = module.fill(x, y, stepText, seedText, 0xRRGGBB);
//   // {painted, refreshes, overflow, milliseconds}
//
// While a fill runs the module calls `events`:
//   events.refresh(listed)        a refresh request: the first `listed` pixels of paintedList()
//                                 were painted before it, in the order painted
//   events.cursor(wait)           true: the wait cursor; false: the normal one
//   events.message(caption, text) the plug-in's message box; the fill has ended
// Views over the module's memory are made when asked for: the memory may grow during any call.

const Steps = 256;

export class PageModule {
    static async create(wasmBytes, events) {
        const module = new PageModule(events, await WebAssembly.compile(wasmBytes));
        module.instantiate();
        module.exports.page_warm_up();
        return module;
    }

    constructor(events, compiled) {
        this.events = events;
        this.compiled = compiled;
        this.width = 0;
        this.height = 0;
        this.budgetBytes = 0;
    }

    instantiate() {
        const instance = new WebAssembly.Instance(this.compiled, {
            page: {
                refresh: (listed) => this.events.refresh(listed),
                cursor: (wait) => this.events.cursor(wait !== 0),
                message: (text, caption) => this.events.message(this.text(caption), this.text(text)),
            },
        });
        this.exports = instance.exports;
        this.exports.__wasm_call_ctors();
    }

    words(address, count) {
        return new Uint32Array(this.exports.memory.buffer, address, count);
    }

    text(address) {
        const bytes = new Uint8Array(this.exports.memory.buffer);
        let end = address;
        while (bytes[end] !== 0) ++end;
        return new TextDecoder("latin1").decode(bytes.subarray(address, end));
    }

    // Copies a text into the module's text buffer; returns its length in bytes.
    writeText(text) {
        const encoded = new TextEncoder().encode(text);
        const address = this.exports.page_text_buffer(encoded.length);
        new Uint8Array(this.exports.memory.buffer, address, encoded.length).set(encoded);
        return encoded.length;
    }

    setTolerances(stepText, seedText) {
        this.exports.page_set_parameter(0, this.writeText(stepText));
        this.exports.page_set_parameter(1, this.writeText(seedText));
    }

    // ---- The picture ------------------------------------------------------------------------------

    // Lets the picture open go, then opens `words` (a Uint32Array of width * height).
    open(width, height, words, budgetBytes) {
        const e = this.exports;
        this.width = this.height = 0;
        this.budgetBytes = budgetBytes;
        this.words(e.page_picture_buffer(width, height), words.length).set(words);
        e.page_open(width, height, budgetBytes);
        this.width = width;
        this.height = height;
    }

    // The colour words now (a view: valid until the next call into the module).
    pixels() {
        return this.words(this.exports.page_pixels(), this.width * this.height);
    }

    // ---- Fills --------------------------------------------------------------------------------------

    // Returns {painted, refreshes, overflow, milliseconds, error}: milliseconds the time inside
    // the plug-in, as region_grow reports it; error is null, or the text of
    // what cut the fill short, after which the picture keeps what the fill painted and the undo
    // levels are gone (restarted()).
    fill(x, y, stepText, seedText, paint) {
        const e = this.exports;
        this.setTolerances(stepText, seedText);
        const start = performance.now();
        try {
            const painted = e.page_fill(x, y, paint);
            const milliseconds = performance.now() - start;
            e.page_keep_fill();
            return { painted, refreshes: e.page_refreshes(), overflow: e.page_overflowed() === 1, milliseconds, error: null };
        } catch (thrown) {
            const milliseconds = performance.now() - start;
            this.restart();
            return { painted: 0, refreshes: 0, overflow: false, milliseconds,
                error: `the fill at ${x} ${y} stopped: ${(thrown && thrown.message) || thrown}` };
        }
    }

    // A call cut short leaves the plug-in's static state behind (its one-fill-at-a-time flag
    // set, so every later fill would do nothing) and the host's half done: a fresh instance
    // starts clean, with the picture as the old one's memory holds it.
    restart() {
        const words = this.pixels().slice();
        this.instantiate();
        this.open(this.width, this.height, words, this.budgetBytes);
    }

    // The pixels the fill running (or the last) painted, by index, in the order painted.
    paintedList(count) {
        return this.words(this.exports.page_painted_list(), count);
    }

    // The pixel a full queue turned away, which the list leaves out; -1 for none.
    unlistedPixel() {
        return this.exports.page_unlisted_pixel();
    }

    // What the fill at (x, y) would paint, without showing or keeping it: {painted, overflow}.
    trialFill(x, y, stepText, seedText) {
        this.setTolerances(stepText, seedText);
        const painted = this.exports.page_trial_fill(x, y);
        return { painted, overflow: this.exports.page_overflowed() === 1 };
    }

    // ---- Undo ---------------------------------------------------------------------------------------

    // The box (inclusive) that an undo or redo wrote, or null when there was nothing to apply.
    undo() {
        return this.exports.page_undo() === 1 ? this.changedBox() : null;
    }
    redo() {
        return this.exports.page_redo() === 1 ? this.changedBox() : null;
    }
    changedBox() {
        const [left, top, right, bottom] = new Int32Array(this.exports.memory.buffer, this.exports.page_changed_box(), 4);
        return { left, top, right, bottom };
    }

    history() {
        const e = this.exports;
        return {
            canUndo: e.page_can_undo() === 1,
            canRedo: e.page_can_redo() === 1,
            state: e.page_state(),
            undoLevels: e.page_undo_levels(),
            droppedLevels: e.page_dropped_levels(),
            historyBytes: e.page_history_bytes(),
        };
    }

    // One byte a pixel, 1 where a fill not undone painted (a copy).
    paintedMask() {
        const e = this.exports;
        const mask = new Uint8Array(e.memory.buffer, e.page_painted_mask(), this.width * this.height).slice();
        e.page_release_painted_mask();
        return mask;
    }

    // ---- The explorer -------------------------------------------------------------------------------

    parseTolerance(text) {
        this.writeText(text);
        return this.exports.page_parse_tolerance();
    }

    // The map of a click at (x, y) with the seed tolerance typed; returns {status, curve}:
    // status 0 done, 2 the seed outside the picture.
    explore(x, y, seedText) {
        const e = this.exports;
        this.setTolerances("", seedText);
        const status = e.page_explore(x, y);
        return { status, curve: status === 0 ? this.words(e.page_curve(), Steps).slice() : null };
    }

    // The outline of what `step` paints at the click explored, by pixel index (a copy).
    outline(step) {
        const count = this.exports.page_outline(step);
        return this.words(this.exports.page_outline_list(), count).slice();
    }

    // What the curve says about a step: pixels painted, stable ranges (widest first), the
    // suggested step (-1 for none) and the next leak above the step (null for none).
    readCurve(step) {
        const e = this.exports;
        const count = e.page_stable_ranges();
        const words = new Int32Array(e.memory.buffer, e.page_ranges(), count * 4);
        const ranges = [];
        for (let i = 0; i < count; ++i)
            ranges.push({ first: words[4 * i], last: words[4 * i + 1], firstPixels: words[4 * i + 2] >>> 0, lastPixels: words[4 * i + 3] >>> 0 });
        let leak = null;
        if (e.page_next_leak(step) === 1) {
            const l = new Int32Array(e.memory.buffer, e.page_leak(), 3);
            leak = { from: l[0], to: l[1], addedPixels: l[2] >>> 0 };
        }
        return { pixels: e.page_pixels_at_step(step) >>> 0, ranges, suggestion: e.page_suggest(), leak };
    }
}
