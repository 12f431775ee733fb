// explore_outputs.h - the files of `region_grow --explore DIR` and its lines on stdout.
//
//   tolerances.png  16-bit grey, the picture's size: each pixel's join tolerance (0-255), 65535
//                   where no step tolerance paints it. For programs.
//   map.png         the same for people: painted pixels coloured by their join tolerance on the
//                   viridis scale (0 up to the largest value in the map), the others the picture
//                   in dimmed grey, the seed marked with a cross, and a legend bar below with the
//                   step values.
//   growth.tsv      "step_tolerance<TAB>pixels_painted", then one row for each step 0..255.
//   growth.svg      the growth curve on a logarithmic pixel axis, the stable ranges shaded, the
//                   given step and the suggestion marked; one curve more for each seed tolerance
//                   of --explore-seeds.
//
// The readings (stable ranges, next leak, suggestion) are tolerance_explorer.h's.
#ifndef GROWTH_VIEWS_EXPLORE_OUTPUTS_H
#define GROWTH_VIEWS_EXPLORE_OUTPUTS_H

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "image_files.h"
#include "tolerance_explorer.h"

namespace growth_views {

struct GrowthCurve {
    std::string seedText; // as typed; for --explore-seeds, the number read
    uint32_t pixels[tolerance_explorer::StepCount];
};

struct Exploration {
    int32_t width = 0, height = 0, seedX = 0, seedY = 0;
    std::string stepText;
    int32_t step = 0;                     // stepText as the plug-in reads it
    std::vector<uint16_t> map;            // join tolerances, row by row
    GrowthCurve curve;                    // for the click's own seed tolerance
    std::vector<GrowthCurve> otherCurves; // --explore-seeds, in the order given
};

// The map in colour, and the growth table and plot.
picture_io::Picture DrawToleranceMap(const Exploration& exploration,
                                     const std::vector<uint32_t>& picture);
void WriteGrowthTable(FILE* file, const Exploration& exploration);
void WriteGrowthPlot(FILE* file, const Exploration& exploration);

// The lines printed after the summary: stable ranges, next leak, suggestion.
std::vector<std::string> ExplorationLines(const Exploration& exploration);

// A tolerance text as the summary and the explorer show it: a whole number from 0 to 255 as
// it is ("12"), any other text quoted with what the plug-in reads it as: "\"1e2\" (read as
// 1)", "\" 7\" (read as 7)", "\"300\" (read as 300)".
std::string ToleranceShown(const std::string& text);

} // namespace growth_views

#endif
