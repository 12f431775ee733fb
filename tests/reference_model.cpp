#include "reference_model.h"

#include <string.h>

namespace plugin_checks {

int32_t ModelTolerance(const char* text) {
    if (text == nullptr)
        return 0;
    const char* blanks = " \t\n\v\f\r";
    size_t i = 0;
    while (text[i] != '\0' && strchr(blanks, text[i]) != nullptr)
        ++i;
    bool negative = text[i] == '-';
    if (text[i] == '+' || text[i] == '-')
        ++i;
    const uint64_t modulus = uint64_t(1) << 32;
    uint64_t value = 0; // kept in 0 .. 2^32 - 1
    for (; text[i] >= '0' && text[i] <= '9'; ++i)
        value = (value * 10 + uint64_t(text[i] - '0')) % modulus;
    if (negative)
        value = (modulus - value) % modulus;
    return value >= modulus / 2 ? int32_t(int64_t(value) - int64_t(modulus)) : int32_t(value);
}

static int Channel(PackedColour colour, int index) {
    return int((colour >> (8 * index)) & 0xFF);
}

static bool Within(PackedColour a, PackedColour b, int32_t tolerance) {
    for (int index = 0; index < 3; ++index) {
        int difference = Channel(a, index) - Channel(b, index);
        if (difference < 0)
            difference = -difference;
        if (int64_t(difference) > int64_t(tolerance))
            return false;
    }
    return true;
}

std::vector<uint8_t> ModelPaintedSet(const ModelImage& image, int32_t seedX, int32_t seedY,
                                     int32_t stepTolerance, int32_t seedTolerance) {
    const int64_t width = image.width, height = image.height;
    std::vector<uint8_t> inSet(size_t(width * height), 0);
    if (seedX < 0 || seedY < 0 || seedX >= width || seedY >= height)
        return inSet;

    const PackedColour seedColour = image.colours[size_t(seedY * width + seedX)];
    std::vector<int64_t> unexamined = {seedY * width + seedX};
    inSet[size_t(unexamined.back())] = 1;
    while (!unexamined.empty()) {
        const int64_t q = unexamined.back();
        unexamined.pop_back();
        const PackedColour qColour = image.colours[size_t(q)];
        if (!Within(qColour, seedColour, seedTolerance))
            continue; // Q admits no neighbour
        const int64_t qx = q % width, qy = q / width;
        const int64_t neighbours[4][2] = {{qx + 1, qy}, {qx - 1, qy}, {qx, qy + 1}, {qx, qy - 1}};
        for (const auto& n : neighbours) {
            if (n[0] < 0 || n[1] < 0 || n[0] >= width || n[1] >= height)
                continue;
            const int64_t p = n[1] * width + n[0];
            if (inSet[size_t(p)] || (image.flags[size_t(p)] & MaskDrawnBit))
                continue;
            if (!Within(qColour, image.colours[size_t(p)], stepTolerance))
                continue;
            inSet[size_t(p)] = 1;
            unexamined.push_back(p);
        }
    }
    return inSet;
}

size_t ModelRefreshCount(size_t painted) {
    size_t progressive = 0;
    while (ModelProgressiveRefreshAfter(progressive + 1) <= painted)
        ++progressive;
    return progressive + 1;
}

size_t ModelProgressiveRefreshAfter(size_t ordinal) {
    return 200 * ordinal + 1;
}

} // namespace plugin_checks
