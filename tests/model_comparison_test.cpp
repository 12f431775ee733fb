// The plug-in against the reference model on thousands of seeded random cases: small images of
// few-colour blocks, gradients and noise, random pre-flagged pixels and host flag bits, random
// bits 24-31, tolerance texts from -5 to 300 in assorted spellings, random seeds.
#include "fill_comparison.h"
#include "test_support.h"

namespace {

// splitmix64: the same cases on every platform and standard library.
class CaseRandom {
  public:
    explicit CaseRandom(uint64_t seed) : state(seed) {}

    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    int32_t Between(int32_t low, int32_t high) {
        return low + int32_t(Next() % uint64_t(int64_t(high) - low + 1));
    }
    bool Chance(int percent) { return Between(0, 99) < percent; }
    template <typename T, size_t N> const T& Pick(const T (&choices)[N]) {
        return choices[Next() % N];
    }

  private:
    uint64_t state;
};

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

FillCase RandomCase(uint64_t caseNumber) {
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

class ModelComparisonTest : public PluginTest {
  protected:
    // Compares the cases; stops reporting after a few failures.
    void CompareAll(const std::vector<FillCase>& cases, const char* family) {
        ASSERT_NE(Plugin().drawIt, nullptr);
        int failures = 0;
        for (size_t i = 0; i < cases.size() && failures < 5; ++i) {
            std::string fault = CompareFillWithModel(host, Plugin().drawIt, cases[i]);
            if (!fault.empty()) {
                ++failures;
                ADD_FAILURE() << family << " case " << i << ": " << fault << "\n"
                              << DescribeFillCase(cases[i]);
            }
        }
    }
};

TEST_F(ModelComparisonTest, RandomCasesAgreeWithTheModel) {
    std::vector<FillCase> cases;
    for (uint64_t caseNumber = 0; caseNumber < 3000; ++caseNumber)
        cases.push_back(RandomCase(caseNumber));
    CompareAll(cases, "random");
}

// Regions whose sizes sit around multiples of the refresh interval, where an off-by-one in the
// refresh counter shows: uniform strips and rectangles, seeded anywhere, one pixel pre-flagged
// now and then to cut the region short.
TEST_F(ModelComparisonTest, RegionSizesAroundTheRefreshInterval) {
    CaseRandom random(2024);
    std::vector<FillCase> cases;
    const int32_t sizes[][2] = {{1, 1},   {199, 1}, {200, 1},  {201, 1}, {202, 1}, {1, 401},
                                {20, 10}, {67, 3},  {20, 20},  {40, 15}, {3, 201}, {201, 3},
                                {1, 600}, {601, 1}, {1, 1001}, {40, 40}};
    for (const auto& size : sizes)
        for (int variant = 0; variant < 4; ++variant) {
            FillCase fill;
            fill.image.width = size[0];
            fill.image.height = size[1];
            size_t count = size_t(size[0]) * size_t(size[1]);
            fill.image.colours.assign(count, 0x00808080u);
            fill.image.flags.assign(count, 0);
            if (variant == 3)
                fill.image.flags[size_t(random.Between(0, int32_t(count) - 1))] = MaskDrawnBit;
            fill.seedX = random.Between(0, size[0] - 1);
            fill.seedY = random.Between(0, size[1] - 1);
            fill.stepText = "0";
            fill.seedText = "0";
            fill.paintColour = 0x00FF00FFu;
            cases.push_back(fill);
        }
    CompareAll(cases, "refresh interval");
}

} // namespace
