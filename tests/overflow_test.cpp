// A pending queue that runs out of room: the fill stops cleanly and says so.
#include "test_support.h"

#include <deque>

namespace {

class OverflowTest : public plugin_checks::PluginTest {
  protected:
    std::deque<simulated_host::HostCall>
        lastCalls; // the tail of the log, kept while logging is off

    void KeepLastCalls() {
        host.logging = false;
        host.afterCall = [this](const simulated_host::HostCall& call) {
            lastCalls.push_back(call);
            if (lastCalls.size() > 8)
                lastCalls.pop_front();
        };
    }

    // Pixels expanded so far: each expansion reads up to four neighbours, after the seed read.
    uint64_t ExpansionsStarted() const {
        return (host.CountOf(host_model::HostCallKind::GetColorOnImage) - 1 + 3) / 4;
    }

    // The end every overflow must have: the pixel that did not fit was painted, not flagged,
    // and is inside the last refresh; then the cursor goes back, then the message box.
    void ExpectCleanOverflowEnding() {
        ASSERT_EQ(lastCalls.size(), 8u);
        const simulated_host::HostCall& startPset = lastCalls[3];
        const simulated_host::HostCall& pset = lastCalls[4];
        const simulated_host::HostCall& refresh = lastCalls[5];
        EXPECT_EQ(startPset.kind, host_model::HostCallKind::StartPset);
        EXPECT_EQ(pset.kind, host_model::HostCallKind::PSet);
        EXPECT_EQ(pset.args[0], startPset.args[0]);
        EXPECT_EQ(pset.args[1], startPset.args[1]);
        ASSERT_EQ(refresh.kind, host_model::HostCallKind::UpdateImageWindow);
        EXPECT_TRUE(refresh.args[0] <= pset.args[0] && pset.args[0] <= refresh.args[2] &&
                    refresh.args[1] <= pset.args[1] && pset.args[1] <= refresh.args[3])
            << simulated_host::Describe(refresh) << " misses " << Describe(pset);
        EXPECT_EQ(simulated_host::Describe(lastCalls[6]), "SetCursor(arrow)");
        EXPECT_EQ(simulated_host::Describe(lastCalls[7]), "MessageBox(Buffer over,Err,0)");
        EXPECT_EQ(lastCalls[7].args[0], 1) << "the box is owned by the view's window";
        EXPECT_EQ(host.CountOf(host_model::HostCallKind::MessageBox), 1u);
        EXPECT_EQ(host.currentCursor, host_model::ArrowCursor);
        // Queued = flagged pixels (the seed included) less expanded ones: the ring was full.
        EXPECT_EQ(host.CountOf(host_model::HostCallKind::SetDrawFlag) - ExpansionsStarted(),
                  29999u);
        EXPECT_EQ(host.CountOf(host_model::HostCallKind::PSet),
                  host.CountOf(host_model::HostCallKind::SetDrawFlag) + 1);
    }
};

// A host whose mask ignores the drawn flag lets every pixel of a 2 x 2 image rejoin from each
// neighbour, so the queue grows by one per expansion until it is full.
TEST_F(OverflowTest, ReachedCheaplyWhenTheHostForgetsDrawnPixels) {
    host.Reset(2, 2, plugin_checks::Grey(5));
    host.honourDrawFlag = false;
    host.paintColour = plugin_checks::Grey(5); // painting changes nothing the fill could notice
    host.SetTolerances("0", "0");
    KeepLastCalls();
    ClickAt(0, 0);
    ExpectCleanOverflowEnding();
    // The second acceptance of expansion 29,999 is the one that does not fit; progressive
    // refreshes came after expansions 201, 401, ..., 29,801.
    EXPECT_EQ(ExpansionsStarted(), 29999u);
    EXPECT_EQ(host.CountOf(host_model::HostCallKind::UpdateImageWindow), 149u + 1u);
}

TEST_F(OverflowTest, ReachedForRealByABroadFrontWithAnHonestHost) {
    plugin_checks::DrawCorridorTree(host, 15, 4); // 32,768 corridor ends: more than the queue holds
    host.SetTolerances("0", "0");
    KeepLastCalls();
    ClickAt(0, host.height / 2);
    ExpectCleanOverflowEnding();
    // Every painted pixel was painted once and flagged, but for the one that did not fit.
    size_t paintedUnflagged = 0, flaggedUnpainted = 0, paintedTwice = 0;
    for (size_t i = 0; i < host.mask.size(); ++i) {
        paintedUnflagged += host.paintCount[i] != 0 && host.mask[i] == 0;
        flaggedUnpainted += host.paintCount[i] == 0 && host.mask[i] != 0;
        paintedTwice += host.paintCount[i] > 1;
    }
    EXPECT_EQ(paintedUnflagged, 1u);
    EXPECT_EQ(flaggedUnpainted, 0u);
    EXPECT_EQ(paintedTwice, 0u);
}

TEST_F(OverflowTest, AFrontThatFitsFillsTheWholeTree) {
    plugin_checks::DrawCorridorTree(host, 14, 4); // 16,384 corridor ends fit
    size_t corridorPixels = 0;
    for (PackedColour colour : host.pixels)
        corridorPixels += colour == plugin_checks::Grey(255);
    host.SetTolerances("0", "0");
    host.logging = false;
    ClickAt(0, host.height / 2);
    EXPECT_EQ(host.CountOf(host_model::HostCallKind::MessageBox), 0u);
    EXPECT_EQ(host.CountOf(host_model::HostCallKind::SetDrawFlag), corridorPixels);
}

} // namespace
