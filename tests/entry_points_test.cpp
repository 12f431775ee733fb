// The entry points' fixed answers, and the fill's guards against calls it must not act on.
#include "test_support.h"

#include <thread>

namespace {

class EntryPointsTest : public PluginTest {};

TEST_F(EntryPointsTest, ConstantAnswersWhateverTheArguments) {
    const LoadedPlugin& plugin = Plugin();
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

// The point, guide-line and cancel calls leave the next fill exactly as it would have been.
TEST_F(EntryPointsTest, OtherEntryPointsDoNotAffectAFill) {
    UseGreyImage({{1, 1, 3}, {1, 2, 1}});
    host.SetTolerances("1", "1");
    ClickAt(0, 0);
    std::vector<std::string> alone = host.DescribeLog();

    UseGreyImage({{1, 1, 3}, {1, 2, 1}});
    Plugin().setPoint(0, 1, 2, 3);
    Plugin().drawGuideLine(0, 0, 5, 5, 1, 0);
    Plugin().cancelOne(0, 0, 0);
    ClickAt(0, 0);
    EXPECT_EQ(host.DescribeLog(), alone);
}

TEST_F(EntryPointsTest, ANullViewOrAViewWithoutImageIsIgnored) {
    host.Reset(3, 3);
    EXPECT_EQ(Plugin().drawIt(nullptr, 1, 1, 0), 4);
    host.WriteViewRecord(host.ownerWindow, nullptr);
    EXPECT_EQ(Plugin().drawIt(host.View(), 1, 1, 0), 4);
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
        EXPECT_EQ(host.currentCursor, ArrowCursor);
    }
}

// A fill asked for while one runs gets 4 at once and no call; the running fill goes on.
TEST_F(EntryPointsTest, AFillArrivingDuringAFillIsTurnedAway) {
    host.Reset(30, 30, Grey(8));
    host.SetTolerances("0", "0");
    size_t nestedLogSize = 0, callsSeen = 0;
    bool fromService = false, fromThread = false;
    host.afterCall = [&](const HostCall& call) {
        if (call.kind != HostCallKind::PSet || ++callsSeen != 50)
            return;
        nestedLogSize = host.log.size();
        fromService = Plugin().drawIt(host.View(), 3, 3, 0) == 4;
        std::thread other([&] { fromThread = Plugin().drawIt(host.View(), 5, 5, 0) == 4; });
        other.join();
        EXPECT_EQ(host.log.size(), nestedLogSize) << "a turned-away fill made a call";
    };
    ClickAt(0, 0);
    EXPECT_TRUE(fromService);
    EXPECT_TRUE(fromThread);
    EXPECT_EQ(PaintedPixels().size(), 900u);
    EXPECT_EQ(host.CountOf(HostCallKind::UpdateImageWindow), 4u + 1u); // 900 expansions
    EXPECT_EQ(host.currentCursor, ArrowCursor);

    // Once it has ended, the next fill runs normally.
    host.afterCall = nullptr;
    host.Reset(3, 3, Grey(8));
    ClickAt(1, 1);
    EXPECT_EQ(PaintedPixels().size(), 9u);
}

} // namespace
