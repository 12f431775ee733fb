// When the fill asks the host to refresh the window, and for which rectangle.
#include "test_support.h"

namespace {

using Calls = std::vector<std::string>;

class RefreshTest : public plugin_checks::PluginTest {
  protected:
    // A uniform row of `length` pixels filled from its left end: expanding pixel i paints i + 1,
    // so the painted extent after each expansion is known.
    Calls RefreshesForRow(int32_t length) {
        host.Reset(length, 1, plugin_checks::Grey(7));
        host.SetTolerances("0", "0");
        ClickAt(0, 0);
        return host.DescribeLog({host_model::HostCallKind::UpdateImageWindow});
    }
};

TEST_F(RefreshTest, TwoHundredExpansionsGetOnlyTheFinalRefresh) {
    EXPECT_EQ(RefreshesForRow(200), Calls{"UpdateImageWindow(0,0,199,0)"});
}

TEST_F(RefreshTest, TheTwoHundredAndFirstExpansionBringsAProgressiveRefresh) {
    EXPECT_EQ(RefreshesForRow(201),
              (Calls{"UpdateImageWindow(0,0,200,0)", "UpdateImageWindow(-1,-1,-1,-1)"}));
    // The progressive request follows the last expansion's calls directly.
    const std::vector<simulated_host::HostCall>& log = host.log;
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(simulated_host::Describe(log[log.size() - 4]), "GetColorOnImage(201,0)");
    EXPECT_EQ(log[log.size() - 3].kind, host_model::HostCallKind::UpdateImageWindow);
}

// Each request covers what was painted since the previous one: after the 201st expansion the
// seed and pixels 1-201, then 200 more pixels per request.
TEST_F(RefreshTest, LaterRefreshesFollowEveryFurtherTwoHundredExpansions) {
    EXPECT_EQ(RefreshesForRow(1000),
              (Calls{"UpdateImageWindow(0,0,201,0)", "UpdateImageWindow(202,0,401,0)",
                     "UpdateImageWindow(402,0,601,0)", "UpdateImageWindow(602,0,801,0)",
                     "UpdateImageWindow(802,0,999,0)"}));
}

// Growing in all directions from the middle, the box spans both sides of the seed.
TEST_F(RefreshTest, TheDirtyBoxGrowsInEveryDirection) {
    host.Reset(9, 7, plugin_checks::Grey(1));
    host.SetTolerances("0", "0");
    ClickAt(4, 3);
    EXPECT_EQ(host.DescribeLog({host_model::HostCallKind::UpdateImageWindow}),
              Calls{"UpdateImageWindow(0,0,8,6)"});
}

TEST_F(RefreshTest, TheWaitCursorShowsForTheWholeFill) {
    RefreshesForRow(450);
    Calls cursor =
        host.DescribeLog({host_model::HostCallKind::LoadCursor, host_model::HostCallKind::SetCursor,
                          host_model::HostCallKind::UpdateImageWindow});
    EXPECT_EQ(cursor, (Calls{"LoadCursor(32514)", "SetCursor(wait)", "UpdateImageWindow(0,0,201,0)",
                             "UpdateImageWindow(202,0,401,0)", "UpdateImageWindow(402,0,449,0)",
                             "SetCursor(arrow)"}));
    for (const simulated_host::HostCall& call : host.log) {
        if (call.kind == host_model::HostCallKind::LoadCursor) {
            EXPECT_EQ(call.args[1], 0) << "the system cursor is loaded without a module";
        }
    }
    EXPECT_EQ(host.log.back().kind, host_model::HostCallKind::SetCursor);
}

} // namespace
