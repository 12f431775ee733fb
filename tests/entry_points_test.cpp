// The entry points' fixed answers, and the fill's guards against calls it must not act on.
#include "test_support.h"

#include <thread>

namespace {

class EntryPointsTest : public plugin_checks::PluginTest {};

TEST_F(EntryPointsTest, ConstantAnswersWhateverTheArguments) {
    const host_model::LoadedPlugin& plugin = plugin_checks::Plugin();
    host.Reset(2, 2);
    for (int32_t word : {0, 1, -1, 0x7FFFFFFF, int32_t(0x80000000u)}) {
        EXPECT_EQ(plugin.getDrawInterface(), 2);
        EXPECT_EQ(plugin.getDrawInfo(), 1);
        EXPECT_EQ(plugin.setPoint(word, word, word, word), 4);
        EXPECT_EQ(plugin.drawGuideLine(word, word, word, word, word, word), 1);
        EXPECT_EQ(plugin.cancelOne(word, word, word), 4);
    }
    EXPECT_TRUE(host.log.empty()) << "only VXcDrawIt may call the host";
}

// The point, guide-line and cancel calls, and the two queries, made before a fill and in the
// middle of one (from inside a host service, where a host's own code runs): each answers its
// code and calls nothing, and the fill makes exactly the calls it makes without them. A cancel
// that stopped the running fill, a point kept as state, or an answer that changed while a fill
// runs would show here.
TEST_F(EntryPointsTest, OtherEntryPointsDoNotAffectAFill) {
    // Diagonal bands rising and falling by one grey level, cut by a wall at x = 30.
    auto bandedPicture = [&] {
        host.Reset(40, 20);
        for (int32_t y = 0; y < 20; ++y)
            for (int32_t x = 0; x < 40; ++x) {
                const int phase = (x / 3 + y / 2) % 6;
                host.Pixel(x, y) = plugin_checks::Grey(x == 30 ? 9 : phase < 3 ? phase : 6 - phase);
            }
        host.SetTolerances("1", "3");
    };
    bandedPicture();
    ClickAt(0, 0);
    const std::vector<std::string> alone = host.DescribeLog();
    ASSERT_GE(host.CountOf(host_model::HostCallKind::UpdateImageWindow), 2u)
        << "want a progressive refresh";

    bandedPicture();
    const host_model::LoadedPlugin& plugin = plugin_checks::Plugin();
    for (int32_t word : {0, 7, -1})
        EXPECT_TRUE(plugin.setPoint(word, word, word, word) == 4 &&
                    plugin.cancelOne(word, 0, 1) == 4);
    uint64_t paints = 0, wrongAnswers = 0, callsMade = 0;
    host.afterCall = [&](const simulated_host::HostCall& call) {
        if (call.kind != host_model::HostCallKind::PSet || ++paints % 5 != 1)
            return;
        const size_t logSize = host.log.size();
        wrongAnswers += plugin.setPoint(int32_t(call.args[0]), int32_t(call.args[1]), 1, 0) != 4;
        wrongAnswers += plugin.drawGuideLine(0, 0, int32_t(call.args[0]), 5, 1, 0) != 1;
        wrongAnswers += plugin.cancelOne(0, 0, 0) != 4;
        wrongAnswers += plugin.getDrawInterface() != 2 || plugin.getDrawInfo() != 1;
        callsMade += host.log.size() - logSize;
    };
    ClickAt(0, 0);
    host.afterCall = nullptr;
    EXPECT_GT(paints, 200u);
    EXPECT_EQ(wrongAnswers, 0u);
    EXPECT_EQ(callsMade, 0u) << "an entry point other than VXcDrawIt called the host";
    EXPECT_EQ(host.DescribeLog(), alone);
}

TEST_F(EntryPointsTest, ANullViewOrAViewWithoutImageIsIgnored) {
    host.Reset(3, 3);
    EXPECT_EQ(plugin_checks::Plugin().drawIt(nullptr, 1, 1, 0), 4);
    host.WriteViewRecord(host.ownerWindow, nullptr);
    EXPECT_EQ(plugin_checks::Plugin().drawIt(host.View(), 1, 1, 0), 4);
    EXPECT_TRUE(host.log.empty());
}

// Outside the image the seed cannot be read, and painting there is unsafe for the host: the
// fill stops right after that read.
TEST_F(EntryPointsTest, ASeedOutsideTheImageStopsAfterItsColourRead) {
    for (auto seed : std::vector<std::pair<int32_t, int32_t>>{
             {-1, 0}, {0, -1}, {4, 0}, {0, 3}, {INT32_MIN, INT32_MAX}}) {
        host.Reset(4, 3);
        host.SetTolerances("255", "255");
        ClickAt(seed.first, seed.second);
        std::string read = "GetColorOnImage(" + std::to_string(seed.first) + "," +
                           std::to_string(seed.second) + ")";
        EXPECT_EQ(host.DescribeLog(),
                  (std::vector<std::string>{"GetParameter(2,0)", "GetParameter(2,1)", "GetCDIBinfo",
                                            "StartOnImage", read}));
        EXPECT_EQ(host.currentCursor, host_model::ArrowCursor);
    }
}

// A fill asked for while one runs gets 4 at once and no call; the running fill goes on.
TEST_F(EntryPointsTest, AFillArrivingDuringAFillIsTurnedAway) {
    host.Reset(30, 30, plugin_checks::Grey(8));
    host.SetTolerances("0", "0");
    size_t nestedLogSize = 0, callsSeen = 0;
    bool fromService = false, fromThread = false;
    host.afterCall = [&](const simulated_host::HostCall& call) {
        if (call.kind != host_model::HostCallKind::PSet || ++callsSeen != 50)
            return;
        nestedLogSize = host.log.size();
        fromService = plugin_checks::Plugin().drawIt(host.View(), 3, 3, 0) == 4;
        std::thread other(
            [&] { fromThread = plugin_checks::Plugin().drawIt(host.View(), 5, 5, 0) == 4; });
        other.join();
        EXPECT_EQ(host.log.size(), nestedLogSize) << "a turned-away fill made a call";
    };
    ClickAt(0, 0);
    EXPECT_TRUE(fromService);
    EXPECT_TRUE(fromThread);
    EXPECT_EQ(PaintedPixels().size(), 900u);
    EXPECT_EQ(host.CountOf(host_model::HostCallKind::UpdateImageWindow), 4u + 1u); // 900 expansions
    EXPECT_EQ(host.currentCursor, host_model::ArrowCursor);

    // Once it has ended, the next fill runs normally.
    host.afterCall = nullptr;
    host.Reset(3, 3, plugin_checks::Grey(8));
    ClickAt(1, 1);
    EXPECT_EQ(PaintedPixels().size(), 9u);
}

} // namespace
