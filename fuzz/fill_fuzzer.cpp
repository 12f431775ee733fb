// Fuzzes the whole fill: a small image of a few fuzzed colours (bits 24-31 included), fuzzed
// pixel flags, a seed in or just outside the image and two fuzzed tolerance texts, applied
// through the loaded plug-in on the simulated host and compared with the reference model.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdio.h>
#include <stdlib.h>

#include "fill_comparison.h"
#include "plugin_loader.h"

// Up to 24 x 24 pixels: enough for two progressive refresh requests.
enum { MaxSide = 24, MaxPalette = 8 };

static host_model::LoadedPlugin Plugin;
static simulated_host::SimulatedHost Host;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string error;
    if (!LoadPlugin(PLUGIN_PATH, &Plugin, &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        abort();
    }
    return 0;
}

// 0 .. side - 1 inside, side just past the far edge, side + 1 just before the near one.
static int32_t OneStepOutside(int32_t coordinate, int32_t side) {
    return coordinate == side + 1 ? -1 : coordinate;
}

static plugin_checks::FillCase DecodeCase(FuzzedDataProvider& input) {
    plugin_checks::FillCase fill;
    plugin_checks::ModelImage& image = fill.image;
    // Exhausted input reads as zeros, which decode to the largest uniform image, seeded at the
    // corner, with both tolerances 0: a region with progressive refreshes from the start.
    image.width = MaxSide - input.ConsumeIntegralInRange<int32_t>(0, MaxSide - 1);
    image.height = MaxSide - input.ConsumeIntegralInRange<int32_t>(0, MaxSide - 1);
    fill.seedX =
        OneStepOutside(input.ConsumeIntegralInRange<int32_t>(0, image.width + 1), image.width);
    fill.seedY =
        OneStepOutside(input.ConsumeIntegralInRange<int32_t>(0, image.height + 1), image.height);
    fill.stepText = input.ConsumeRandomLengthString(12);
    fill.seedText = input.ConsumeRandomLengthString(12);
    fill.paintColour = input.ConsumeIntegral<uint32_t>();

    PackedColour palette[MaxPalette];
    const int paletteSize = input.ConsumeIntegralInRange<int>(1, MaxPalette);
    for (int i = 0; i < paletteSize; ++i)
        palette[i] = input.ConsumeIntegral<uint32_t>();
    // One byte per pixel: the palette entry, the drawn bit, one of the host's other flag bits.
    const size_t count = size_t(image.width) * size_t(image.height);
    image.colours.resize(count);
    image.flags.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t pixel = input.ConsumeIntegral<uint8_t>();
        image.colours[i] = palette[(pixel & 0x0F) % paletteSize];
        image.flags[i] = uint8_t((pixel & 0x80 ? MaskDrawnBit : 0) | (pixel & 0x10 ? 0x81 : 0));
    }
    return fill;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const plugin_checks::FillCase fill = DecodeCase(input);
    const std::string fault = CompareFillWithModel(Host, Plugin.drawIt, fill);
    if (!fault.empty()) {
        fprintf(stderr, "plug-in and model disagree: %s\n%s", fault.c_str(),
                DescribeFillCase(fill).c_str());
        abort();
    }
    return 0;
}
