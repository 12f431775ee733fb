// Times the plug-in's fills through the tool's own host (tool_host/tool_host.h), driven by
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

#include <string>

#include "tool_host_fills.h"

int main(int argc, char** argv) {
    const int fills = argc > 1 ? atoi(argv[1]) : 3;
    const bool keepEpochs = argc > 2 && std::string(argv[2]) == "epochs";
    host_model::LoadedPlugin plugin;
    std::string error;
    if (!host_model::LoadPlugin(PLUGIN_PATH, &plugin, &error)) {
        fprintf(stderr, "tool_host_bench: %s\n", error.c_str());
        return 1;
    }
    for (bench::BenchImage (*make)() :
         {bench::UniformImage, bench::PhotographImage, bench::MazeImage}) {
        const bench::BenchImage image = make();
        run_records::FillReport report;
        report.keepEpochs = keepEpochs;
        const double best = bench::BestToolHostFill(plugin, image, fills, &report);
        printf("%s %.9f %llu\n", image.name.c_str(), best,
               (unsigned long long)report.painted.count);
        fflush(stdout);
    }
    return 0;
}
