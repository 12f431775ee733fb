// fill_run.h - applies the tool through the tool host (tool_host.h), click after click, and
// gathers what the host saw into a FillReport (fill_report.h).
//
// Each click is one operation of the host: before it, the drawn flags are reset to the
// starting mask (from --drawn, or clear), while the picture keeps the paint of earlier clicks.
// A click costs what it paints, not what the picture holds: only the flags the previous click
// set are reset, and refresh rectangles are kept only when an output shows them.
#ifndef TOOLS_FILL_RUN_H
#define TOOLS_FILL_RUN_H

#include <stdint.h>

#include <vector>

#include "fill_report.h"
#include "simulated_host/plugin_loader.h"
#include "tool_host.h"
#include "tool_options.h"

// Sets `host` up as the tool's host: it takes over the picture and paints in the options'
// colour with their tolerance texts.
void PrepareToolHost(const ToolOptions& options, int32_t width, int32_t height,
                     std::vector<uint32_t>&& picture, ToolHost* host);

// Runs the clicks in order on `host`, which holds the picture, the tolerances and the paint
// colour already; `startMask` holds the flags each click starts from (empty: all clear). The
// host is made current. `afterClick`, when given, runs after each click with the number done.
void RunClicks(ToolHost* host, const LoadedPlugin& plugin, const std::vector<Click>& clicks,
               const std::vector<uint8_t>& startMask, FillReport* report,
               void (*afterClick)(size_t clicksDone) = nullptr);

#endif
