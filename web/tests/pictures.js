// pictures.js - pictures made for the browser tests, as RGBA pixels.
"use strict";

function uniform(width, height, [r, g, b]) {
    const rgba = new Uint8Array(width * height * 4);
    for (let i = 0; i < rgba.length; i += 4) rgba.set([r, g, b, 255], i);
    return { width, height, rgba };
}

// White corridors one pixel wide on black, branching like an H-tree from the centre: every
// branch point splits in two, and all 2^levels ends lie at the same distance from the seed,
// so a breadth-first fill from the seed carries all the branches of a level at once. With
// more ends than the plug-in's queue holds (29,999), a fill with tolerance 0 overflows, in a
// picture small enough for a browser's canvas.
function branchingCorridors(levels) {
    // Half-extents of a subtree of each level, and the half-length of its middle segment,
    // chosen so that sibling subtrees and a segment's neighbourhood keep a wall between them.
    const halfWidth = [0], halfHeight = [0], halfLength = [0];
    for (let level = 1; level <= levels; ++level) {
        const horizontal = level % 2 === 0;
        const childAlong = horizontal ? halfWidth[level - 1] : halfHeight[level - 1];
        const childAcross = horizontal ? halfHeight[level - 1] : halfWidth[level - 1];
        const length = childAlong + 2;
        halfLength.push(length);
        halfWidth.push(horizontal ? length + childAlong : childAcross);
        halfHeight.push(horizontal ? childAcross : length + childAlong);
    }
    const width = 2 * halfWidth[levels] + 3, height = 2 * halfHeight[levels] + 3;
    const picture = uniform(width, height, [0, 0, 0]);
    const set = (x, y) => picture.rgba.set([255, 255, 255], (y * width + x) * 4);
    const draw = (x, y, level) => {
        if (level === 0) return set(x, y);
        const length = halfLength[level], horizontal = level % 2 === 0;
        for (let d = -length; d <= length; ++d) horizontal ? set(x + d, y) : set(x, y + d);
        draw(horizontal ? x - length : x, horizontal ? y : y - length, level - 1);
        draw(horizontal ? x + length : x, horizontal ? y : y + length, level - 1);
    };
    const seed = { x: (width - 1) / 2, y: (height - 1) / 2 };
    draw(seed.x, seed.y, levels);
    return { ...picture, seed };
}

module.exports = { uniform, branchingCorridors };
