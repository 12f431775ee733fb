// reference_model.h - what a fill must do, worked out from the definition of the painted set
// rather than from the fill's code. The model comparison test and the fill fuzzer both hold the
// plug-in against it.
//
// The painted set of a normally ended fill is the smallest set that holds the seed and every
// pixel P that
//   - lies inside the image and was not flagged drawn (MaskDrawnBit) before the fill, and
//   - has a 4-neighbour Q in the set whose colour, as it was before the fill, lies within the
//     seed tolerance of the seed's colour and within the step tolerance of P's colour.
// "a within t of b" means that each of the three 8-bit channels differs by at most t; bits 24-31
// are ignored, and a negative t admits nothing. ModelPaintedSet finds that least set as a fixed
// point: a worklist of members whose neighbours are still to be examined, grown until nothing
// more is admitted. Its order (last in, first out) is deliberately not the fill's.
//
// A seed outside the image paints nothing (the fill cannot read its colour).
//
// Tolerances are texts in the host's parameter store; ModelTolerance reads one the plain way:
// blanks and \t \n \v \f \r skipped, one optional sign, decimal digits taken modulo 2^32 up to the
// first non-digit, the result as a signed 32-bit number. No digits (or no text) reads as 0.
//
// Refresh requests: a fill that paints N pixels expands N pixels. A request follows the 201st
// expansion and every further 200th, and one more ends the fill: ModelRefreshCount(N).
#ifndef TESTS_REFERENCE_MODEL_H
#define TESTS_REFERENCE_MODEL_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "host_services.h"

namespace plugin_checks {

struct ModelImage {
    int32_t width = 0, height = 0;
    std::vector<PackedColour> colours; // row-major, as before the fill
    std::vector<uint8_t> flags;        // the host's pixel flags before the fill, row-major
};

int32_t ModelTolerance(const char* text);

// 1 for each pixel of the painted set, 0 elsewhere, row-major.
std::vector<uint8_t> ModelPaintedSet(const ModelImage& image, int32_t seedX, int32_t seedY,
                                     int32_t stepTolerance, int32_t seedTolerance);

// Refresh requests made by a normally ended fill that painted `painted` pixels (at least 1).
size_t ModelRefreshCount(size_t painted);

// Expansions after which the progressive request number `ordinal` (1, 2, ...) is made.
size_t ModelProgressiveRefreshAfter(size_t ordinal);

} // namespace plugin_checks

#endif
