// fill_comparison.h - runs one fill through the loaded plug-in on the simulated host and holds
// what the host saw against the reference model. Shared by the model comparison test and the
// fill fuzzer.
//
// Checked, for a fill that ends normally:
//   - the pixels painted are exactly the model's painted set, each painted once;
//   - there are ModelRefreshCount(N) refresh requests for N painted pixels, and no message box;
//   - each request covers the bounding box of the pixels painted since the previous request, or
//     is (-1, -1, -1, -1) when none were;
//   - each progressive request comes right after its expansion, and the last at the end. Every
//     expansion reads the colours of four candidates, so expansion k has ended when the seed's
//     read and 4k candidate reads have been made.
#ifndef TESTS_FILL_COMPARISON_H
#define TESTS_FILL_COMPARISON_H

#include <string>

#include "reference_model.h"
#include "simulated_host.h"

namespace plugin_checks {

struct FillCase {
    ModelImage image;
    int32_t seedX = 0, seedY = 0;
    std::string stepText, seedText;
    PackedColour paintColour = 0;
};

// Makes `host` current and gives it the case's picture, flags, paint colour and tolerances, with
// an empty log.
void PrepareHostForCase(simulated_host::SimulatedHost& host, const FillCase& fill);

// Prepares `host` for the case, applies the tool through `drawIt` and compares.
// Returns an empty text when plug-in and model agree, otherwise the first disagreement.
std::string CompareFillWithModel(simulated_host::SimulatedHost& host, VXcDrawItFn drawIt,
                                 const FillCase& fill);

// The case in a few lines, for a failure message.
std::string DescribeFillCase(const FillCase& fill);

} // namespace plugin_checks

#endif
