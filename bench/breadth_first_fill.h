// breadth_first_fill.h - the loop of the bench's two reference fills, written once.
//
// BreadthFirstFill(access, x, y, stepTolerance, seedTolerance) grows the region the plug-in
// grows, in the plug-in's order: the seed's read and paint, then for each pending pixel, oldest
// first, its neighbours above, left, below and right, each a colour read, a drawn-flag read (if
// the colour was read), and for those that join a paint, a push and a flag. A refresh of the box
// painted since the last one follows the 201st expansion and every further 200th, and one ends
// the fill. The pending ring holds at most QueueCapacity - 1 pixels, as the plug-in's does.
//
// `Access` says what a read, a paint or a refresh is. The protocol floor makes them host calls;
// the direct-memory fill makes them array accesses. Everything here is inline, so each instance
// is as tight as if written out by hand. Its members:
//   bool Read(x, y, PackedColour*)   false outside the image
//   bool Drawn(x, y)                 the pixel's drawn flag
//   void Paint(x, y), void Flag(x, y), void Refresh(left, top, right, bottom)
//   void Begin()                     after the seed is painted (the wait cursor)
//   void End()                       after the last refresh (the cursor put back)
//   void Overflow()                  after End() when a push found the ring full
#ifndef BENCH_BREADTH_FIRST_FILL_H
#define BENCH_BREADTH_FIRST_FILL_H

#include <stdint.h>

#include "host_services.h"
#include "region_growing.h"

namespace bench {

struct PendingEntry {
    int32_t x, y;
    PackedColour colour; // as read before the pixel was painted
};

static inline bool ChannelsWithin(PackedColour a, PackedColour b, int32_t tolerance) {
    int32_t d0 = int32_t(a & 0xFF) - int32_t(b & 0xFF);
    int32_t d1 = int32_t((a >> 8) & 0xFF) - int32_t((b >> 8) & 0xFF);
    int32_t d2 = int32_t((a >> 16) & 0xFF) - int32_t((b >> 16) & 0xFF);
    return (d0 < 0 ? -d0 : d0) <= tolerance && (d1 < 0 ? -d1 : d1) <= tolerance &&
           (d2 < 0 ? -d2 : d2) <= tolerance;
}

template <typename Access>
inline void BreadthFirstFill(Access& access, int32_t x, int32_t y, int32_t stepTolerance,
                             int32_t seedTolerance) {
    static PendingEntry ring[QueueCapacity];
    PackedColour seed;
    if (!access.Read(x, y, &seed))
        return;
    access.Paint(x, y);
    access.Flag(x, y);
    int32_t head = 0, tail = 1;
    ring[0] = {x, y, seed};
    int32_t left = x, top = y, right = x, bottom = y;
    int32_t counter = 0;
    access.Begin();

    // Tests one candidate and takes it in if it joins; false when the ring had no room.
    auto visit = [&](int32_t nx, int32_t ny, PackedColour parentColour, bool parentNearSeed) {
        PackedColour colour;
        if (!access.Read(nx, ny, &colour) || access.Drawn(nx, ny) ||
            !ChannelsWithin(colour, parentColour, stepTolerance) || !parentNearSeed)
            return true;
        access.Paint(nx, ny);
        if (right < 0 && bottom < 0) {
            left = right = nx;
            top = bottom = ny;
        } else {
            left = nx < left ? nx : left;
            right = nx > right ? nx : right;
            top = ny < top ? ny : top;
            bottom = ny > bottom ? ny : bottom;
        }
        const int32_t next = tail + 1 == QueueCapacity ? 0 : tail + 1;
        if (next == head)
            return false;
        ring[tail] = {nx, ny, colour};
        tail = next;
        access.Flag(nx, ny);
        return true;
    };

    while (head != tail) {
        const PendingEntry parent = ring[head];
        head = head + 1 == QueueCapacity ? 0 : head + 1;
        const bool nearSeed = ChannelsWithin(seed, parent.colour, seedTolerance);
        if (!visit(parent.x, parent.y - 1, parent.colour, nearSeed) ||
            !visit(parent.x - 1, parent.y, parent.colour, nearSeed) ||
            !visit(parent.x, parent.y + 1, parent.colour, nearSeed) ||
            !visit(parent.x + 1, parent.y, parent.colour, nearSeed)) {
            access.Refresh(left, top, right, bottom);
            access.End();
            access.Overflow();
            return;
        }
        if (counter == RefreshInterval) {
            access.Refresh(left, top, right, bottom);
            left = top = right = bottom = -1;
            counter = 0;
        }
        ++counter;
    }
    access.Refresh(left, top, right, bottom);
    access.End();
}

} // namespace bench

#endif
