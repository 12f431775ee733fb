#include "test_support.h"

namespace plugin_checks {

const host_model::LoadedPlugin& Plugin() {
    static host_model::LoadedPlugin plugin = [] {
        host_model::LoadedPlugin loaded;
        std::string error;
        if (!host_model::LoadPlugin(PLUGIN_PATH, &loaded, &error))
            ADD_FAILURE() << error;
        return loaded;
    }();
    return plugin;
}

void PluginTest::UseGreyImage(const std::vector<std::vector<int>>& rows) {
    host.Reset(int32_t(rows.front().size()), int32_t(rows.size()));
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x)
            host.Pixel(int32_t(x), int32_t(y)) = Grey(rows[y][x]);
}

void PluginTest::ClickAt(int32_t x, int32_t y) {
    ASSERT_NE(plugin_checks::Plugin().drawIt, nullptr);
    EXPECT_EQ(plugin_checks::Plugin().drawIt(host.View(), x, y, 0), 4);
}

std::vector<std::pair<int32_t, int32_t>> PluginTest::PaintedPixels() const {
    std::vector<std::pair<int32_t, int32_t>> painted;
    for (int32_t y = 0; y < host.height; ++y)
        for (int32_t x = 0; x < host.width; ++x)
            if (host.paintCount[host.IndexOf(x, y)] != 0)
                painted.push_back({x, y});
    return painted;
}

void DrawCorridorTree(simulated_host::SimulatedHost& host, int levels, int32_t leafLength) {
    const int32_t height = int32_t(2) << levels;
    const int32_t width = 2 * levels + leafLength + 1;
    const PackedColour wall = Grey(0), corridor = Grey(255);
    host.Reset(width, height, wall);
    std::vector<int32_t> nodes = {height / 2};
    for (int level = 0; level < levels; ++level) {
        const int32_t column = 2 * level, half = int32_t(1) << (levels - 1 - level);
        std::vector<int32_t> children;
        for (int32_t row : nodes) {
            for (int32_t y = row - half; y <= row + half; ++y)
                host.Pixel(column, y) = corridor;
            for (int32_t child : {row - half, row + half}) {
                host.Pixel(column + 1, child) = corridor;
                children.push_back(child);
            }
        }
        nodes = children;
    }
    for (int32_t row : nodes)
        for (int32_t x = 2 * levels; x < width; ++x)
            host.Pixel(x, row) = corridor;
}

} // namespace plugin_checks
