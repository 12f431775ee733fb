// tolerance_explorer.h - every step tolerance's fill from one pass over the picture.
//
// For one click (the picture as the host shows it, its drawn flags, the seed and the seed
// tolerance S), the fill paints, for a step tolerance T from 0 to 255, exactly the pixels whose
// join tolerance is at most T, provided its queue does not overflow ("Buffer over"):
//
//   - a pixel is *growable* when each of its channels lies within S of the seed's; only
//     growable pixels ever have neighbours accepted from them (the fill's seed test looks at
//     the parent), and the seed itself is growable when S >= 0;
//   - d(Q, P) is the largest channel difference between two 4-neighbours (bits 24-31 ignored);
//   - JoinTolerance(seed) = 0, and for every other pixel P that was not flagged drawn at the
//     start, JoinTolerance(P) = min over growable neighbours Q of max(JoinTolerance(Q), d(Q, P)),
//     or JoinNever when no path of growable pixels leads to it.
//
// A negative S makes nothing growable: the map holds the seed alone. A negative T paints the
// seed alone whatever the map says; a T above 255 paints what 255 paints.
//
// The map is computed by one pass with 256 buckets (a bucket queue, "Dial's algorithm"), in time
// linear in the pixels reached (plus a scan of the map whenever the scratch runs out, below).
// Everything here is plain functions without exceptions, iostreams or allocation: the caller
// passes the map, the growth curve and a scratch area of JoinToleranceScratchBytes(width, height)
// bytes. The scratch is about 2 bytes a pixel, so the map and the scratch together take about 4
// bytes a pixel beyond the picture and the mask (plus at most 21 KB). Should the scratch's bucket
// blocks run out on a pathological picture, the pass finds the entries it could not keep by
// scanning the map, so the answer is always exact.
//
// Tolerance texts: the fill reads both tolerances with the plug-in's own parser; pass
// ParseToleranceText(text) (region_growing/tolerance_text.h) for a text, never atoi.
//
// Growth curve and its reading, all on curve[T] = pixels painted at step T (0..255):
//   - a *plateau* starts at step a and runs to the last step b at which the curve has grown by
//     at most a quarter, 4 * curve[b] <= 5 * curve[a]; plateaus cover 0..255 from the left, the
//     next one starting at b + 1;
//   - a *stable range* is a plateau of two steps or more. Ranges are listed widest first (ties:
//     the lower steps first);
//   - the *next leak* above a step T is the first step T' > T that paints more than a quarter
//     more than T does (4 * curve[T'] > 5 * curve[T]);
//   - the *suggested step tolerance* is the middle ((a + b) / 2, rounded down) of the widest
//     stable range that paints more than the seed alone (curve[a] > 1) and, at its last step,
//     less than step 255 does (a range that ends in all a fill can reach is the flood, not a
//     region); when every such range ends there, the widest that paints more than the seed
//     alone; none when every step paints the seed alone.
#ifndef TOLERANCE_EXPLORER_TOLERANCE_EXPLORER_H
#define TOLERANCE_EXPLORER_TOLERANCE_EXPLORER_H

#include <stddef.h>
#include <stdint.h>

#include "tolerance_text.h"

namespace tolerance_explorer {

// The map's value for a pixel that no step tolerance paints.
const uint16_t JoinNever = 65535;
// Steps 0..255: a step tolerance above 255 behaves as 255.
const int32_t StepCount = 256;
// At most this many stable ranges exist (each covers two steps or more).
const int32_t MaxStableRanges = StepCount / 2;

struct ExplorerPicture {
    const uint32_t* colours; // width * height words, row by row from the top, 0x??RRGGBB
    const uint8_t* drawn;    // width * height bytes, bit 0x40 = drawn at the start; may be null
    int32_t width;
    int32_t height;
};

enum JoinToleranceStatus {
    JoinToleranceDone = 0,
    JoinToleranceBadPicture,   // no colours, a size below 1, or more than 2^31 - 1 pixels
    JoinToleranceSeedOutside,  // the fill would not paint at all: the seed cannot be read
    JoinToleranceScratchSmall, // fewer scratch bytes than JoinToleranceScratchBytes asks for
};

// Scratch bytes that ComputeJoinTolerances needs for a picture of width x height (0 when the
// size is not one it accepts).
size_t JoinToleranceScratchBytes(int32_t width, int32_t height);

// Fills joinTolerance (width * height values, row by row) for the click at (seedX, seedY) with
// seed tolerance seedTolerance, and, when growthCurve is not null, growthCurve[T] with the pixels
// painted at step T = 0..255. scratch must be aligned for uint32_t. On any status but Done, the
// outputs are left untouched.
JoinToleranceStatus ComputeJoinTolerances(const ExplorerPicture* picture, int32_t seedX,
                                          int32_t seedY, int32_t seedTolerance, void* scratch,
                                          size_t scratchBytes, uint16_t* joinTolerance,
                                          uint32_t* growthCurve);

// Pixels the fill paints at a step tolerance: 1 (the seed) when step < 0, curve[255] above 255.
uint32_t PixelsPaintedAtStep(const uint32_t* curve, int32_t step);

struct StableRange {
    int32_t first; // steps first..last, inclusive
    int32_t last;
    uint32_t firstPixels; // curve[first] and curve[last]
    uint32_t lastPixels;
};

// Writes the stable ranges, widest first, into ranges (room for MaxStableRanges); returns how
// many.
int32_t FindStableRanges(const uint32_t* curve, StableRange* ranges);

struct Leak {
    int32_t from; // the given step
    int32_t to;   // the first step that paints more than a quarter more
    uint32_t addedPixels;
};

// The next leak above step (clamped to -1..255; below 0 it compares with the seed alone).
// Returns false when no step above it paints a quarter more.
bool FindNextLeak(const uint32_t* curve, int32_t step, Leak* leak);

// The suggested step tolerance, or -1 when none (every step paints the seed alone).
int32_t SuggestStepTolerance(const uint32_t* curve);

} // namespace tolerance_explorer

#endif
