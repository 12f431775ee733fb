// direct_fill.h - the direct-memory fill: BreadthFirstFill in the plug-in's visit order, with
// every host call replaced by an inline access to the image's arrays. No protocol could be
// cheaper; the floor's time over this one is what the protocol itself costs.
#ifndef BENCH_DIRECT_FILL_H
#define BENCH_DIRECT_FILL_H

#include <stdint.h>

#include "host_services.h"

namespace bench {

struct DirectFillResult {
    uint64_t painted = 0;
    uint64_t refreshes = 0;
};

// Fills `pixels` and `mask` (row-major, width x height) in place, painting with `paintColour`.
DirectFillResult DirectFill(int32_t width, int32_t height, PackedColour* pixels, uint8_t* mask,
                            PackedColour paintColour, int32_t x, int32_t y, int32_t stepTolerance,
                            int32_t seedTolerance);

} // namespace bench

#endif
