// Times the plug-in's fills through the tool's own host (tools/tool_host.h), driven by
// RunClicks as region_grow drives it (paint epochs and refresh rectangles gathered). fill_bench
// runs it as a child process, since this executable exports the tool host's services where
// fill_bench exports the counting host's, and the plug-in binds to whichever its process offers.
//
// Usage: tool_host_bench FILLS [epochs]. With "epochs" the fills also keep each pixel's refresh
// epoch, as region_grow does for frames and animations. Prints one line per bench image:
//   IMAGE BEST-SECONDS PAINTED-PIXELS
// BEST-SECONDS is the thread CPU time of the fastest of FILLS one-click runs.
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <string>

#include "bench_images.h"
#include "simulated_host/plugin_loader.h"
#include "tools/fill_run.h"

static double ThreadSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

int main(int argc, char** argv) {
    const int fills = argc > 1 ? atoi(argv[1]) : 3;
    const bool keepEpochs = argc > 2 && std::string(argv[2]) == "epochs";
    LoadedPlugin plugin;
    std::string error;
    if (!LoadPlugin(PLUGIN_PATH, &plugin, &error)) {
        fprintf(stderr, "tool_host_bench: %s\n", error.c_str());
        return 1;
    }
    for (BenchImage (*make)() : {UniformImage, PhotographImage, MazeImage}) {
        const BenchImage image = make();
        ToolOptions options;
        options.stepText = image.stepText;
        options.seedText = image.seedText;
        const std::vector<Click> clicks = {{image.seedX, image.seedY}};
        double best = 1e9;
        uint64_t painted = 0;
        // One host and one report for all fills, as the counting host reuses its arrays: the
        // fill is timed, not the first touch of fresh memory.
        ToolHost host;
        FillReport report;
        report.keepEpochs = keepEpochs;
        for (int fill = 0; fill < fills; ++fill) {
            std::vector<uint32_t> picture = image.pixels;
            PrepareToolHost(options, image.width, image.height, std::move(picture), &host);
            report.refreshes.clear();
            report.expansions = 0;
            const double start = ThreadSeconds();
            RunClicks(&host, plugin, clicks, {}, &report);
            best = std::min(best, ThreadSeconds() - start);
            painted = report.paintedPixels;
        }
        printf("%s %.9f %llu\n", image.name.c_str(), best, (unsigned long long)painted);
        fflush(stdout);
    }
    return 0;
}
