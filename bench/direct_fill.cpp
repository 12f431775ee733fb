#include "direct_fill.h"

#include "breadth_first_fill.h"

namespace bench {

namespace {

struct ArrayAccess {
    int32_t width, height;
    PackedColour* pixels;
    uint8_t* mask;
    PackedColour paintColour;
    DirectFillResult result;

    size_t IndexOf(int32_t x, int32_t y) const { return size_t(y) * size_t(width) + size_t(x); }
    bool Read(int32_t x, int32_t y, PackedColour* colour) {
        if (uint32_t(x) >= uint32_t(width) || uint32_t(y) >= uint32_t(height))
            return false;
        *colour = pixels[IndexOf(x, y)];
        return true;
    }
    // Only asked after a successful read, so (x, y) lies inside.
    bool Drawn(int32_t x, int32_t y) { return (mask[IndexOf(x, y)] & MaskDrawnBit) != 0; }
    void Paint(int32_t x, int32_t y) {
        pixels[IndexOf(x, y)] = paintColour;
        ++result.painted;
    }
    void Flag(int32_t x, int32_t y) { mask[IndexOf(x, y)] |= MaskDrawnBit; }
    void Refresh(int32_t, int32_t, int32_t, int32_t) { ++result.refreshes; }
    void Begin() {}
    void End() {}
    void Overflow() {}
};

} // namespace

DirectFillResult DirectFill(int32_t width, int32_t height, PackedColour* pixels, uint8_t* mask,
                            PackedColour paintColour, int32_t x, int32_t y, int32_t stepTolerance,
                            int32_t seedTolerance) {
    ArrayAccess access = {width, height, pixels, mask, paintColour, {}};
    BreadthFirstFill(access, x, y, stepTolerance, seedTolerance);
    return access.result;
}

} // namespace bench
