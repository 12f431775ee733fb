#include "random_fill_cases.h"

namespace plugin_checks {

namespace {

int Clamp(int channel) {
    return channel < 0 ? 0 : channel > 255 ? 255 : channel;
}

PackedColour Compose(const int channels[3]) {
    return PackedColour(Clamp(channels[2])) << 16 | PackedColour(Clamp(channels[1])) << 8 |
           PackedColour(Clamp(channels[0]));
}

// Blocks of a few nearby colours: flat regions whose borders the tolerances may or may not cross.
void PaintBlocks(CaseRandom& random, ModelImage* image) {
    PackedColour palette[4];
    int paletteSize = random.Between(1, 4);
    int base[3] = {random.Between(0, 255), random.Between(0, 255), random.Between(0, 255)};
    for (int i = 0; i < paletteSize; ++i) {
        int channels[3];
        for (int c = 0; c < 3; ++c)
            channels[c] = base[c] + random.Between(-20, 20);
        palette[i] = Compose(channels);
    }
    int blockWidth = random.Between(1, 8), blockHeight = random.Between(1, 8);
    int blocksAcross = (image->width + blockWidth - 1) / blockWidth;
    int blocksDown = (image->height + blockHeight - 1) / blockHeight;
    std::vector<int> blockColour(size_t(blocksAcross * blocksDown));
    for (int& index : blockColour)
        index = random.Between(0, paletteSize - 1);
    for (int32_t y = 0; y < image->height; ++y)
        for (int32_t x = 0; x < image->width; ++x)
            image->colours[size_t(y * image->width + x)] =
                palette[blockColour[size_t(y / blockHeight * blocksAcross + x / blockWidth)]];
}

// A linear ramp per channel with a little noise: steps within the step tolerance that drift out
// of the seed tolerance.
void PaintGradient(CaseRandom& random, ModelImage* image) {
    int base[3], slopeX[3], slopeY[3];
    for (int c = 0; c < 3; ++c) {
        base[c] = random.Between(0, 255);
        slopeX[c] = random.Between(-6, 6);
        slopeY[c] = random.Between(-6, 6);
    }
    int noise = random.Between(0, 3);
    for (int32_t y = 0; y < image->height; ++y)
        for (int32_t x = 0; x < image->width; ++x) {
            int channels[3];
            for (int c = 0; c < 3; ++c)
                channels[c] =
                    base[c] + slopeX[c] * x + slopeY[c] * y + random.Between(-noise, noise);
            image->colours[size_t(y * image->width + x)] = Compose(channels);
        }
}

void PaintNoise(CaseRandom& random, ModelImage* image) {
    int centre[3] = {random.Between(0, 255), random.Between(0, 255), random.Between(0, 255)};
    int amplitude = random.Between(1, 128);
    for (PackedColour& colour : image->colours) {
        int channels[3];
        for (int c = 0; c < 3; ++c)
            channels[c] = centre[c] + random.Between(-amplitude, amplitude);
        colour = Compose(channels);
    }
}

ModelImage RandomImage(CaseRandom& random) {
    ModelImage image;
    image.width = random.Chance(20) ? random.Between(1, 4) : random.Between(1, 64);
    image.height = random.Chance(20) ? random.Between(1, 4) : random.Between(1, 64);
    size_t count = size_t(image.width) * size_t(image.height);
    image.colours.assign(count, 0);
    image.flags.assign(count, 0);
    switch (random.Between(0, 2)) {
    case 0:
        PaintBlocks(random, &image);
        break;
    case 1:
        PaintGradient(random, &image);
        break;
    default:
        PaintNoise(random, &image);
        break;
    }

    // Bits 24-31: none, random per pixel, or all set.
    int highBits = random.Between(0, 2);
    for (PackedColour& colour : image.colours)
        colour |= highBits == 0 ? 0u : highBits == 1 ? uint32_t(random.Next()) << 24 : 0xFF000000u;

    // Pre-flagged pixels, and the host's other flag bits, which the fill must ignore.
    const int flaggedPercents[] = {0, 0, 3, 15, 40};
    int flaggedPercent = random.Pick(flaggedPercents);
    bool otherBits = random.Chance(30);
    for (uint8_t& flags : image.flags) {
        if (random.Chance(flaggedPercent))
            flags |= MaskDrawnBit;
        if (otherBits)
            flags |= uint8_t(random.Next()) & uint8_t(~MaskDrawnBit);
    }
    return image;
}

// A tolerance from -5 to 300 (often a small one), spelled as a host might store it.
std::string RandomToleranceText(CaseRandom& random) {
    if (random.Chance(5)) {
        const char* noDigits[] = {"", "x", "-", "+ 5", " - 3", "\n", "five"};
        return random.Pick(noDigits);
    }
    int32_t value = random.Chance(50) ? random.Between(-5, 300) : random.Between(0, 24);
    const char* prefixes[] = {"", "", " ", "\t", "  \n", "\r\v\f "};
    const char* suffixes[] = {"", "", "", "px", " 7", ".9", "abc"};
    std::string text = random.Pick(prefixes);
    text += value < 0 ? "-" : random.Chance(20) ? "+" : "";
    text += random.Chance(15) ? "00" : "";
    text += std::to_string(value < 0 ? -value : value);
    return text + random.Pick(suffixes);
}

} // namespace

FillCase RandomFillCase(uint64_t caseNumber) {
    CaseRandom random(caseNumber * 0x5851F42D4C957F2Du + 17);
    FillCase fill;
    fill.image = RandomImage(random);
    fill.seedX = random.Between(0, fill.image.width - 1);
    fill.seedY = random.Between(0, fill.image.height - 1);
    if (random.Chance(2)) // just outside the image
        (random.Chance(50) ? fill.seedX : fill.seedY) = random.Chance(50) ? -1 : 64;
    fill.stepText = RandomToleranceText(random);
    fill.seedText = RandomToleranceText(random);
    fill.paintColour = uint32_t(random.Next());
    return fill;
}

} // namespace plugin_checks
