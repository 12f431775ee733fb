#include "tool_host_fills.h"

#include <algorithm>

namespace bench {

double BestToolHostFill(const host_model::LoadedPlugin& plugin, const BenchImage& image, int fills,
                        run_records::FillReport* report) {
    command_line::ToolOptions options;
    options.stepText = image.stepText;
    options.seedText = image.seedText;
    const std::vector<command_line::Click> clicks = {{image.seedX, image.seedY}};
    tool_host::ToolHost host;
    double best = 1e9;
    for (int fill = 0; fill < fills; ++fill) {
        std::vector<uint32_t> picture = image.pixels;
        tool_host::PrepareToolHost(options, image.width, image.height, std::move(picture), &host);
        report->refreshes.clear();
        report->expansions = 0;
        const double start = ThreadSeconds();
        tool_host::RunClicks(&host, plugin, clicks, {}, report);
        best = std::min(best, ThreadSeconds() - start);
    }
    return best;
}

} // namespace bench
