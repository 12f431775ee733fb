// The benchmark's two copies of the fill's loop (breadth_first_fill.h) held to the plug-in. The
// protocol floor must make the plug-in's host calls, in order and with the same arguments and
// results, up to and through a "Buffer over"; the direct-memory fill must leave the picture and
// the flags as the plug-in does, with as many refresh requests. A benchmark of fills that differ
// would compare nothing, and a change of the fill must not leave its copies behind unnoticed.
#include <dlfcn.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <sstream>

#include "direct_fill.h"
#include "fill_comparison.h"
#include "random_fill_cases.h"
#include "test_support.h"
#include "tolerance_text.h"

namespace {

// The floor's entry, loaded like the plug-in; it takes VXcDrawIt's arguments.
VXcDrawItFn LoadedFloorFill() {
    static VXcDrawItFn fill = [] {
        void* module = dlopen(FLOOR_PATH, RTLD_NOW | RTLD_LOCAL);
        void* entry = module != nullptr ? dlsym(module, "FloorFill") : nullptr;
        if (entry == nullptr)
            ADD_FAILURE() << "cannot load FloorFill from " FLOOR_PATH ": " << dlerror();
        return reinterpret_cast<VXcDrawItFn>(entry);
    }();
    return fill;
}

// One host call folded into a word: its kind, whether it named a foreign view, and its five
// argument words (handle words and results included). Fills of millions of calls are compared
// word by word; the texts of the first calls that differ are found by running both again.
uint64_t CallDigest(const simulated_host::HostCall& call) {
    uint64_t digest = 0xCBF29CE484222325u;
    for (int64_t word : {int64_t(call.kind), int64_t(call.foreignView), call.args[0], call.args[1],
                         call.args[2], call.args[3], call.args[4]})
        digest = (digest ^ uint64_t(word)) * 0x100000001B3u;
    return digest;
}

// A call as a failure message shows it: Describe()'s text, then every argument word.
std::string CallText(const simulated_host::HostCall& call) {
    std::ostringstream text;
    text << simulated_host::Describe(call) << " [";
    for (int i = 0; i < 5; ++i)
        text << call.args[i] << (i < 4 ? " " : "");
    text << (call.foreignView ? ", foreign view]" : "]");
    return text.str();
}

// Everything a fill left behind that a host can see. A fill checked against another's record
// keeps no digests of its own, only where its calls first parted from the other's.
struct FillRecord {
    int32_t answer = 0;
    std::vector<uint64_t> calls; // CallDigest of each call, in order
    size_t callCount = 0;
    size_t firstDifferentCall = SIZE_MAX;
    std::vector<std::string> messages; // "text|caption"
    std::vector<PackedColour> pixels;
    std::vector<uint8_t> mask;
    int64_t cursorAfter = 0;
};

// Called after each call is recorded, with the host: lets a case act in the middle of a fill.
using DuringFill =
    std::function<void(simulated_host::SimulatedHost&, const simulated_host::HostCall&)>;

// Empty when the floor's record, made against the plug-in's, agrees with it; otherwise what
// differs first.
std::string FirstDifference(const FillRecord& plugIn, const FillRecord& floor) {
    std::ostringstream text;
    if (floor.firstDifferentCall != SIZE_MAX)
        text << "call " << floor.firstDifferentCall << " differs (the plug-in made "
             << plugIn.callCount << " calls, the floor " << floor.callCount << ")";
    else if (plugIn.messages != floor.messages)
        text << "the message boxes' texts differ";
    else if (plugIn.answer != floor.answer)
        text << "the plug-in answered " << plugIn.answer << ", the floor " << floor.answer;
    else if (plugIn.cursorAfter != floor.cursorAfter)
        text << "the cursors left differ";
    else if (plugIn.pixels != floor.pixels || plugIn.mask != floor.mask)
        text << "the same calls left different pictures";
    return text.str();
}

class FloorFillTest : public plugin_checks::PluginTest {
  protected:
    void SetUp() override {
        plugin_checks::PluginTest::SetUp();
        ASSERT_NE(LoadedFloorFill(), nullptr);
    }

    // Sets the host up with `prepare`, applies `fill` at (x, y) and records what it did: the
    // digest of each call, or with `expected` only where the calls first part from those. With
    // `textOfCall`, also writes the text of call number `callIndex` there ("none" if fewer).
    FillRecord Run(VXcDrawItFn fill, const std::function<void()>& prepare, int32_t x, int32_t y,
                   const DuringFill& during, const FillRecord* expected = nullptr,
                   size_t callIndex = SIZE_MAX, std::string* textOfCall = nullptr) {
        prepare();
        FillRecord record;
        if (textOfCall != nullptr)
            *textOfCall = "none";
        host.logging = false;
        host.afterCall = [&](const simulated_host::HostCall& call) {
            const size_t index = record.callCount++;
            if (index == callIndex && textOfCall != nullptr)
                *textOfCall = CallText(call);
            const uint64_t digest = CallDigest(call);
            if (expected == nullptr)
                record.calls.push_back(digest);
            else if (record.firstDifferentCall == SIZE_MAX &&
                     (index >= expected->calls.size() || expected->calls[index] != digest))
                record.firstDifferentCall = index;
            if (during)
                during(host, call);
        };
        record.answer = fill(host.View(), x, y, 0);
        host.afterCall = nullptr;
        if (expected != nullptr && record.firstDifferentCall == SIZE_MAX &&
            record.callCount < expected->callCount)
            record.firstDifferentCall = record.callCount;
        for (const host_model::ShownMessage& message : host.messages)
            record.messages.push_back(message.text + "|" + message.caption);
        record.pixels = host.pixels;
        record.mask = host.mask;
        record.cursorAfter = host.currentCursor;
        return record;
    }

    // The plug-in, then the floor, each on a host set up afresh by `prepare` (and acted on
    // during the fill by a fresh `makeDuring()`): empty when they did the same. `plugInRecord`,
    // if given, receives the plug-in's record.
    std::string CompareWithFloor(const std::function<void()>& prepare, int32_t x, int32_t y,
                                 const std::function<DuringFill()>& makeDuring = nullptr,
                                 FillRecord* plugInRecord = nullptr) {
        auto during = [&] { return makeDuring ? makeDuring() : DuringFill(); };
        FillRecord plugIn = Run(plugin_checks::Plugin().drawIt, prepare, x, y, during());
        FillRecord floor = Run(LoadedFloorFill(), prepare, x, y, during(), &plugIn);
        std::string difference = FirstDifference(plugIn, floor);
        if (floor.firstDifferentCall != SIZE_MAX) {
            const size_t index = floor.firstDifferentCall;
            std::string plugInCall, floorCall;
            Run(plugin_checks::Plugin().drawIt, prepare, x, y, during(), &plugIn, index,
                &plugInCall);
            Run(LoadedFloorFill(), prepare, x, y, during(), &plugIn, index, &floorCall);
            difference += ": the plug-in made " + plugInCall + ", the floor " + floorCall;
        }
        if (plugInRecord != nullptr)
            *plugInRecord = std::move(plugIn);
        return difference;
    }
};

// Few-colour blocks, gradients and noise; pre-flagged pixels and the host's other flag bits;
// bits 24-31; seeds inside and just outside; tolerance texts from -5 to 300 and without digits.
TEST_F(FloorFillTest, MakesThePlugInsCallsOnRandomPictures) {
    int failures = 0;
    for (uint64_t caseNumber = 0; caseNumber < 1000 && failures < 3; ++caseNumber) {
        const plugin_checks::FillCase fill = plugin_checks::RandomFillCase(caseNumber);
        std::string difference = CompareWithFloor(
            [&] { plugin_checks::PrepareHostForCase(host, fill); }, fill.seedX, fill.seedY);
        if (!difference.empty()) {
            ++failures;
            ADD_FAILURE() << "case " << caseNumber << ": " << difference << "\n"
                          << plugin_checks::DescribeFillCase(fill);
        }
    }
}

// Tolerances at and past the ends of their range, as the texts the host stores: negative ones
// (seed alone), ones that wrap around in 32 bits, the largest, none at all; seeds in the corners,
// the middle and just outside a gradient whose steps differ per channel.
TEST_F(FloorFillTest, MakesThePlugInsCallsAtTheTolerancesEdges) {
    const int32_t width = 24, height = 17;
    auto paintGradient = [&] {
        host.MakeCurrent();
        host.Reset(width, height);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                host.Pixel(x, y) = PackedColour(x * 3) << 16 | PackedColour(y * 5) << 8 |
                                   PackedColour((x * y) % 7);
    };
    const std::pair<const char*, const char*> tolerances[] = {
        {"-1", "300"},
        {"300", "-1"},
        {"-2147483648", "5"},
        {"4", "2147483648"},
        {"4294967301", "30"},
        {"2147483647", "2147483647"},
        {"99999999999999999999", "-4294967286"},
        {"", "x"}};
    const std::pair<int32_t, int32_t> seeds[] = {
        {0, 0}, {width - 1, height - 1}, {11, 8}, {-1, 3}, {width, 0}, {3, height}};
    for (const auto& tolerance : tolerances)
        for (const auto& seed : seeds) {
            auto prepare = [&] {
                paintGradient();
                host.SetTolerances(tolerance.first, tolerance.second);
            };
            EXPECT_EQ(CompareWithFloor(prepare, seed.first, seed.second), "")
                << "step \"" << tolerance.first << "\", seed \"" << tolerance.second
                << "\", seed pixel (" << seed.first << "," << seed.second << ")";
        }
}

// A breadth-first front broader than the ring: the floor must paint the pixel that did not fit,
// include it in the last refresh, put the cursor back and show the message as the plug-in does.
// A host that forgets drawn pixels gets there too, on a picture of four pixels.
TEST_F(FloorFillTest, MakesThePlugInsCallsThroughAQueueOverflow) {
    FillRecord plugIn;
    auto corridorTree = [&] {
        host.MakeCurrent();
        plugin_checks::DrawCorridorTree(host, 15, 4);
        host.SetTolerances("0", "0");
    };
    const int32_t root = 1 << 15; // the tree's root, at (0, height / 2)
    EXPECT_EQ(CompareWithFloor(corridorTree, 0, root, nullptr, &plugIn), "");
    EXPECT_EQ(plugIn.messages, std::vector<std::string>{"Buffer over|Err"});

    auto forgetfulHost = [&] {
        host.MakeCurrent();
        host.Reset(2, 2, plugin_checks::Grey(5));
        host.honourDrawFlag = false;
        host.paintColour = plugin_checks::Grey(5);
        host.SetTolerances("0", "0");
    };
    EXPECT_EQ(CompareWithFloor(forgetfulHost, 0, 0, nullptr, &plugIn), "");
    EXPECT_EQ(plugIn.messages, std::vector<std::string>{"Buffer over|Err"});
}

// The handle words change during the fill; reads with stale words fail on this host, so a
// floor that kept them from the start would stop early and make fewer calls than the plug-in.
TEST_F(FloorFillTest, PassesTheHandleWordsOfTheMomentLikeThePlugIn) {
    auto prepare = [&] {
        host.MakeCurrent();
        host.Reset(20, 20, plugin_checks::Grey(9));
        host.dib = CDIB{{0x0D1B0001u, 0x0D1B0002u}}; // as before the other run changed them
        host.SetTolerances("0", "0");
    };
    auto makeDuring = []() -> DuringFill {
        auto reads = std::make_shared<uint64_t>(0);
        return
            [reads](simulated_host::SimulatedHost& target, const simulated_host::HostCall& call) {
                if (call.kind == host_model::HostCallKind::GetColorOnImage && ++*reads % 7 == 0)
                    target.dib.handleWords[*reads % 2] += 1;
            };
    };
    FillRecord plugIn;
    EXPECT_EQ(CompareWithFloor(prepare, 5, 5, makeDuring, &plugIn), "");
    EXPECT_EQ(std::count(plugIn.pixels.begin(), plugIn.pixels.end(), host.paintColour), 400);
}

// The direct fill has no host: it must leave the plug-in's picture and flags, with as many
// refresh requests, on the same random pictures.
TEST_F(FloorFillTest, DirectFillLeavesThePlugInsPictureOnRandomPictures) {
    int failures = 0;
    for (uint64_t caseNumber = 0; caseNumber < 1000 && failures < 3; ++caseNumber) {
        const plugin_checks::FillCase fill = plugin_checks::RandomFillCase(caseNumber);
        plugin_checks::PrepareHostForCase(host, fill);
        host.logging = false;
        plugin_checks::Plugin().drawIt(host.View(), fill.seedX, fill.seedY, 0);

        std::vector<PackedColour> pixels = fill.image.colours;
        std::vector<uint8_t> mask = fill.image.flags;
        bench::DirectFillResult direct = bench::DirectFill(
            fill.image.width, fill.image.height, pixels.data(), mask.data(), fill.paintColour,
            fill.seedX, fill.seedY, ParseToleranceText(fill.stepText.c_str()),
            ParseToleranceText(fill.seedText.c_str()));
        const bool same = pixels == host.pixels && mask == host.mask &&
                          direct.painted == host.CountOf(host_model::HostCallKind::PSet) &&
                          direct.refreshes == host.refreshes.size();
        if (!same) {
            ++failures;
            ADD_FAILURE() << "case " << caseNumber << ": the direct fill painted " << direct.painted
                          << " pixels with " << direct.refreshes << " refreshes, the plug-in "
                          << host.CountOf(host_model::HostCallKind::PSet) << " with "
                          << host.refreshes.size()
                          << (pixels == host.pixels ? "" : "; the pictures differ")
                          << (mask == host.mask ? "" : "; the flags differ") << "\n"
                          << plugin_checks::DescribeFillCase(fill);
        }
    }
}

} // namespace
