// The tool host (tool_host/tool_host.h) and RunClicks over it, in-process: this executable links
// the tool host where tool_tests links the simulated host, as region_grow and the tests do.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fill_run.h"
#include "plugin_loader.h"

namespace {

host_model::LoadedPlugin Plugin() {
    host_model::LoadedPlugin plugin;
    std::string error;
    EXPECT_TRUE(host_model::LoadPlugin(PLUGIN_PATH, &plugin, &error)) << error;
    return plugin;
}

// ---- Clicks: flags put back per click ----------------------------------------------------------

// A drawn column splits a 100 x 100 picture: a small region left of it (its flags are undone one
// by one) and a large one right of it (the whole mask is reset). Every click starts from the
// starting mask, whichever way the previous click's flags were undone.
TEST(ClickFlags, EachClickStartsFromTheStartingMask) {
    const host_model::LoadedPlugin plugin = Plugin();
    command_line::ToolOptions options;
    tool_host::ToolHost host;
    tool_host::PrepareToolHost(options, 100, 100, std::vector<uint32_t>(10000, 0x00808080u), &host);
    std::vector<uint8_t> startMask(10000, 0);
    for (int y = 0; y < 100; ++y)
        startMask[size_t(y) * 100 + 1] = MaskDrawnBit;
    // After each click, the flags set are the mask's plus that click's region.
    static tool_host::ToolHost* watched;
    static uint64_t drawnAfter[5];
    watched = &host;
    const std::vector<command_line::Click> clicks = {{0, 5}, {0, 50}, {50, 50}, {99, 0}, {0, 99}};
    run_records::FillReport report;
    report.keepRefreshes = false;
    tool_host::RunClicks(&host, plugin, clicks, startMask, &report, [](size_t done) {
        drawnAfter[done - 1] = 0;
        for (uint8_t flags : watched->mask)
            drawnAfter[done - 1] += (flags & MaskDrawnBit) != 0;
    });
    const uint64_t afterLeft = 100 + 100, afterRight = 100 + 9800;
    EXPECT_EQ(drawnAfter[0], afterLeft);
    EXPECT_EQ(drawnAfter[1], afterLeft);
    EXPECT_EQ(drawnAfter[2], afterRight);
    EXPECT_EQ(drawnAfter[3], afterRight);
    EXPECT_EQ(drawnAfter[4], afterLeft);
    EXPECT_EQ(report.expansions, 100u + 100u + 9800u + 9800u + 100u);

    // Rectangles not kept are still counted, as many as are kept when asked for.
    EXPECT_TRUE(report.refreshes.empty());
    PrepareToolHost(options, 100, 100, std::vector<uint32_t>(10000, 0x00808080u), &host);
    run_records::FillReport kept;
    RunClicks(&host, plugin, clicks, startMask, &kept);
    EXPECT_GT(kept.refreshes.size(), clicks.size());
    EXPECT_EQ(kept.refreshCount, kept.refreshes.size());
    EXPECT_EQ(report.refreshCount, kept.refreshCount);
}

// A mask changed between runs without a new picture: the next run's first click still starts
// from the starting mask, not only where the last click set flags. The first run paints one
// pixel, so that its flags are few enough to be put back one by one.
TEST(ClickFlags, ANewRunStartsFromTheStartingMaskWhateverTheMaskHolds) {
    const host_model::LoadedPlugin plugin = Plugin();
    command_line::ToolOptions options;
    options.stepText = options.seedText = "0";
    tool_host::ToolHost host;
    std::vector<uint32_t> picture(1200, 0x00808080u);
    picture[3 * 40 + 3] = 0x00000000u;
    tool_host::PrepareToolHost(options, 40, 30, std::move(picture), &host);
    run_records::FillReport first;
    tool_host::RunClicks(&host, plugin, {{3, 3}}, {}, &first);
    ASSERT_EQ(first.painted.count, 1u);
    host.mask.assign(host.mask.size(), MaskDrawnBit); // as a caller's own use of the mask might
    run_records::FillReport second;
    RunClicks(&host, plugin, {{10, 10}}, {}, &second);
    EXPECT_EQ(second.painted.count, 1199u);
}

// ---- What the window needs, without a log ------------------------------------------------------

TEST(ToolHostRun, CountsAndGathersWhatTheWindowNeeds) {
    const host_model::LoadedPlugin plugin = Plugin();
    command_line::ToolOptions options;
    options.stepText = options.seedText = "0";
    tool_host::ToolHost host;
    tool_host::PrepareToolHost(options, 30, 20, std::vector<uint32_t>(600, 0x00123456u), &host);
    run_records::FillReport report;
    report.keepEpochs = true;
    tool_host::RunClicks(&host, plugin, {{5, 5}}, {}, &report);
    EXPECT_EQ(host.CountOf(host_model::HostCallKind::PSet), 600u);
    EXPECT_EQ(host.CountOf(host_model::HostCallKind::SetDrawFlag), 600u);
    EXPECT_EQ(report.painted.count, 600u);
    // 600 pixels expanded: a request after the 201st and the 401st, and the last. Each pixel
    // was painted before one of them; more than 201 before the first, as the fill paints a
    // neighbour when it joins, before expanding it.
    ASSERT_EQ(report.refreshes.size(), 3u);
    std::vector<int> painted(4, 0);
    for (size_t p = 0; p < 600; ++p)
        ++painted[std::min<uint32_t>(report.PaintEpoch(p), 3)];
    EXPECT_GT(painted[0], 201);
    EXPECT_GT(painted[1], 0);
    EXPECT_GT(painted[2], 0);
    EXPECT_EQ(painted[3], 0);
    // The cursor is back to what it was, through the tool host's platform answers.
    EXPECT_EQ(host.currentCursor, host_model::ArrowCursor);
    EXPECT_EQ(host.CountOf(host_model::HostCallKind::SetCursor), 2u);
}

// The editor repaints from the refresh callback: each request reaches it once, counted first,
// and a pixel painted outside the picture is neither painted nor recorded.
TEST(ToolHostRun, HandsEachRefreshToTheCallbackAndPaintsOnlyInside) {
    const host_model::LoadedPlugin plugin = Plugin();
    tool_host::ToolHost host;
    host.Reset(25, 25, 0x00404040u);
    host.SetTolerances("0", "0");
    host.keepRefreshes = false;
    host.painted.Start(host.pixels.size(), false);
    std::vector<uint64_t> countsSeen;
    host.onRefresh = [&](const host_model::RefreshRect&) {
        countsSeen.push_back(host.refreshCount);
    };
    host.MakeCurrent();
    plugin.drawIt(host.View(), 2, 2, 0);
    ASSERT_EQ(countsSeen.size(), host.refreshCount);
    ASSERT_EQ(host.refreshCount, 4u); // 625 expansions: after 201, 401 and 601, and the last
    for (size_t k = 0; k < countsSeen.size(); ++k)
        EXPECT_EQ(countsSeen[k], k + 1);
    EXPECT_TRUE(host.refreshes.empty());
    EXPECT_EQ(host.painted.count, 625u);

    // The plug-in never paints outside; a host must still not write there when asked.
    const std::vector<PackedColour> before = host.pixels;
    host.paintColour = 0x00ABCDEFu;
    _VXsPSet(host.View(), 25, 0, 0);
    _VXsPSet(host.View(), -1, 3, 0);
    _VXsSetDrawFlag(host.View(), 0, 25, 1);
    EXPECT_EQ(host.pixels, before);
    EXPECT_EQ(host.mask, std::vector<uint8_t>(625, MaskDrawnBit));
}

} // namespace
