// explorer_exports.cpp - the tolerance explorer's face to the page, as explorer.wasm.
//
// A module of its own, apart from the plug-in's: paint.wasm keeps exactly its six entry points.
// The page lays out the module's memory itself (from explorer_heap_base() on: the picture's
// colours, the map, the scratch, the curve) and passes the addresses. Tolerance texts go
// through the plug-in's own parser, so a text means here what it means to the fill.
#include "../tolerance_explorer/tolerance_explorer.h"

#define EXPLORER_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" unsigned char __heap_base;

// The first address the page may use.
EXPLORER_EXPORT uint32_t explorer_heap_base(void) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&__heap_base));
}

EXPLORER_EXPORT int32_t explorer_parse_tolerance(const char* text) {
    return ParseToleranceText(text);
}

// 0 when the size is not one the explorer accepts.
EXPLORER_EXPORT uint32_t explorer_scratch_bytes(int32_t width, int32_t height) {
    return static_cast<uint32_t>(JoinToleranceScratchBytes(width, height));
}

// The map and the curve for a click at (seedX, seedY) with the seed tolerance typed as
// seedText; no pixel starts flagged drawn, as at every click of the page. Returns a
// JoinToleranceStatus.
EXPLORER_EXPORT int32_t explorer_compute(const uint32_t* colours, int32_t width, int32_t height,
                                         int32_t seedX, int32_t seedY, const char* seedText,
                                         void* scratch, uint32_t scratchBytes,
                                         uint16_t* joinTolerance, uint32_t* growthCurve) {
    const ExplorerPicture picture = {colours, nullptr, width, height};
    return ComputeJoinTolerances(&picture, seedX, seedY, ParseToleranceText(seedText), scratch,
                                 scratchBytes, joinTolerance, growthCurve);
}

EXPLORER_EXPORT uint32_t explorer_pixels_at_step(const uint32_t* curve, int32_t step) {
    return PixelsPaintedAtStep(curve, step);
}

// Ranges as four words each (first, last, firstPixels, lastPixels); returns how many.
EXPLORER_EXPORT int32_t explorer_stable_ranges(const uint32_t* curve, StableRange* ranges) {
    return FindStableRanges(curve, ranges);
}

// Writes (from, to, addedPixels) and returns 1, or returns 0 when no leak lies above step.
EXPLORER_EXPORT int32_t explorer_next_leak(const uint32_t* curve, int32_t step, Leak* leak) {
    return FindNextLeak(curve, step, leak) ? 1 : 0;
}

EXPLORER_EXPORT int32_t explorer_suggest(const uint32_t* curve) {
    return SuggestStepTolerance(curve);
}
