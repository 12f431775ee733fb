// How the tolerance texts from the host's parameter store are read, seen through what a fill
// paints.
#include "test_support.h"

namespace {

class ToleranceTest : public plugin_checks::PluginTest {
  protected:
    // Does a step of `difference` grey levels pass with this step-tolerance text?
    bool StepPasses(const char* stepText, int difference) {
        UseGreyImage({{0, difference}});
        host.parameters[{2, 0}] = stepText;
        host.parameters[{2, 1}] = "255";
        ClickAt(0, 0);
        return host.paintCount[1] != 0;
    }

    // The tolerance the text reads as, for values in 0..254; -1 for a negative one. A negative
    // tolerance rejects even a step of 0.
    int ReadsAs(const char* stepText) {
        if (!StepPasses(stepText, 0))
            return -1;
        int tolerance = 0;
        while (tolerance < 255 && StepPasses(stepText, tolerance + 1))
            ++tolerance;
        return tolerance;
    }
};

TEST_F(ToleranceTest, PlainDecimalTexts) {
    EXPECT_EQ(ReadsAs("0"), 0);
    EXPECT_EQ(ReadsAs("7"), 7);
    EXPECT_EQ(ReadsAs("42"), 42);
    EXPECT_EQ(ReadsAs("0042"), 42);
    EXPECT_EQ(ReadsAs("+12"), 12);
    EXPECT_EQ(ReadsAs("-1"), -1);
    EXPECT_EQ(ReadsAs("-0"), 0);
    EXPECT_EQ(ReadsAs("300"), 255);
}

TEST_F(ToleranceTest, LeadingWhiteSpaceIsSkippedAndTrailingTextIgnored) {
    EXPECT_EQ(ReadsAs(" \t\n\v\f\r9"), 9);
    EXPECT_EQ(ReadsAs("  -3"), -1);
    EXPECT_EQ(ReadsAs("12abc"), 12);
    EXPECT_EQ(ReadsAs("3 4"), 3);
    EXPECT_EQ(ReadsAs("5.9"), 5);
}

TEST_F(ToleranceTest, TextsWithoutDigitsReadAsZero) {
    for (const char* text : {"", "abc", "+", "-", " ", "+-5", "- 5",
                             "\x01"
                             "5",
                             "x5"})
        EXPECT_EQ(ReadsAs(text), 0) << "text \"" << text << "\"";
}

TEST_F(ToleranceTest, LargeNumbersWrapAroundIn32Bits) {
    EXPECT_EQ(ReadsAs("2147483647"), 255);
    EXPECT_EQ(ReadsAs("2147483648"), -1);            // -2147483648
    EXPECT_EQ(ReadsAs("4294967296"), 0);             // 2^32
    EXPECT_EQ(ReadsAs("4294967301"), 5);             // 2^32 + 5
    EXPECT_EQ(ReadsAs("-4294967306"), -1);           // -(2^32 + 10)
    EXPECT_EQ(ReadsAs("-4294967286"), 10);           // -(2^32 - 10)
    EXPECT_EQ(ReadsAs("3000000000"), -1);            // -1294967296
    EXPECT_EQ(ReadsAs("99999999999999999999"), 255); // 1661992959
}

// A missing parameter (a null text from the host) counts as an empty one.
TEST_F(ToleranceTest, MissingParametersReadAsZero) {
    UseGreyImage({{4, 4, 5}});
    host.parameters.clear();
    ClickAt(0, 0);
    EXPECT_EQ(host.paintCount, (std::vector<uint32_t>{1, 1, 0}));
    EXPECT_EQ(host.DescribeLog({host_model::HostCallKind::GetParameter}),
              (std::vector<std::string>{"GetParameter(2,0)", "GetParameter(2,1)"}));
}

// The tolerances are read afresh at every fill.
TEST_F(ToleranceTest, EachFillReadsTheParametersAgain) {
    EXPECT_TRUE(StepPasses("9", 9));
    EXPECT_FALSE(StepPasses("8", 9));
    EXPECT_TRUE(StepPasses("10", 9));
}

// The seed tolerance bounds the parent's distance from the seed colour.
TEST_F(ToleranceTest, SeedToleranceBoundsHowFarGrowthStrays) {
    UseGreyImage({{100, 102, 104, 106, 108, 110}});
    host.SetTolerances("2", "5");
    ClickAt(0, 0);
    // 104 lies within 5 of the seed and reaches 106; 106 lies beyond it and reaches nothing.
    EXPECT_EQ(host.paintCount, (std::vector<uint32_t>{1, 1, 1, 1, 0, 0}));
}

} // namespace
