// tool_host_fills.h - one click on a bench image through the tool's own host, as region_grow
// drives it (RunClicks), timed: what tool_host_bench reports and explorer_bench compares the
// explorer's pass with.
#ifndef BENCH_TOOL_HOST_FILLS_H
#define BENCH_TOOL_HOST_FILLS_H

#include "bench_images.h"
#include "fill_run.h"
#include "plugin_loader.h"

namespace bench {

// The fastest of `fills` fills of `image` at its seed with its tolerances, in thread CPU
// seconds. One host and `report` serve every fill, their arrays reused, so that the fill is
// timed and not the first touch of fresh memory; `report` (its keepEpochs as the caller set it)
// holds the last fill's when done.
double BestToolHostFill(const host_model::LoadedPlugin& plugin, const BenchImage& image, int fills,
                        run_records::FillReport* report);

} // namespace bench

#endif
