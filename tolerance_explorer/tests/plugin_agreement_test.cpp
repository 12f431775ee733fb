// The explorer's map against the real plug-in: for each click, every step tolerance from -1 to
// 256 is applied through the simulated host, and the painted set must be exactly the pixels whose
// join tolerance is at most the step (the seed alone below 0). Pictures with structure: a
// gradient, noise with stray bits 24-31, blocks under a drawn mask, and crops of the photograph;
// seeds in corners, on edges and inside; seed tolerances 0, 255, negative and in between.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image_files.h"
#include "plugin_loader.h"
#include "simulated_host.h"
#include "test_support.h" // Plugin()
#include "tolerance_explorer.h"

namespace {

struct Picture {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> colours;
    std::vector<uint8_t> mask; // as the host reports it before the click
};

struct Click {
    int32_t x, y;
};

uint32_t Mix(uint32_t value) {
    value ^= value >> 16;
    value *= 0x7FEB352Du;
    value ^= value >> 15;
    value *= 0x846CA68Bu;
    return value ^ (value >> 16);
}

uint32_t Rgb(int red, int green, int blue) {
    auto clamp = [](int c) { return uint32_t(c < 0 ? 0 : c > 255 ? 255 : c); };
    return clamp(red) << 16 | clamp(green) << 8 | clamp(blue);
}

Picture Blank(int32_t width, int32_t height) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.colours.assign(size_t(width) * size_t(height), 0);
    picture.mask.assign(picture.colours.size(), 0);
    return picture;
}

// Channels drifting at different rates, with a little noise: every step tolerance paints a
// different, growing part.
Picture Gradient() {
    Picture picture = Blank(40, 30);
    for (int32_t y = 0; y < picture.height; ++y)
        for (int32_t x = 0; x < picture.width; ++x) {
            int noise = int(Mix(uint32_t(y * 40 + x)) % 5) - 2;
            picture.colours[size_t(y * 40 + x)] = Rgb(3 * x + noise, 7 * y, 200 - 2 * x - 3 * y);
        }
    return picture;
}

// Independent noise in each channel, and random bits 24-31 that no comparison may see.
Picture Noise() {
    Picture picture = Blank(36, 28);
    for (size_t i = 0; i < picture.colours.size(); ++i)
        picture.colours[i] = Mix(uint32_t(i) + 991u);
    return picture;
}

// Blocks of nearby colours with a ring of pixels flagged drawn (and host flag bits that are not
// the drawn bit scattered everywhere).
Picture BlocksUnderMask() {
    Picture picture = Blank(32, 32);
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 32; ++x) {
            uint32_t block = Mix(uint32_t((y / 5) * 7 + x / 6));
            size_t i = size_t(y * 32 + x);
            picture.colours[i] = Rgb(90 + int(block % 40), 120 + int(block / 40 % 30), 60);
            picture.mask[i] = uint8_t(Mix(uint32_t(i) + 5u) & 0x3F);
            int ring = (x - 16) * (x - 16) + (y - 16) * (y - 16);
            if (ring >= 64 && ring <= 100 && x != 16)
                picture.mask[i] |= 0x40;
        }
    return picture;
}

Picture PhotographCrop(int32_t left, int32_t top, int32_t width, int32_t height) {
    picture_io::Picture photo;
    std::string error;
    EXPECT_TRUE(files::ReadPicture(DEMO_PICTURE, &photo, &error)) << error;
    Picture picture = Blank(width, height);
    for (int32_t y = 0; y < height && !photo.pixels.empty(); ++y)
        for (int32_t x = 0; x < width; ++x)
            picture.colours[size_t(y * width + x)] =
                photo.pixels[size_t((top + y) * photo.width + left + x)];
    return picture;
}

std::vector<uint16_t> JoinMap(const Picture& picture, Click click, int32_t seedTolerance,
                              uint32_t* curve) {
    tolerance_explorer::ExplorerPicture view = {picture.colours.data(), picture.mask.data(),
                                                picture.width, picture.height};
    std::vector<uint32_t> scratch(
        tolerance_explorer::JoinToleranceScratchBytes(picture.width, picture.height) / 4 + 2);
    std::vector<uint16_t> map(picture.colours.size());
    EXPECT_EQ(tolerance_explorer::ComputeJoinTolerances(&view, click.x, click.y, seedTolerance,
                                                        scratch.data(), scratch.size() * 4,
                                                        map.data(), curve),
              tolerance_explorer::JoinToleranceDone);
    return map;
}

// The growth curve a map gives: curve[T] = its values at most T, for T = 0..255.
void GrowthCurveOfMap(const std::vector<uint16_t>& map, uint32_t* curve) {
    for (int32_t t = 0; t < tolerance_explorer::StepCount; ++t)
        curve[t] = 0;
    for (uint16_t value : map)
        if (value < tolerance_explorer::StepCount)
            ++curve[value];
    for (int32_t t = 1; t < tolerance_explorer::StepCount; ++t)
        curve[t] += curve[t - 1];
}

// Applies every step tolerance from -1 to 256 through the plug-in and compares. Returns the
// number of steps skipped because the real fill stopped on "Buffer over".
int CompareEveryStep(const Picture& picture, Click click, const std::string& seedText) {
    uint32_t curve[tolerance_explorer::StepCount];
    std::vector<uint16_t> map =
        JoinMap(picture, click, ParseToleranceText(seedText.c_str()), curve);
    uint32_t fromMap[tolerance_explorer::StepCount];
    GrowthCurveOfMap(map, fromMap);
    for (int32_t t = 0; t < tolerance_explorer::StepCount; ++t)
        EXPECT_EQ(curve[t], fromMap[t]) << "curve at step " << t;

    size_t seed = size_t(click.y) * size_t(picture.width) + size_t(click.x);
    int skipped = 0;
    simulated_host::SimulatedHost host;
    host.logging = false;
    host.MakeCurrent();
    for (int32_t step = -1; step <= 256; ++step) {
        host.Load(picture.width, picture.height, std::vector<uint32_t>(picture.colours));
        host.mask = picture.mask;
        host.SetTolerances(std::to_string(step), seedText);
        EXPECT_EQ(plugin_checks::Plugin().drawIt(host.View(), click.x, click.y, 0), 4);
        if (!host.messages.empty()) {
            ++skipped; // the queue's limit is not part of the map
            continue;
        }
        size_t painted = 0, wrong = 0, firstWrong = 0;
        for (size_t i = 0; i < map.size(); ++i) {
            bool expected = step < 0 ? i == seed : map[i] <= (step > 255 ? 255 : step);
            bool actual = host.paintCount[i] != 0;
            painted += actual;
            if (expected != actual && wrong++ == 0)
                firstWrong = i;
        }
        EXPECT_EQ(wrong, 0u) << "step " << step << ", seed tolerance \"" << seedText << "\", click "
                             << click.x << "," << click.y << ": first at "
                             << firstWrong % size_t(picture.width) << ","
                             << firstWrong / size_t(picture.width) << ", join tolerance "
                             << map[firstWrong];
        EXPECT_EQ(painted, tolerance_explorer::PixelsPaintedAtStep(curve, step)) << "step " << step;
        if (wrong != 0)
            break; // one step's report is enough to go on
    }
    return skipped;
}

void CompareClicks(const Picture& picture, const std::vector<Click>& clicks,
                   const std::vector<std::string>& seedTexts) {
    ASSERT_NE(plugin_checks::Plugin().drawIt, nullptr);
    for (const Click& click : clicks)
        for (const std::string& seedText : seedTexts) {
            SCOPED_TRACE("click " + std::to_string(click.x) + "," + std::to_string(click.y) +
                         ", seed tolerance \"" + seedText + "\"");
            EXPECT_EQ(CompareEveryStep(picture, click, seedText), 0)
                << "no fill of these small pictures should stop on \"Buffer over\"";
        }
}

TEST(ExplorerAgreesWithPlugin, Gradient) {
    CompareClicks(Gradient(), {{0, 0}, {39, 15}, {20, 14}}, {"0", "12", "255", "-1"});
}

TEST(ExplorerAgreesWithPlugin, NoiseWithStrayHighBits) {
    // Many levels pending at once: more than the scratch's smallest pool has blocks for, so the
    // pass also has to recover entries it could not queue.
    CompareClicks(Noise(), {{0, 27}, {17, 13}}, {"0", "90", "160", "255", " +300x", "-7"});
}

TEST(ExplorerAgreesWithPlugin, DrawnMaskAndSeedOnIt) {
    Picture picture = BlocksUnderMask();
    picture.mask[size_t(16 * 32 + 8)] |= 0x40; // a seed flagged drawn is painted all the same
    CompareClicks(picture, {{16, 16}, {31, 0}, {8, 16}}, {"0", "20", "255"});
}

TEST(ExplorerAgreesWithPlugin, PhotographBackgroundAndCheek) {
    // The background at the right of the photograph, where the fill leaks into the cat.
    CompareClicks(PhotographCrop(360, 80, 90, 70), {{70, 40}, {0, 69}}, {"255", "30", "abc"});
}

// Many small pictures of every shape from 1 x 1, with few colours or random ones, drawn flags
// anywhere (the seed's included) and seed tolerances from -2 to 300: a few steps each, against
// the plug-in. The smallest scratch the pass is given runs out on most of them, so its
// recovery is exercised as often as its queue.
TEST(ExplorerAgreesWithPlugin, ManySmallRandomPictures) {
    ASSERT_NE(plugin_checks::Plugin().drawIt, nullptr);
    simulated_host::SimulatedHost host;
    host.logging = false;
    host.MakeCurrent();
    uint32_t state = 2024;
    auto next = [&state](uint32_t below) {
        state = Mix(state + 0x9E3779B9u);
        return state % below;
    };
    for (int round = 0; round < 400; ++round) {
        Picture picture = Blank(int32_t(1 + next(24)), int32_t(1 + next(24)));
        const uint32_t palette[4] = {next(1u << 24), next(1u << 24), next(1u << 24),
                                     next(1u << 24)};
        const bool fewColours = next(2) == 0;
        for (size_t i = 0; i < picture.colours.size(); ++i) {
            uint32_t base = fewColours ? palette[next(4)] : next(1u << 24);
            picture.colours[i] = base | next(256) << 24;
            picture.mask[i] = next(8) == 0 ? 0x40 : uint8_t(next(0x40));
        }
        const Click click = {int32_t(next(uint32_t(picture.width))),
                             int32_t(next(uint32_t(picture.height)))};
        const int32_t seedTolerance = int32_t(next(303)) - 2;
        uint32_t curve[tolerance_explorer::StepCount];
        std::vector<uint16_t> map = JoinMap(picture, click, seedTolerance, curve);
        for (int attempt = 0; attempt < 3; ++attempt) {
            const int32_t step = int32_t(next(303)) - 2;
            host.Load(picture.width, picture.height, std::vector<uint32_t>(picture.colours));
            host.mask = picture.mask;
            host.SetTolerances(std::to_string(step), std::to_string(seedTolerance));
            plugin_checks::Plugin().drawIt(host.View(), click.x, click.y, 0);
            const size_t seed = size_t(click.y) * size_t(picture.width) + size_t(click.x);
            for (size_t i = 0; i < map.size(); ++i) {
                const bool expected = step < 0 ? i == seed : map[i] <= (step > 255 ? 255 : step);
                ASSERT_EQ(host.paintCount[i] != 0, expected)
                    << "round " << round << ", " << picture.width << "x" << picture.height
                    << ", click " << click.x << "," << click.y << ", seed tolerance "
                    << seedTolerance << ", step " << step << ", pixel " << i;
            }
        }
    }
}

// A click the fill would not paint at, or too little scratch, is refused before anything is
// written.
TEST(ExplorerPass, RefusesWhatItCannotDo) {
    Picture picture = Gradient();
    tolerance_explorer::ExplorerPicture view = {picture.colours.data(), nullptr, picture.width,
                                                picture.height};
    size_t bytes = tolerance_explorer::JoinToleranceScratchBytes(picture.width, picture.height);
    std::vector<uint32_t> scratch(bytes / 4 + 1);
    std::vector<uint16_t> map(picture.colours.size(), 7);
    EXPECT_EQ(tolerance_explorer::ComputeJoinTolerances(&view, 40, 0, 10, scratch.data(), bytes,
                                                        map.data(), nullptr),
              tolerance_explorer::JoinToleranceSeedOutside);
    EXPECT_EQ(tolerance_explorer::ComputeJoinTolerances(&view, 0, -1, 10, scratch.data(), bytes,
                                                        map.data(), nullptr),
              tolerance_explorer::JoinToleranceSeedOutside);
    EXPECT_EQ(tolerance_explorer::ComputeJoinTolerances(&view, 0, 0, 10, scratch.data(), bytes - 1,
                                                        map.data(), nullptr),
              tolerance_explorer::JoinToleranceScratchSmall);
    EXPECT_EQ(map[0], 7) << "a refused click leaves the map alone";
    EXPECT_EQ(tolerance_explorer::JoinToleranceScratchBytes(0, 5), 0u);
    EXPECT_EQ(tolerance_explorer::JoinToleranceScratchBytes(65536, 65536), 0u);
    // About 2 bytes a pixel beyond a fixed part.
    EXPECT_LE(tolerance_explorer::JoinToleranceScratchBytes(4000, 3000),
              size_t(4000) * 3000 * 2 + 65536);
}

} // namespace
