// Which pixels a fill paints, and in what order it looks at them.
#include "test_support.h"

namespace {

using Pixels = std::vector<std::pair<int32_t, int32_t>>;

class GrowthTest : public plugin_checks::PluginTest {};

TEST_F(GrowthTest, NeighboursAreVisitedAboveLeftBelowRight) {
    host.Reset(3, 3);
    host.SetTolerances("0", "0");
    ClickAt(1, 1);
    std::vector<std::string> firstReads;
    for (const simulated_host::HostCall& call : host.log)
        if (call.kind == host_model::HostCallKind::GetColorOnImage && firstReads.size() < 5)
            firstReads.push_back(Describe(call));
    EXPECT_EQ(firstReads, (std::vector<std::string>{"GetColorOnImage(1,1)", "GetColorOnImage(1,0)",
                                                    "GetColorOnImage(0,1)", "GetColorOnImage(1,2)",
                                                    "GetColorOnImage(2,1)"}));
    // Breadth first: the four neighbours are painted before any pixel two steps away.
    std::vector<std::string> painted = host.DescribeLog({host_model::HostCallKind::PSet});
    ASSERT_EQ(painted.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(painted.begin(), painted.begin() + 5),
              (std::vector<std::string>{"PSet(1,1,0)", "PSet(1,0,0)", "PSet(0,1,0)", "PSet(1,2,0)",
                                        "PSet(2,1,0)"}));
}

// With both tolerances 0 the fill paints exactly the 4-connected pixels of the seed's colour:
// no fringe, no diagonal steps.
TEST_F(GrowthTest, ZeroTolerancesPaintTheExactColourRegion) {
    UseGreyImage({{1, 1, 2, 1},   //
                  {2, 1, 2, 1},   //
                  {1, 1, 1, 2},   //
                  {2, 2, 2, 1}}); // (3,3) touches the region only diagonally
    host.SetTolerances("", "zero");
    ClickAt(0, 0);
    EXPECT_EQ(PaintedPixels(), (Pixels{{0, 0}, {1, 0}, {1, 1}, {0, 2}, {1, 2}, {2, 2}}));
}

TEST_F(GrowthTest, BitsAboveTheChannelsAreIgnored) {
    host.Reset(4, 4);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x)
            host.Pixel(x, y) = 0x00123456u | (uint32_t(x * 4 + y) * 0x11u << 24);
    host.SetTolerances("0", "0");
    ClickAt(2, 2);
    EXPECT_EQ(PaintedPixels().size(), 16u);
}

// Each channel is compared on its own; a difference equal to the tolerance passes.
TEST_F(GrowthTest, EachChannelMustLieWithinTheStepTolerance) {
    for (int shift : {0, 8, 16}) {
        host.Reset(3, 1, 0x00404040u);
        host.Pixel(1, 0) = 0x00404040u + (3u << shift);
        host.Pixel(2, 0) = 0x00404040u - (4u << shift);
        host.SetTolerances("3", "300");
        ClickAt(1, 0); // (0,0) differs by 3, (2,0) by 7 from the seed
        EXPECT_EQ(PaintedPixels(), (Pixels{{0, 0}, {1, 0}})) << "channel at bit " << shift;
    }
}

// A pixel beyond the seed tolerance joins from a pixel within it, and nothing joins from it.
TEST_F(GrowthTest, FringePixelsArePaintedButNotGrownFrom) {
    UseGreyImage({{10, 10, 14, 14, 14}});
    host.SetTolerances("4", "3");
    ClickAt(0, 0);
    EXPECT_EQ(PaintedPixels(), (Pixels{{0, 0}, {1, 0}, {2, 0}}));

    // The same fringe pixel's neighbour joins when another painted pixel reaches it.
    UseGreyImage({{10, 10, 14, 12},   //
                  {10, 10, 10, 10}}); // (3,0) is reached from (3,1), not from (2,0)
    host.SetTolerances("4", "3");
    ClickAt(0, 0);
    EXPECT_EQ(PaintedPixels().size(), 8u);
}

TEST_F(GrowthTest, PixelsAlreadyFlaggedAreNeverPaintedExceptAsTheSeed) {
    host.Reset(5, 1);
    host.mask[2] = MaskDrawnBit;
    host.mask[0] = MaskDrawnBit | 0x01;
    host.mask[3] = 0xBF; // every bit but the drawn bit: no obstacle
    host.SetTolerances("0", "0");
    ClickAt(0, 0); // a flagged seed is painted anyway
    EXPECT_EQ(PaintedPixels(), (Pixels{{0, 0}, {1, 0}}));
    ClickAt(4, 0);
    EXPECT_EQ(PaintedPixels(), (Pixels{{0, 0}, {1, 0}, {3, 0}, {4, 0}}));
    EXPECT_EQ(host.paintCount[2], 0u);
}

TEST_F(GrowthTest, SeedsOnTheBorderGrowInwards) {
    for (auto seed : Pixels{{0, 0}, {6, 0}, {0, 4}, {6, 4}, {3, 0}, {0, 2}, {6, 2}, {3, 4}}) {
        host.Reset(7, 5, plugin_checks::Grey(9));
        host.SetTolerances("0", "0");
        ClickAt(seed.first, seed.second);
        EXPECT_EQ(PaintedPixels().size(), 35u) << seed.first << "," << seed.second;
        for (const simulated_host::HostCall& call : host.log) {
            if (call.kind == host_model::HostCallKind::GetMask ||
                call.kind == host_model::HostCallKind::PSet) {
                EXPECT_TRUE(host.Contains(int32_t(call.args[0]), int32_t(call.args[1])))
                    << Describe(call);
            }
        }
    }
}

// Every pixel is expanded once, with four colour reads, whatever the picture's shape.
TEST_F(GrowthTest, SingleRowSingleColumnAndSinglePixelImages) {
    struct Shape {
        int32_t width, height, seedX, seedY;
        const char* refresh;
    };
    for (const Shape& shape : {Shape{1, 1, 0, 0, "UpdateImageWindow(0,0,0,0)"},
                               Shape{6, 1, 5, 0, "UpdateImageWindow(0,0,5,0)"},
                               Shape{1, 6, 0, 2, "UpdateImageWindow(0,0,0,5)"}}) {
        host.Reset(shape.width, shape.height, plugin_checks::Grey(3));
        host.SetTolerances("0", "0");
        ClickAt(shape.seedX, shape.seedY);
        const size_t pixels = size_t(shape.width) * size_t(shape.height);
        EXPECT_EQ(PaintedPixels().size(), pixels) << shape.refresh;
        EXPECT_EQ(host.CountOf(host_model::HostCallKind::GetColorOnImage), 1 + 4 * pixels)
            << shape.refresh;
        EXPECT_EQ(host.DescribeLog({host_model::HostCallKind::UpdateImageWindow}),
                  std::vector<std::string>{shape.refresh});
    }
}

// 90,000 expansions pass through the 30,000-slot ring three times; a wrong wrap would lose or
// repeat pixels.
TEST_F(GrowthTest, TheQueueRingWrapsOverManyExpansions) {
    host.Reset(300, 300, plugin_checks::Grey(50));
    host.logging = false;
    host.SetTolerances("0", "0");
    ClickAt(150, 0);
    size_t paintedOnce = 0;
    for (uint32_t count : host.paintCount)
        paintedOnce += count == 1;
    EXPECT_EQ(paintedOnce, 90000u);
    EXPECT_EQ(host.CountOf(host_model::HostCallKind::SetDrawFlag), 90000u);
    EXPECT_EQ(host.CountOf(host_model::HostCallKind::GetColorOnImage),
              1u + 4u * 90000u); // all expanded
    EXPECT_EQ(host.CountOf(host_model::HostCallKind::MessageBox), 0u);
    EXPECT_EQ(host.currentCursor, host_model::ArrowCursor);
}

// A serpentine maze: corridors of one colour on the even rows, walls one level darker on the
// odd rows with a gap at alternating ends. The last wall has no gap, so the bottom corridor has
// the right colour but cannot be reached.
TEST_F(GrowthTest, FollowsWindingCorridorsAndNothingElse) {
    const int32_t size = 41;
    host.Reset(size, size, plugin_checks::Grey(201));
    for (int32_t y = 1; y < size; y += 2)
        for (int32_t x = 0; x < size; ++x)
            if (y == size - 2 || x != ((y / 2) % 2 == 0 ? size - 1 : 0))
                host.Pixel(x, y) = plugin_checks::Grey(200);
    Pixels reachable;
    for (int32_t y = 0; y < size - 1; ++y)
        for (int32_t x = 0; x < size; ++x)
            if (host.Pixel(x, y) == plugin_checks::Grey(201))
                reachable.push_back({x, y});
    host.SetTolerances("0", "0");
    ClickAt(0, 0);
    EXPECT_EQ(PaintedPixels(), reachable);
}

} // namespace
