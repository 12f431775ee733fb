// The exact calls the host sees, for small fills worked out by hand.
#include "test_support.h"

namespace {

using Calls = std::vector<std::string>;

class CallSequenceTest : public plugin_checks::PluginTest {};

// Top row 0 5 0, bottom row 0 0 0; seed top-left, step 5, seed tolerance 3. The 5 joins as a
// fringe pixel; the top-right 0 is rejected from the 5 and accepted later from below.
TEST_F(CallSequenceTest, ThreeByTwoFringeExample) {
    UseGreyImage({{0, 5, 0}, {0, 0, 0}});
    host.SetTolerances("5", "3");
    ClickAt(0, 0);

    Calls expected = {
        "GetParameter(2,0)", "GetParameter(2,1)", "GetCDIBinfo", "StartOnImage",
        "GetColorOnImage(0,0)", "StartPset(0,0)", "PSet(0,0,0)", "SetDrawFlag(0,0,1)",
        "LoadCursor(32514)", "SetCursor(wait)",
        // expand (0,0)
        "GetColorOnImage(0,-1)", "GetColorOnImage(-1,0)", "GetColorOnImage(0,1)", "GetMask(0,1)",
        "StartPset(0,1)", "PSet(0,1,0)", "SetDrawFlag(0,1,1)", "GetColorOnImage(1,0)",
        "GetMask(1,0)", "StartPset(1,0)", "PSet(1,0,0)", "SetDrawFlag(1,0,1)",
        // expand (0,1)
        "GetColorOnImage(0,0)", "GetMask(0,0)", "GetColorOnImage(-1,1)", "GetColorOnImage(0,2)",
        "GetColorOnImage(1,1)", "GetMask(1,1)", "StartPset(1,1)", "PSet(1,1,0)",
        "SetDrawFlag(1,1,1)",
        // expand (1,0), the fringe pixel: (2,0) fails the seed test
        "GetColorOnImage(1,-1)", "GetColorOnImage(0,0)", "GetMask(0,0)", "GetColorOnImage(1,1)",
        "GetMask(1,1)", "GetColorOnImage(2,0)", "GetMask(2,0)",
        // expand (1,1)
        "GetColorOnImage(1,0)", "GetMask(1,0)", "GetColorOnImage(0,1)", "GetMask(0,1)",
        "GetColorOnImage(1,2)", "GetColorOnImage(2,1)", "GetMask(2,1)", "StartPset(2,1)",
        "PSet(2,1,0)", "SetDrawFlag(2,1,1)",
        // expand (2,1)
        "GetColorOnImage(2,0)", "GetMask(2,0)", "StartPset(2,0)", "PSet(2,0,0)",
        "SetDrawFlag(2,0,1)", "GetColorOnImage(1,1)", "GetMask(1,1)", "GetColorOnImage(2,2)",
        "GetColorOnImage(3,1)",
        // expand (2,0)
        "GetColorOnImage(2,-1)", "GetColorOnImage(1,0)", "GetMask(1,0)", "GetColorOnImage(2,1)",
        "GetMask(2,1)", "GetColorOnImage(3,0)",
        // end
        "UpdateImageWindow(0,0,2,1)", "SetCursor(arrow)"};
    EXPECT_EQ(host.DescribeLog(), expected);
    EXPECT_EQ(PaintedPixels().size(), 6u);
    for (const simulated_host::HostCall& call : host.log)
        EXPECT_FALSE(call.foreignView) << Describe(call);
}

TEST_F(CallSequenceTest, NegativeToleranceFillsTheSeedAlone) {
    for (const auto& tolerances : {std::pair<std::string, std::string>{"-1", "10"}, {"10", "-1"}}) {
        host.Reset(3, 3);
        host.SetTolerances(tolerances.first, tolerances.second);
        ClickAt(1, 1);
        EXPECT_EQ(PaintedPixels().size(), 1u);
        EXPECT_EQ(host.DescribeLog({host_model::HostCallKind::UpdateImageWindow}),
                  Calls{"UpdateImageWindow(1,1,1,1)"});
        EXPECT_EQ(host.CountOf(host_model::HostCallKind::GetMask),
                  4u); // every neighbour is still read
    }
}

// Colour reads pass the CDIB's handle words as they are at the moment of the read.
TEST_F(CallSequenceTest, HandleWordsAreReadAfreshAtEveryColourRead) {
    host.Reset(20, 20);
    host.SetTolerances("0", "0");
    uint64_t reads = 0;
    host.afterCall = [&](const simulated_host::HostCall& call) {
        if (call.kind == host_model::HostCallKind::GetColorOnImage && ++reads % 7 == 0)
            host.dib.handleWords[reads % 2] += 1;
    };
    ClickAt(0, 0);
    // The simulated host fails reads with stale handle words, so a plug-in that kept the old
    // words would stop growing early.
    EXPECT_EQ(PaintedPixels().size(), 400u);
    for (const simulated_host::HostCall& call : host.log) {
        bool inside = host.Contains(int32_t(call.args[2]), int32_t(call.args[3]));
        if (call.kind == host_model::HostCallKind::GetColorOnImage && inside) {
            EXPECT_EQ(call.args[4], 1) << "stale handle words at read " << Describe(call);
        }
    }
}

} // namespace
