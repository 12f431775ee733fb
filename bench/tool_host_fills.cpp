#include "tool_host_fills.h"

#include <algorithm>

double BestToolHostFill(const LoadedPlugin& plugin, const BenchImage& image, int fills,
                        FillReport* report) {
    ToolOptions options;
    options.stepText = image.stepText;
    options.seedText = image.seedText;
    const std::vector<Click> clicks = {{image.seedX, image.seedY}};
    ToolHost host;
    double best = 1e9;
    for (int fill = 0; fill < fills; ++fill) {
        std::vector<uint32_t> picture = image.pixels;
        PrepareToolHost(options, image.width, image.height, std::move(picture), &host);
        report->refreshes.clear();
        report->expansions = 0;
        const double start = ThreadSeconds();
        RunClicks(&host, plugin, clicks, {}, report);
        best = std::min(best, ThreadSeconds() - start);
    }
    return best;
}
