// picture-display.js - the picture on the view's canvas, updated from the fill worker's
// messages and drawn at the display's pace, in the display worker (display-worker.js) on the
// OffscreenCanvas the page handed it.
//
// The display keeps its own copy of the picture's pixels. Updates write into the copy and mark
// the tiles they touch; once per display frame the marked tiles are drawn, each run of
// neighbouring marked tiles in a row as one rectangle, so that drawing costs about the area
// that changed, however the changes are spread.
//
// Showing a changed canvas costs the browser more per frame the larger the canvas is: drawn
// in software, about a millisecond a megapixel, for a copy of the whole canvas. Large pictures
// are therefore drawn at most every DrawGapPerMegapixelMs a megapixel (a 3000 x 3000 picture
// about 11 times a second), which keeps the display's share of the processor small while a
// fill runs in the fill worker: on a busy machine with two cores, drawing a 3000 x 3000 fill at
// every frame made the fill take 1.1 to 1.6 times as long. Pictures of up to 1.6 Mpx are drawn
// at every frame.
//
// A frame draws for at most DrawBudgetMs and leaves the tiles it did not reach marked for the
// next: a new large picture (64 Mpx: a quarter of a gigabyte of pixels) appears band by band
// over a few frames, and the display worker answers the page's questions between them.

const TileSide = 64;
const DrawGapPerMegapixelMs = 10;
const DrawBudgetMs = 12;

export class PictureDisplay {
    constructor(canvas) {
        this.canvas = canvas;
        this.context = canvas.getContext("2d");
        this.frameRequested = false;
        this.delayed = null; // the timer of a drawing put off
        this.lastDraw = 0;
        this.drawnWaiters = []; // whenDrawn's, until the tiles marked are drawn
        this.load(new ImageData(1, 1));
    }

    // Shows `image` (an ImageData, which the display keeps) in full, over the next frames.
    load(image) {
        this.image = image;
        this.words = new Uint32Array(image.data.buffer);
        this.width = image.width;
        this.columns = Math.ceil(image.width / TileSide);
        this.rows = Math.ceil(image.height / TileSide);
        this.marked = new Uint8Array(this.columns * this.rows).fill(1);
        this.drawGapMs = (DrawGapPerMegapixelMs * image.width * image.height) / 1e6;
        this.canvas.width = image.width;
        this.canvas.height = image.height;
        this.lastDraw = 0;
        // A drawing the last picture put off (its gap) would show this one late: drawn at once.
        if (this.delayed !== null) {
            clearTimeout(this.delayed);
            this.delayed = null;
            this.frameRequested = false;
        }
        this.scheduleFrame();
    }

    // Pixels (indices y * width + x, in a Uint32Array) now of one RGBA word.
    showPainted(indices, rgbaWord) {
        const width = this.width;
        for (let i = 0; i < indices.length; ++i) {
            const index = indices[i];
            this.words[index] = rgbaWord;
            const x = index % width;
            this.marked[(((index - x) / width / TileSide) | 0) * this.columns + ((x / TileSide) | 0)] = 1;
        }
        this.scheduleFrame();
    }

    // The RGBA bytes of the picture at (x, y), as the canvas shows them once drawn.
    rgbaAt(x, y) {
        const p = (y * this.width + x) * 4;
        return Array.from(this.image.data.subarray(p, p + 4));
    }

    // The canvas's own pixels in a box, as an ImageData: what the screen shows, read back
    // from the canvas rather than from the copy.
    canvasPixels(left, top, width, height) {
        return this.context.getImageData(left, top, width, height);
    }

    // Resolves once every tile marked so far has been drawn on the canvas.
    whenDrawn() {
        if (!this.anyMarked) return Promise.resolve();
        return new Promise((resolve) => this.drawnWaiters.push(resolve));
    }

    // A rectangle's RGBA bytes, rows top to bottom.
    showRectangle(left, top, width, height, bytes) {
        const target = this.image.data;
        for (let row = 0; row < height; ++row)
            target.set(bytes.subarray(row * width * 4, (row + 1) * width * 4), ((top + row) * this.width + left) * 4);
        const firstColumn = (left / TileSide) | 0, lastColumn = ((left + width - 1) / TileSide) | 0;
        for (let row = (top / TileSide) | 0; row <= ((top + height - 1) / TileSide | 0); ++row)
            this.marked.fill(1, row * this.columns + firstColumn, row * this.columns + lastColumn + 1);
        this.scheduleFrame();
    }

    // The next drawing: after the gap a large picture's drawings keep, unless `unfinished` says
    // the last frame ran out of time and the rest follows at once.
    scheduleFrame(unfinished = false) {
        this.anyMarked = true;
        if (this.frameRequested) return;
        this.frameRequested = true;
        const wait = unfinished ? 0 : this.lastDraw + this.drawGapMs - performance.now();
        if (wait > 0) {
            this.delayed = setTimeout(() => {
                this.delayed = null;
                requestAnimationFrame(() => this.draw());
            }, wait);
        } else {
            requestAnimationFrame(() => this.draw());
        }
    }

    draw() {
        this.frameRequested = false;
        const start = (this.lastDraw = performance.now());
        if (!this.anyMarked) return;
        this.anyMarked = false;
        for (let row = 0; row < this.rows; ++row) {
            if (performance.now() - start > DrawBudgetMs) {
                this.scheduleFrame(true);
                return;
            }
            const base = row * this.columns;
            for (let column = 0; column < this.columns; ++column) {
                if (this.marked[base + column] === 0) continue;
                let end = column;
                while (end + 1 < this.columns && this.marked[base + end + 1] !== 0) ++end;
                this.marked.fill(0, base + column, base + end + 1);
                const x = column * TileSide, y = row * TileSide;
                this.context.putImageData(this.image, 0, 0, x, y, (end + 1) * TileSide - x, TileSide);
                column = end;
            }
        }
        for (const resolve of this.drawnWaiters.splice(0)) resolve();
    }
}
