// Pictures put together for the tool's results; reading is picture_input.cpp, writing
// output_files.cpp.
#include "image_files.h"

#include <algorithm>

RgbImage SideBySide(const RgbImage& left, const RgbImage& right, int32_t gap, uint32_t gapColour) {
    RgbImage both;
    both.width = left.width + gap + right.width;
    both.height = left.height > right.height ? left.height : right.height;
    both.hasAlpha = left.hasAlpha || right.hasAlpha;
    both.pixels.assign(size_t(both.width) * size_t(both.height),
                       both.hasAlpha ? gapColour | OpaqueAlpha : gapColour);
    for (int32_t y = 0; y < both.height; ++y) {
        uint32_t* row = &both.pixels[size_t(y) * size_t(both.width)];
        if (y < left.height)
            std::copy_n(&left.pixels[size_t(y) * size_t(left.width)], left.width, row);
        if (y < right.height)
            std::copy_n(&right.pixels[size_t(y) * size_t(right.width)], right.width,
                        row + left.width + gap);
    }
    return both;
}
