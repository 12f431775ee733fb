// The join-tolerance pass (a bucket queue over 256 levels) and the readings of its growth curve.
#include "tolerance_explorer.h"

namespace tolerance_explorer {

// ---- The bucket queue, kept in the caller's scratch --------------------------------------------
//
// Each of the 256 buckets is a chain of fixed-size blocks of pixel indices. Word 0 of a block
// links to the next block of its chain; the other words hold entries. Blocks come from one pool,
// so a bucket may grow as large as the pool while the others are small. A push that finds the pool
// empty is dropped and the bucket is marked: the pixel's tentative value stays in the map, and the
// bucket's level is then completed by scanning the map for it.

static const uint32_t BlockWords = 256;
static const uint32_t NoBlock = 0xFFFFFFFFu;
static const uint32_t MinimumBlocks = 16;
// The map holds, while the pass runs: JoinNever (not reached), t | Tentative (reached, value t
// not yet final) or t (final). Only final values remain when the pass ends.
static const uint16_t Tentative = 0x100;
static const uint8_t DrawnBit = 0x40;

struct BucketQueue {
    uint32_t headBlock[StepCount];
    uint32_t headWord[StepCount];
    uint32_t tailBlock[StepCount];
    uint32_t tailWord[StepCount];
    uint32_t droppedPush[StepCount / 32]; // one bit per bucket
    uint32_t settled[StepCount];          // pixels whose value became final, per level
    uint32_t freeChain;                   // blocks given back, linked through word 0
    uint32_t blocksNeverUsed;             // blocks from this one on are still untouched
    uint32_t blockCount;
    // The blocks follow this header in the scratch. Only 32-bit words here, so that scratch
    // aligned for uint32_t will do.
    uint32_t* Blocks() { return reinterpret_cast<uint32_t*>(this + 1); }
};

static size_t PoolBlocks(uint32_t pixels) {
    // About 2 bytes a pixel: one 4-byte entry for every other pixel.
    size_t blocks = (static_cast<size_t>(pixels) / 2 + BlockWords - 1) / BlockWords;
    return blocks < MinimumBlocks ? MinimumBlocks : blocks;
}

static bool PixelCount(int32_t width, int32_t height, uint32_t* pixels) {
    if (width < 1 || height < 1)
        return false;
    uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (count > 0x7FFFFFFFu)
        return false;
    *pixels = static_cast<uint32_t>(count);
    return true;
}

size_t JoinToleranceScratchBytes(int32_t width, int32_t height) {
    uint32_t pixels;
    if (!PixelCount(width, height, &pixels))
        return 0;
    uint64_t bytes = sizeof(BucketQueue) +
                     static_cast<uint64_t>(PoolBlocks(pixels)) * BlockWords * sizeof(uint32_t);
    if (bytes > static_cast<uint64_t>(static_cast<size_t>(-1)))
        return 0; // larger than this machine's address space
    return static_cast<size_t>(bytes);
}

static void StartQueue(BucketQueue* queue, uint32_t blockCount) {
    for (int32_t b = 0; b < StepCount; ++b) {
        queue->headBlock[b] = queue->tailBlock[b] = NoBlock;
        queue->headWord[b] = queue->tailWord[b] = 0;
        queue->settled[b] = 0;
    }
    for (int32_t i = 0; i < StepCount / 32; ++i)
        queue->droppedPush[i] = 0;
    queue->freeChain = NoBlock;
    queue->blocksNeverUsed = 0;
    queue->blockCount = blockCount;
}

static uint32_t TakeBlock(BucketQueue* queue) {
    uint32_t block = queue->freeChain;
    if (block != NoBlock) {
        queue->freeChain = queue->Blocks()[block * BlockWords];
        return block;
    }
    if (queue->blocksNeverUsed == queue->blockCount)
        return NoBlock;
    return queue->blocksNeverUsed++;
}

static void GiveBackBlock(BucketQueue* queue, uint32_t block) {
    queue->Blocks()[block * BlockWords] = queue->freeChain;
    queue->freeChain = block;
}

static void Push(BucketQueue* queue, uint32_t bucket, uint32_t pixel) {
    uint32_t tail = queue->tailBlock[bucket];
    if (tail == NoBlock || queue->tailWord[bucket] == BlockWords) {
        uint32_t block = TakeBlock(queue);
        if (block == NoBlock) {
            queue->droppedPush[bucket / 32] |= 1u << (bucket % 32);
            return;
        }
        queue->Blocks()[block * BlockWords] = NoBlock;
        if (tail == NoBlock) {
            queue->headBlock[bucket] = block;
            queue->headWord[bucket] = 1;
        } else {
            queue->Blocks()[tail * BlockWords] = block;
        }
        queue->tailBlock[bucket] = tail = block;
        queue->tailWord[bucket] = 1;
    }
    queue->Blocks()[tail * BlockWords + queue->tailWord[bucket]++] = pixel;
}

static bool Pop(BucketQueue* queue, uint32_t bucket, uint32_t* pixel) {
    for (;;) {
        uint32_t head = queue->headBlock[bucket];
        if (head == NoBlock)
            return false;
        if (head == queue->tailBlock[bucket] &&
            queue->headWord[bucket] == queue->tailWord[bucket]) {
            GiveBackBlock(queue, head);
            queue->headBlock[bucket] = queue->tailBlock[bucket] = NoBlock;
            return false;
        }
        if (queue->headWord[bucket] == BlockWords) {
            queue->headBlock[bucket] = queue->Blocks()[head * BlockWords];
            queue->headWord[bucket] = 1;
            GiveBackBlock(queue, head);
            continue;
        }
        *pixel = queue->Blocks()[head * BlockWords + queue->headWord[bucket]++];
        return true;
    }
}

static bool TakeDroppedMark(BucketQueue* queue, uint32_t bucket) {
    uint32_t bit = 1u << (bucket % 32);
    bool dropped = (queue->droppedPush[bucket / 32] & bit) != 0;
    queue->droppedPush[bucket / 32] &= ~bit;
    return dropped;
}

// ---- The pass ----------------------------------------------------------------------------------

static int32_t Channel(uint32_t colour, int shift) {
    return static_cast<int32_t>((colour >> shift) & 0xFF);
}

static int32_t Distance(uint32_t a, uint32_t b) {
    int32_t largest = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
        int32_t difference = Channel(a, shift) - Channel(b, shift);
        if (difference < 0)
            difference = -difference;
        if (difference > largest)
            largest = difference;
    }
    return largest;
}

struct Pass {
    const ExplorerPicture* picture;
    uint32_t seedColour;
    int32_t seedTolerance;
    uint16_t* map;
    BucketQueue* queue;
};

// Offers the neighbour a join tolerance of max(level, step from the parent).
static inline void Relax(Pass* pass, uint32_t neighbour, uint32_t parentColour, uint32_t level) {
    if (pass->picture->drawn != nullptr && (pass->picture->drawn[neighbour] & DrawnBit) != 0)
        return;
    uint16_t current = pass->map[neighbour];
    if (current != JoinNever && (current & Tentative) == 0)
        return; // already final
    uint32_t offer =
        static_cast<uint32_t>(Distance(parentColour, pass->picture->colours[neighbour]));
    if (offer < level)
        offer = level;
    uint32_t held = current == JoinNever ? JoinNever : (current & 0xFFu);
    if (offer >= held)
        return;
    pass->map[neighbour] = static_cast<uint16_t>(offer | Tentative);
    Push(pass->queue, offer, neighbour);
}

static inline bool Growable(const Pass* pass, uint32_t colour) {
    return Distance(colour, pass->seedColour) <= pass->seedTolerance;
}

static inline void SettleAt(Pass* pass, uint32_t pixel, uint32_t level) {
    pass->map[pixel] = static_cast<uint16_t>(level);
    ++pass->queue->settled[level];
}

// Offers the pixels above and below.
static inline void RelaxVertical(Pass* pass, uint32_t pixel, uint32_t y, uint32_t colour,
                                 uint32_t level) {
    const uint32_t width = static_cast<uint32_t>(pass->picture->width);
    if (y > 0)
        Relax(pass, pixel - width, colour, level);
    if (y + 1 < static_cast<uint32_t>(pass->picture->height))
        Relax(pass, pixel + width, colour, level);
}

// The next pixel along a row from a growable parent: when it joins at this same level its value
// is final at once (nothing lower is left), so it is settled here and true returned; otherwise it
// is offered its value as any neighbour is, and false returned.
static inline bool ExtendRun(Pass* pass, uint32_t next, uint32_t parentColour, uint32_t level) {
    if (pass->picture->drawn != nullptr && (pass->picture->drawn[next] & DrawnBit) != 0)
        return false;
    uint16_t current = pass->map[next];
    if (current != JoinNever && (current & Tentative) == 0)
        return false;
    if (static_cast<uint32_t>(Distance(parentColour, pass->picture->colours[next])) > level) {
        Relax(pass, next, parentColour, level);
        return false;
    }
    SettleAt(pass, next, level);
    return true;
}

// Makes the pixel's value final at this level and, when it is growable, offers its neighbours.
// The pixels of its row that join at the same level are settled in the same sweep, left and
// right, as a scanline fill would: the pass then walks memory row by row instead of jumping
// between the rows of a wide queue, which more than halves its time on large regions. Their
// entries still in the queue are skipped when they come up.
static void Settle(Pass* pass, uint32_t pixel, uint32_t level) {
    if (pass->map[pixel] != (level | Tentative))
        return; // a stale entry: settled already, or lowered since it was queued
    SettleAt(pass, pixel, level);
    const uint32_t* colours = pass->picture->colours;
    const uint32_t colour = colours[pixel];
    if (!Growable(pass, colour))
        return;
    const uint32_t width = static_cast<uint32_t>(pass->picture->width);
    const uint32_t y = pixel / width;
    const uint32_t x = pixel - y * width;
    RelaxVertical(pass, pixel, y, colour, level);

    uint32_t parent = pixel, parentColour = colour;
    for (uint32_t column = x; column + 1 < width; ++column) {
        if (!ExtendRun(pass, parent + 1, parentColour, level))
            break;
        ++parent;
        parentColour = colours[parent];
        if (!Growable(pass, parentColour))
            break;
        RelaxVertical(pass, parent, y, parentColour, level);
    }
    parent = pixel;
    parentColour = colour;
    for (uint32_t column = x; column > 0; --column) {
        if (!ExtendRun(pass, parent - 1, parentColour, level))
            break;
        --parent;
        parentColour = colours[parent];
        if (!Growable(pass, parentColour))
            break;
        RelaxVertical(pass, parent, y, parentColour, level);
    }
}

JoinToleranceStatus ComputeJoinTolerances(const ExplorerPicture* picture, int32_t seedX,
                                          int32_t seedY, int32_t seedTolerance, void* scratch,
                                          size_t scratchBytes, uint16_t* joinTolerance,
                                          uint32_t* growthCurve) {
    uint32_t pixels;
    if (picture == nullptr || picture->colours == nullptr || joinTolerance == nullptr ||
        !PixelCount(picture->width, picture->height, &pixels))
        return JoinToleranceBadPicture;
    if (seedX < 0 || seedY < 0 || seedX >= picture->width || seedY >= picture->height)
        return JoinToleranceSeedOutside;
    size_t needed = JoinToleranceScratchBytes(picture->width, picture->height);
    if (scratch == nullptr || scratchBytes < needed)
        return JoinToleranceScratchSmall;

    BucketQueue* queue = static_cast<BucketQueue*>(scratch);
    StartQueue(queue, static_cast<uint32_t>((needed - sizeof(BucketQueue)) /
                                            (BlockWords * sizeof(uint32_t))));
    for (uint32_t i = 0; i < pixels; ++i)
        joinTolerance[i] = JoinNever;
    uint32_t seed = static_cast<uint32_t>(seedY) * static_cast<uint32_t>(picture->width) +
                    static_cast<uint32_t>(seedX);
    Pass pass = {picture, picture->colours[seed], seedTolerance, joinTolerance, queue};

    // The seed is painted whatever its flags say. With a negative seed tolerance nothing is
    // growable, the seed included, so the map ends with the seed alone.
    joinTolerance[seed] = Tentative;
    Push(queue, 0, seed);
    for (uint32_t level = 0; level < static_cast<uint32_t>(StepCount); ++level) {
        for (;;) {
            uint32_t pixel;
            while (Pop(queue, level, &pixel))
                Settle(&pass, pixel, level);
            if (!TakeDroppedMark(queue, level))
                break;
            // Some pixels of this level were not queued: find them in the map. Settling them
            // may queue (or drop) more of the same level, hence the loop.
            for (uint32_t i = 0; i < pixels; ++i)
                Settle(&pass, i, level);
        }
    }

    if (growthCurve != nullptr) {
        uint32_t total = 0;
        for (int32_t t = 0; t < StepCount; ++t)
            growthCurve[t] = total += queue->settled[t];
    }
    return JoinToleranceDone;
}

// ---- Reading the growth curve ------------------------------------------------------------------

uint32_t PixelsPaintedAtStep(const uint32_t* curve, int32_t step) {
    if (step < 0)
        return 1;
    return curve[step < StepCount ? step : StepCount - 1];
}

// True when b paints more than a quarter more than a: the test of plateaus and leaks.
static bool GrewByMoreThanAQuarter(uint32_t a, uint32_t b) {
    return 4 * static_cast<uint64_t>(b) > 5 * static_cast<uint64_t>(a);
}

int32_t FindStableRanges(const uint32_t* curve, StableRange* ranges) {
    int32_t count = 0;
    int32_t first = 0;
    while (first < StepCount) {
        int32_t last = first;
        while (last + 1 < StepCount && !GrewByMoreThanAQuarter(curve[first], curve[last + 1]))
            ++last;
        if (last > first) {
            StableRange range = {first, last, curve[first], curve[last]};
            // Insertion by width, widest first; equal widths keep the order of their steps.
            int32_t at = count++;
            while (at > 0 && ranges[at - 1].last - ranges[at - 1].first < last - first) {
                ranges[at] = ranges[at - 1];
                --at;
            }
            ranges[at] = range;
        }
        first = last + 1;
    }
    return count;
}

bool FindNextLeak(const uint32_t* curve, int32_t step, Leak* leak) {
    if (step > StepCount - 1)
        step = StepCount - 1;
    if (step < -1)
        step = -1;
    uint32_t from = PixelsPaintedAtStep(curve, step);
    for (int32_t to = step + 1; to < StepCount; ++to) {
        if (GrewByMoreThanAQuarter(from, curve[to])) {
            leak->from = step;
            leak->to = to;
            leak->addedPixels = curve[to] - from;
            return true;
        }
    }
    return false;
}

int32_t SuggestStepTolerance(const uint32_t* curve) {
    StableRange ranges[MaxStableRanges];
    int32_t count = FindStableRanges(curve, ranges);
    int32_t fallback = -1;
    for (int32_t i = 0; i < count; ++i) {
        if (ranges[i].firstPixels <= 1)
            continue;
        int32_t middle = (ranges[i].first + ranges[i].last) / 2;
        if (ranges[i].lastPixels < curve[StepCount - 1])
            return middle;
        if (fallback < 0)
            fallback = middle;
    }
    return fallback;
}

} // namespace tolerance_explorer
