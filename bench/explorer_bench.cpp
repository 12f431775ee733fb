// Times the tolerance explorer's pass against the plug-in's fill through the tool's own host, on
// the same clicks: a uniform 6000 x 4000 picture clicked in the middle (both fill it all) and
// the photograph-like bench picture with its click and tolerances. The fill is timed as
// tool_host_bench times it (the fastest of a few, thread CPU time); so is the pass, which is also
// checked to predict exactly the pixels the fill painted.
//
// Prints per picture: the fill's and the pass's best seconds, their ratio (the goal: at most
// 0.5), the explorer's memory (map and scratch) per pixel, the pixels the pass reaches (those
// some step paints: it works out every step's fill, not only the one timed) and the pixels the
// fill painted, and at the end the process's peak resident memory.
#include <stdio.h>
#include <sys/resource.h>

#include <algorithm>
#include <memory>
#include <string>

#include "bench_images.h"
#include "plugin_loader.h"
#include "tolerance_explorer.h"
#include "tool_host_fills.h"

static bench::BenchImage WideUniformImage() {
    bench::BenchImage image;
    image.name = "uniform 6000x4000";
    image.width = 6000;
    image.height = 4000;
    image.pixels.assign(size_t(6000) * 4000, 0x00808080u);
    image.seedX = 3000;
    image.seedY = 2000;
    image.stepText = "12";
    image.seedText = "40";
    return image;
}

int main() {
    const int Repeats = 3;
    host_model::LoadedPlugin plugin;
    std::string error;
    if (!host_model::LoadPlugin(PLUGIN_PATH, &plugin, &error)) {
        fprintf(stderr, "explorer_bench: %s\n", error.c_str());
        return 1;
    }
    bool allAgree = true;
    double worstRatio = 0;
    printf("%-20s %9s %9s %6s %8s %10s %s\n", "picture", "fill s", "explore s", "ratio", "B/pixel",
           "reached", "painted at the step");
    for (bench::BenchImage (*make)() : {WideUniformImage, bench::PhotographImage}) {
        const bench::BenchImage image = make();
        run_records::FillReport report;
        const double fillBest = bench::BestToolHostFill(plugin, image, Repeats, &report);

        const size_t pixels = image.pixels.size();
        const size_t scratchBytes =
            tolerance_explorer::JoinToleranceScratchBytes(image.width, image.height);
        std::unique_ptr<uint32_t[]> scratch(new uint32_t[scratchBytes / 4 + 1]);
        std::unique_ptr<uint16_t[]> map(new uint16_t[pixels]);
        tolerance_explorer::ExplorerPicture view = {image.pixels.data(), nullptr, image.width,
                                                    image.height};
        uint32_t curve[tolerance_explorer::StepCount];
        double exploreBest = 1e9;
        for (int i = 0; i < Repeats; ++i) {
            const double start = bench::ThreadSeconds();
            tolerance_explorer::ComputeJoinTolerances(
                &view, image.seedX, image.seedY, ParseToleranceText(image.seedText), scratch.get(),
                scratchBytes, map.get(), curve);
            exploreBest = std::min(exploreBest, bench::ThreadSeconds() - start);
        }

        // The pass must predict the fill it is timed against, pixel for pixel.
        const int32_t step =
            std::min(ParseToleranceText(image.stepText), tolerance_explorer::StepCount - 1);
        size_t differing = 0;
        for (size_t p = 0; p < pixels; ++p)
            differing += report.Painted(p) != (map[p] <= step);
        allAgree = allAgree && differing == 0 && run_records::FirstBufferOverClick(report) < 0;

        const double ratio = exploreBest / fillBest;
        worstRatio = std::max(worstRatio, ratio);
        printf("%-20s %9.4f %9.4f %6.3f %8.2f %10lu %llu%s\n", image.name.c_str(), fillBest,
               exploreBest, ratio, double(scratchBytes + 2 * pixels) / double(pixels),
               (unsigned long)curve[tolerance_explorer::StepCount - 1],
               (unsigned long long)report.painted.count,
               differing == 0 ? "" : (", " + std::to_string(differing) + " pixels differ").c_str());
        fflush(stdout);
    }
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);

    printf("peak resident memory: %.1f MB (the pictures, and the tool's host or the explorer)\n",
           double(usage.ru_maxrss) / 1024.0);
    printf("explorer time over fill time, worst: %.3f (goal: at most 0.5)\n", worstRatio);
    return allAgree ? 0 : 1;
}
