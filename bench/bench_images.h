// bench_images.h - the large images the fills are timed on, each with its seed and tolerances,
// and the clock they are timed by.
//   uniform:     4096 x 4096 of one colour; the fill paints every pixel.
//   photograph:  4096 x 4096 of smooth, photograph-like shading with fine noise; the fill paints
//                a large region with a ragged outline, holes and a fringe.
//   maze:        4095 x 4095, a perfect maze of one-pixel corridors between one-pixel walls; the
//                fill runs through every corridor with a short pending queue.
#ifndef BENCH_BENCH_IMAGES_H
#define BENCH_BENCH_IMAGES_H

#include <stdint.h>

#include <string>
#include <vector>

#include "host_services.h"

namespace bench {

struct BenchImage {
    std::string name;
    int32_t width = 0, height = 0;
    std::vector<PackedColour> pixels; // row-major
    int32_t seedX = 0, seedY = 0;
    const char* stepText = "0";
    const char* seedText = "0";
};

BenchImage UniformImage();
BenchImage PhotographImage();
BenchImage MazeImage();

// This thread's processor time in seconds, what the benchmarks time fills by: other processes
// on a busy machine inflate wall-clock time, while this thread's time only counts while it runs.
double ThreadSeconds();

} // namespace bench

#endif
