// The growth curve, its stable ranges, the next leak and the suggestion, on made pictures and
// curves whose answers follow from the definitions in tolerance_explorer.h.
#include <gtest/gtest.h>

#include <vector>

#include "tolerance_explorer.h"

namespace {

struct Explored {
    std::vector<uint16_t> map;
    uint32_t curve[tolerance_explorer::StepCount];
};

Explored Explore(const std::vector<uint32_t>& colours, int32_t width, int32_t seedX,
                 int32_t seedTolerance) {
    int32_t height = int32_t(colours.size()) / width;
    tolerance_explorer::ExplorerPicture picture = {colours.data(), nullptr, width, height};
    std::vector<uint32_t> scratch(tolerance_explorer::JoinToleranceScratchBytes(width, height) / 4 +
                                  2);
    Explored explored;
    explored.map.resize(colours.size());
    EXPECT_EQ(tolerance_explorer::ComputeJoinTolerances(&picture, seedX, 0, seedTolerance,
                                                        scratch.data(), scratch.size() * 4,
                                                        explored.map.data(), explored.curve),
              tolerance_explorer::JoinToleranceDone);
    return explored;
}

// One row: 20 pixels of grey 0 (the seed's), 30 of grey 10, 200 of grey 50. Steps 0-9 paint the
// first part, 10-39 the first two, 40 and above all 250.
TEST(GrowthReading, ThreeTerracesGiveThreeRangesAndTwoLeaks) {
    std::vector<uint32_t> row;
    row.insert(row.end(), 20, 0x000000u);
    row.insert(row.end(), 30, 0x0A0A0Au);
    row.insert(row.end(), 200, 0x323232u);
    Explored explored = Explore(row, int32_t(row.size()), 5, 255);

    EXPECT_EQ(explored.map[0], 0);
    EXPECT_EQ(explored.map[25], 10);
    EXPECT_EQ(explored.map[249], 40) << "the largest step on the path (10 to 50), not the sum";
    EXPECT_EQ(tolerance_explorer::PixelsPaintedAtStep(explored.curve, 9), 20u);
    EXPECT_EQ(tolerance_explorer::PixelsPaintedAtStep(explored.curve, 10), 50u);
    EXPECT_EQ(tolerance_explorer::PixelsPaintedAtStep(explored.curve, 39), 50u);
    EXPECT_EQ(tolerance_explorer::PixelsPaintedAtStep(explored.curve, 40), 250u);
    EXPECT_EQ(tolerance_explorer::PixelsPaintedAtStep(explored.curve, -1), 1u);
    EXPECT_EQ(tolerance_explorer::PixelsPaintedAtStep(explored.curve, 1000), 250u);

    tolerance_explorer::StableRange ranges[tolerance_explorer::MaxStableRanges];
    ASSERT_EQ(tolerance_explorer::FindStableRanges(explored.curve, ranges), 3);
    EXPECT_EQ(ranges[0].first, 40);
    EXPECT_EQ(ranges[0].last, 255);
    EXPECT_EQ(ranges[1].first, 10);
    EXPECT_EQ(ranges[1].last, 39);
    EXPECT_EQ(ranges[1].firstPixels, 50u);
    EXPECT_EQ(ranges[2].first, 0);
    EXPECT_EQ(ranges[2].last, 9);

    // The widest range paints everything step 255 does: the next widest is suggested.
    EXPECT_EQ(tolerance_explorer::SuggestStepTolerance(explored.curve), (10 + 39) / 2);

    tolerance_explorer::Leak leak;
    ASSERT_TRUE(tolerance_explorer::FindNextLeak(explored.curve, 5, &leak));
    EXPECT_EQ(leak.to, 10);
    EXPECT_EQ(leak.addedPixels, 30u);
    ASSERT_TRUE(tolerance_explorer::FindNextLeak(explored.curve, 10, &leak));
    EXPECT_EQ(leak.to, 40);
    EXPECT_EQ(leak.addedPixels, 200u);
    EXPECT_FALSE(tolerance_explorer::FindNextLeak(explored.curve, 40, &leak));
    ASSERT_TRUE(tolerance_explorer::FindNextLeak(explored.curve, -5, &leak))
        << "below 0 only the seed is painted";
    EXPECT_EQ(leak.from, -1);
    EXPECT_EQ(leak.to, 0);
    EXPECT_EQ(leak.addedPixels, 19u);
}

// The seed tolerance bounds the pixels grown from, not the pixels painted: the terrace of grey
// 50 is a fringe of one pixel when only grey 10 lies within the seed tolerance.
TEST(GrowthReading, SeedToleranceStopsGrowthAfterTheFringe) {
    std::vector<uint32_t> row;
    row.insert(row.end(), 4, 0x000000u);
    row.insert(row.end(), 3, 0x0A0A0Au);
    row.insert(row.end(), 5, 0x323232u);
    Explored explored = Explore(row, int32_t(row.size()), 0, 10);
    EXPECT_EQ(explored.map[7], 40);
    EXPECT_EQ(explored.map[8], tolerance_explorer::JoinNever);
    EXPECT_EQ(tolerance_explorer::PixelsPaintedAtStep(explored.curve, 255), 8u);
}

TEST(GrowthReading, UniformPictureAndNegativeSeedTolerance) {
    std::vector<uint32_t> flat(60, 0x12345678u);
    Explored uniform = Explore(flat, 10, 3, 0);
    tolerance_explorer::StableRange ranges[tolerance_explorer::MaxStableRanges];
    ASSERT_EQ(tolerance_explorer::FindStableRanges(uniform.curve, ranges), 1);
    EXPECT_EQ(ranges[0].first, 0);
    EXPECT_EQ(ranges[0].last, 255);
    EXPECT_EQ(tolerance_explorer::SuggestStepTolerance(uniform.curve), 127)
        << "all of it, when nothing else";
    tolerance_explorer::Leak leak;
    EXPECT_FALSE(tolerance_explorer::FindNextLeak(uniform.curve, 0, &leak));

    Explored alone = Explore(flat, 10, 3, -1);
    for (size_t i = 0; i < alone.map.size(); ++i)
        EXPECT_EQ(alone.map[i], i == 3 ? 0 : tolerance_explorer::JoinNever);
    EXPECT_EQ(tolerance_explorer::PixelsPaintedAtStep(alone.curve, 255), 1u);
    EXPECT_EQ(tolerance_explorer::SuggestStepTolerance(alone.curve), -1)
        << "the seed alone is no suggestion";
}

// The quarter is a limit that holds: growing by exactly a quarter is not a leak.
TEST(GrowthReading, AQuarterMoreIsStillStable) {
    uint32_t curve[tolerance_explorer::StepCount];
    for (int32_t t = 0; t < tolerance_explorer::StepCount; ++t)
        curve[t] = t < 100 ? 4 : t < 200 ? 5 : 7;
    tolerance_explorer::Leak leak;
    ASSERT_TRUE(tolerance_explorer::FindNextLeak(curve, 0, &leak));
    EXPECT_EQ(leak.to, 200);
    EXPECT_EQ(leak.addedPixels, 3u);
    tolerance_explorer::StableRange ranges[tolerance_explorer::MaxStableRanges];
    ASSERT_EQ(tolerance_explorer::FindStableRanges(curve, ranges), 2);
    EXPECT_EQ(ranges[0].first, 0);
    EXPECT_EQ(ranges[0].last, 199);
    EXPECT_EQ(ranges[1].first, 200);
    // Steady creep is split into ranges of a quarter's growth each, not one long stable range.
    for (int32_t t = 0; t < tolerance_explorer::StepCount; ++t)
        curve[t] = uint32_t(100 + 10 * t);
    int32_t count = tolerance_explorer::FindStableRanges(curve, ranges);
    ASSERT_GT(count, 1);
    for (int32_t i = 0; i < count; ++i)
        EXPECT_LE(4 * uint64_t(ranges[i].lastPixels), 5 * uint64_t(ranges[i].firstPixels));
}

} // namespace
