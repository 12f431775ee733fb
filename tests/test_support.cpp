#include "test_support.h"

const LoadedPlugin& Plugin() {
    static LoadedPlugin plugin = [] {
        LoadedPlugin loaded;
        std::string error;
        if (!LoadPlugin(PLUGIN_PATH, &loaded, &error))
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
    ASSERT_NE(Plugin().drawIt, nullptr);
    EXPECT_EQ(Plugin().drawIt(host.View(), x, y, 0), 4);
}

std::vector<std::pair<int32_t, int32_t>> PluginTest::PaintedPixels() const {
    std::vector<std::pair<int32_t, int32_t>> painted;
    for (int32_t y = 0; y < host.height; ++y)
        for (int32_t x = 0; x < host.width; ++x)
            if (host.paintCount[host.IndexOf(x, y)] != 0)
                painted.push_back({x, y});
    return painted;
}
