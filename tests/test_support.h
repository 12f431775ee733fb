// Shared set-up for the plug-in tests: the plug-in loaded once per process, and a fresh
// simulated host per test.
#ifndef TESTS_TEST_SUPPORT_H
#define TESTS_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "plugin_loader.h"
#include "simulated_host.h"

namespace plugin_checks {

// The plug-in under test, loaded by path on first use.
const host_model::LoadedPlugin& Plugin();

// A colour with all three channels set to `level`.
inline PackedColour Grey(int level) {
    return PackedColour(level) * 0x010101u;
}

// A binary tree of one-pixel corridors (Grey(255)) on a wall (Grey(0)), every root-to-leaf path
// of the same length, so the breadth-first front from the root doubles at each branching:
// `levels` of branching give 2^levels corridor ends, each followed by `leafLength` pixels, all
// reached at the same step. The root is at (0, host.height / 2). 15 levels are more than the
// queue holds; 14 fit.
void DrawCorridorTree(simulated_host::SimulatedHost& host, int levels, int32_t leafLength);

class PluginTest : public ::testing::Test {
  protected:
    simulated_host::SimulatedHost host;

    void SetUp() override {
        host.MakeCurrent();
        ASSERT_NE(plugin_checks::Plugin().drawIt, nullptr) << "the plug-in did not load";
    }

    // An image of grey levels, rows[y][x].
    void UseGreyImage(const std::vector<std::vector<int>>& rows);

    // Applies the tool at (x, y); expects the protocol's answer 4.
    void ClickAt(int32_t x, int32_t y);

    // Pixels painted at least once, in row-major order.
    std::vector<std::pair<int32_t, int32_t>> PaintedPixels() const;
};

} // namespace plugin_checks

#endif
