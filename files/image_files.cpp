// Pictures put together for the tool's results; reading is picture_input.cpp, writing
// output_files.cpp.
#include "image_files.h"

#include <algorithm>

namespace files {

picture_io::Picture SideBySide(const picture_io::Picture& left, const picture_io::Picture& right,
                               int32_t gap, uint32_t gapColour) {
    picture_io::Picture both;
    both.width = left.width + gap + right.width;
    both.height = left.height > right.height ? left.height : right.height;
    both.hasAlpha = left.hasAlpha || right.hasAlpha;
    both.colour = left.colour;
    both.pixels.assign(size_t(both.width) * size_t(both.height),
                       both.hasAlpha ? gapColour | picture_io::OpaqueAlpha : gapColour);
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

} // namespace files
