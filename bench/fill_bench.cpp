// Times the plug-in's fill against the protocol floor and the direct-memory fill on three large
// images, with the counting host. Before timing, it checks that the plug-in and the floor make
// the same host calls in the same order, and that the direct fill paints as many pixels.
// Variant "tool host": the plug-in's same fills through region_grow's own host, timed by
// tool_host_bench in a child process (best of as many fills), which must paint as many pixels;
// "tool+epochs": the same, also keeping each pixel's refresh epoch, as region_grow does when
// it writes frames or an animation.
//
// Output: Google Benchmark's table (manual time: the fill's own thread CPU time, without the
// image's reset), then a summary from the best of each variant's fills: expanded pixels per second,
// ns per expanded pixel, the plug-in's time over the floor's and over the direct fill's, the heap
// allocations counted during the timed fills, and last "ratio to floor: R" for the worst image.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <map>
#include <numeric>

#include "allocation_hook.h"
#include "bench_images.h"
#include "counting_host.h"
#include "direct_fill.h"
#include "plugin_exports.h"
#include "tolerance_text.h"

namespace {

enum { Rounds = 6, FillsPerRound = 2 };

enum Variant { PlugIn, Floor, Direct, VariantCount, ToolHost = VariantCount, ToolHostEpochs };
const char* const VariantNames[ToolHostEpochs + 1] = {"plug-in", "floor", "direct", "tool host",
                                                      "tool+epochs"};

struct Measurement {
    uint64_t expanded = 0;    // pixels expanded (= painted) by one fill
    double bestSeconds = 1e9; // fastest timed fill
    uint64_t allocations = 0; // during all timed fills
};

std::vector<bench::BenchImage> Images;
VXcDrawItFn PlugInFill = nullptr;
VXcDrawItFn FloorFill = nullptr;
std::map<std::pair<size_t, int>, Measurement> Results;

// Direct fill's own copy of the image.
std::vector<PackedColour> DirectPixels;
std::vector<uint8_t> DirectMask;

void* LoadSymbol(const char* path, const char* name) {
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    void* symbol = module != nullptr ? dlsym(module, name) : nullptr;
    if (symbol == nullptr) {
        fprintf(stderr, "cannot load %s from %s: %s\n", name, path, dlerror());
        exit(1);
    }
    return symbol;
}

void Prepare(const bench::BenchImage& image, Variant variant) {
    if (variant == Direct) {
        DirectPixels = image.pixels;
        DirectMask.assign(image.pixels.size(), 0);
        return;
    }
    bench::Host.Load(image.width, image.height, image.pixels);
    bench::Host.parameters[0] = image.stepText;
    bench::Host.parameters[1] = image.seedText;
}

// One fill; returns the pixels it expanded.
uint64_t Fill(const bench::BenchImage& image, Variant variant) {
    if (variant == Direct)
        return bench::DirectFill(image.width, image.height, DirectPixels.data(), DirectMask.data(),
                                 bench::Host.paintColour, image.seedX, image.seedY,
                                 ParseToleranceText(image.stepText),
                                 ParseToleranceText(image.seedText))
            .painted;
    VXcDrawItFn fill = variant == PlugIn ? PlugInFill : FloorFill;
    fill(bench::Host.View(), image.seedX, image.seedY, 0);
    return bench::Host.counts[bench::CountedPSet];
}

// The plug-in and the floor must make identical call sequences, and the direct fill must paint
// as many pixels; a benchmark of fills that differ would compare nothing.
bool CheckSameWork(const bench::BenchImage& image) {
    uint64_t hashes[2], counts[2][bench::CountedCallKinds];
    for (Variant variant : {PlugIn, Floor}) {
        Prepare(image, variant);
        bench::Host.hashing = true;
        Fill(image, variant);
        bench::Host.hashing = false;
        hashes[variant] = bench::Host.sequenceHash;
        std::copy(bench::Host.counts, bench::Host.counts + bench::CountedCallKinds,
                  counts[variant]);
    }
    Prepare(image, Direct);
    const uint64_t directPainted = Fill(image, Direct);
    const bool same =
        hashes[PlugIn] == hashes[Floor] &&
        std::equal(counts[PlugIn], counts[PlugIn] + bench::CountedCallKinds, counts[Floor]) &&
        directPainted == counts[PlugIn][bench::CountedPSet] &&
        counts[PlugIn][bench::CountedMessageBox] == 0;
    const uint64_t calls =
        std::accumulate(counts[PlugIn], counts[PlugIn] + bench::CountedCallKinds, uint64_t(0));
    printf("%-10s %llu pixels expanded, %llu host calls, %llu refresh requests: %s\n",
           image.name.c_str(), static_cast<unsigned long long>(directPainted),
           static_cast<unsigned long long>(calls),
           static_cast<unsigned long long>(counts[PlugIn][bench::CountedUpdateImageWindow]),
           same ? "plug-in and floor make the same calls" : "THE FILLS DIFFER");
    return same;
}

void TimeFill(benchmark::State& state, size_t imageIndex, Variant variant) {
    const bench::BenchImage& image = Images[imageIndex];
    Measurement& result = Results[{imageIndex, variant}];
    double totalSeconds = 0;
    for (auto _ : state) {
        Prepare(image, variant);
        bench::StartCountingAllocations();
        const double start = bench::ThreadSeconds();
        result.expanded = Fill(image, variant);
        const double seconds = bench::ThreadSeconds() - start;
        result.allocations += bench::StopCountingAllocations();
        state.SetIterationTime(seconds);
        result.bestSeconds = std::min(result.bestSeconds, seconds);
        totalSeconds += seconds;
    }
    const double expanded = double(result.expanded) * double(state.iterations());
    state.SetItemsProcessed(int64_t(expanded));
    state.counters["ns/px"] = totalSeconds * 1e9 / expanded;
    state.counters["allocs"] = double(result.allocations);
}

// The tool host's fills, from tool_host_bench: false when it fails or paints differently.
bool TimeToolHost(Variant variant) {
    const std::string command = std::string(TOOL_HOST_BENCH_PATH) + " " +
                                std::to_string(Rounds * FillsPerRound) +
                                (variant == ToolHostEpochs ? " epochs" : "");
    FILE* child = popen(command.c_str(), "r");
    if (child == nullptr)
        return false;
    char name[64];
    double seconds;
    unsigned long long painted;
    while (fscanf(child, "%63s %lf %llu", name, &seconds, &painted) == 3)
        for (size_t i = 0; i < Images.size(); ++i)
            if (Images[i].name == name) {
                Measurement& m = Results[{i, variant}];
                m.expanded = painted;
                m.bestSeconds = seconds;
            }
    const bool exited = pclose(child) == 0;
    bool same = exited;
    for (size_t i = 0; i < Images.size(); ++i) {
        const bool painted = Results.count({i, variant}) != 0 && Results.count({i, PlugIn}) != 0 &&
                             Results[{i, variant}].expanded == Results[{i, PlugIn}].expanded;
        if (Results.count({i, PlugIn}) != 0 && !painted) {
            fprintf(stderr, "%s: %s not timed or painted differently\n", VariantNames[variant],
                    Images[i].name.c_str());
            same = false;
        }
    }
    return same;
}

// An image enters the summary once all three variants have been timed on it.
bool Measured(size_t image) {
    for (int variant = 0; variant < VariantCount; ++variant)
        if (Results.count({image, variant}) == 0)
            return false;
    return true;
}

void PrintSummary() {
    printf("\nBest of each variant's runs:\n");
    printf("%-10s %9s %-8s %10s %8s\n", "image", "pixels", "variant", "Mpx/s", "ns/px");
    for (size_t i = 0; i < Images.size(); ++i)
        for (int variant = 0; variant <= ToolHostEpochs && Measured(i); ++variant) {
            if (Results.count({i, variant}) == 0)
                continue;
            const Measurement& m = Results[{i, variant}];
            printf("%-10s %9llu %-8s %10.1f %8.2f\n", Images[i].name.c_str(),
                   static_cast<unsigned long long>(m.expanded), VariantNames[variant],
                   double(m.expanded) / m.bestSeconds / 1e6,
                   m.bestSeconds * 1e9 / double(m.expanded));
        }
    printf("\n%-10s %16s %18s %20s %17s %16s\n", "image", "plug-in / floor", "tool host / floor",
           "tool+epochs / floor", "plug-in / direct", "floor / direct");
    double worst = 0, worstToolHost = 0, worstEpochs = 0;
    uint64_t allocations = 0;
    for (size_t i = 0; i < Images.size(); ++i) {
        if (!Measured(i))
            continue;
        const double plugIn = Results[{i, PlugIn}].bestSeconds;
        const double floor = Results[{i, Floor}].bestSeconds;
        const double direct = Results[{i, Direct}].bestSeconds;
        const double toolHost =
            Results.count({i, ToolHost}) != 0 ? Results[{i, ToolHost}].bestSeconds : 0;
        const double epochs =
            Results.count({i, ToolHostEpochs}) != 0 ? Results[{i, ToolHostEpochs}].bestSeconds : 0;
        printf("%-10s %16.2f %18.2f %20.2f %17.2f %16.2f\n", Images[i].name.c_str(), plugIn / floor,
               toolHost / floor, epochs / floor, plugIn / direct, floor / direct);
        worst = std::max(worst, plugIn / floor);
        worstToolHost = std::max(worstToolHost, toolHost / floor);
        worstEpochs = std::max(worstEpochs, epochs / floor);
        allocations += Results[{i, PlugIn}].allocations;
    }
    printf("heap allocations during the plug-in's timed fills: %llu\n",
           static_cast<unsigned long long>(allocations));
    printf("ratio to floor: %.2f\n", worst);
    printf("tool host ratio to floor: %.2f (keeping refresh epochs: %.2f)\n", worstToolHost,
           worstEpochs);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    PlugInFill = reinterpret_cast<VXcDrawItFn>(LoadSymbol(PLUGIN_PATH, "VXcDrawIt"));
    FloorFill = reinterpret_cast<VXcDrawItFn>(LoadSymbol(FLOOR_PATH, "FloorFill"));
    Images.push_back(bench::UniformImage());
    Images.push_back(bench::PhotographImage());
    Images.push_back(bench::MazeImage());

    // The hook must see an allocation, or its zero during the fills would mean nothing.
    void* (*volatile allocate)(size_t) = malloc;
    bench::StartCountingAllocations();
    free(allocate(16));
    if (bench::StopCountingAllocations() == 0) {
        fprintf(stderr, "the allocation hook counts nothing\n");
        return 1;
    }

    bool same = true;
    for (const bench::BenchImage& image : Images)
        same = CheckSameWork(image) && same;
    if (!same)
        return 1;

    // Rounds interleave the variants, so that a busy spell on the machine does not fall on one
    // variant alone; the summary takes each variant's best fill over all rounds.
    for (int round = 1; round <= Rounds; ++round)
        for (size_t i = 0; i < Images.size(); ++i)
            for (int variant = 0; variant < VariantCount; ++variant)
                benchmark::RegisterBenchmark(
                    (Images[i].name + "/" + VariantNames[variant] +
                     "/round:" + std::to_string(round))
                        .c_str(),
                    [i, variant](benchmark::State& state) { TimeFill(state, i, Variant(variant)); })
                    ->UseManualTime()
                    ->Iterations(FillsPerRound)
                    ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const bool toolHost = TimeToolHost(ToolHost) && TimeToolHost(ToolHostEpochs);
    PrintSummary();
    return toolHost ? 0 : 1;
}
