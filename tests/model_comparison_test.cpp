// The plug-in against the reference model on thousands of seeded random cases: small images of
// few-colour blocks, gradients and noise, random pre-flagged pixels and host flag bits, random
// bits 24-31, tolerance texts from -5 to 300 in assorted spellings, random seeds.
#include "fill_comparison.h"
#include "random_fill_cases.h"
#include "test_support.h"

namespace {

class ModelComparisonTest : public plugin_checks::PluginTest {
  protected:
    // Compares the cases; stops reporting after a few failures.
    void CompareAll(const std::vector<plugin_checks::FillCase>& cases, const char* family) {
        ASSERT_NE(plugin_checks::Plugin().drawIt, nullptr);
        int failures = 0;
        for (size_t i = 0; i < cases.size() && failures < 5; ++i) {
            std::string fault =
                plugin_checks::CompareFillWithModel(host, plugin_checks::Plugin().drawIt, cases[i]);
            if (!fault.empty()) {
                ++failures;
                ADD_FAILURE() << family << " case " << i << ": " << fault << "\n"
                              << plugin_checks::DescribeFillCase(cases[i]);
            }
        }
    }
};

TEST_F(ModelComparisonTest, RandomCasesAgreeWithTheModel) {
    std::vector<plugin_checks::FillCase> cases;
    for (uint64_t caseNumber = 0; caseNumber < 3000; ++caseNumber)
        cases.push_back(plugin_checks::RandomFillCase(caseNumber));
    CompareAll(cases, "random");
}

// Regions whose sizes sit around multiples of the refresh interval, where an off-by-one in the
// refresh counter shows: uniform strips and rectangles, seeded anywhere, one pixel pre-flagged
// now and then to cut the region short.
TEST_F(ModelComparisonTest, RegionSizesAroundTheRefreshInterval) {
    plugin_checks::CaseRandom random(2024);
    std::vector<plugin_checks::FillCase> cases;
    const int32_t sizes[][2] = {{1, 1},   {199, 1}, {200, 1},  {201, 1}, {202, 1}, {1, 401},
                                {20, 10}, {67, 3},  {20, 20},  {40, 15}, {3, 201}, {201, 3},
                                {1, 600}, {601, 1}, {1, 1001}, {40, 40}};
    for (const auto& size : sizes)
        for (int variant = 0; variant < 4; ++variant) {
            plugin_checks::FillCase fill;
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
