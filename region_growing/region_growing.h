// region_growing.h - the region-growing fill behind the tool.
//
// RegionGrowingFill(view, x, y) grows a 4-connected region breadth-first from the seed (x, y)
// and paints every pixel that joins, through the host's services only.
//
// Tolerances. StepTolerance (parameter group 2, index 0) and SeedTolerance (group 2, index 1)
// are read afresh at every fill. A neighbour joins when each of its three channels lies within
// StepTolerance of the channel of the pixel it is reached from (the parent), and when each of
// the parent's channels lies within SeedTolerance of the seed's. The second test looks at the
// parent, not at the neighbour, so a one-pixel fringe beyond the seed tolerance is painted too;
// nothing grows from that fringe. A negative tolerance lets nothing join but the seed.
//
// What the host sees, in order:
//   1. two parameter reads, _VXsGetCDIBinfo and _VXsStartOnImage, the seed's colour read;
//   2. the seed painted (_VXsStartPset, _VXsPSet, _VXsSetDrawFlag), the wait cursor installed;
//   3. for each queued pixel, oldest first, its neighbours above, left, below and right: a
//      colour read, then (if read) a mask read, then for each that joins _VXsStartPset,
//      _VXsPSet and _VXsSetDrawFlag. A failed colour read (outside the image) or a set
//      MaskDrawnBit rejects at once;
//   4. after the 201st expanded pixel and every further 200, _VXsUpdateImageWindow for the
//      bounding box of what was painted since the previous request, (-1, -1, -1, -1) if none;
//   5. at the end one last such request, and the previous cursor put back.
//
// Failures. A null view or a view without an image, and a fill asked for while another is
// running, return at once without a call. A seed outside the image (its colour read fails)
// ends the fill right after that read, with nothing painted. When the pending queue is full
// (QueueCapacity - 1 entries), the pixel that did not fit stays painted but unflagged; the fill
// requests a last refresh that includes it, puts the cursor back, shows the modal "Buffer over"
// message box owned by the view's window, and returns.
//
// The fill allocates nothing: its state is static, so one fill runs at a time per process.
#ifndef REGION_GROWING_REGION_GROWING_H
#define REGION_GROWING_REGION_GROWING_H

#include <stdint.h>

#include "../host_api/host_services.h"

enum {
    QueueCapacity = 30000, // ring slots; holds at most QueueCapacity - 1 pending pixels
    RefreshInterval = 200  // expanded pixels between progressive refresh requests
};

void RegionGrowingFill(ImageView* view, int32_t x, int32_t y);

#endif
