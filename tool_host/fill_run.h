// fill_run.h - applies the tool through the tool host (tool_host.h), click after click, and
// gathers what the host saw into a FillReport (fill_report.h).
//
// Each click is one operation of the host: before it, the drawn flags are reset to the
// starting mask (from --drawn, or clear), while the picture keeps the paint of earlier clicks.
// A click costs what it paints, not what the picture holds: only the flags the previous click
// set are reset, and refresh rectangles are kept only when an output shows them.
#ifndef TOOL_HOST_FILL_RUN_H
#define TOOL_HOST_FILL_RUN_H

#include <stdint.h>

#include <vector>

#include "fill_report.h"
#include "plugin_loader.h"
#include "tool_host.h"
#include "tool_options.h"

namespace tool_host {

// Sets `host` up as the tool's host: it takes over the picture and paints in the options'
// colour with their tolerance texts.
void PrepareToolHost(const command_line::ToolOptions& options, int32_t width, int32_t height,
                     std::vector<uint32_t>&& picture, ToolHost* host);

// Runs the clicks in order on `host`, which holds the picture, the tolerances and the paint
// colour already; `startMask` holds the flags each click starts from (empty: all clear). The
// host is made current. `afterClick`, when given, runs after each click with the number done.
void RunClicks(ToolHost* host, const host_model::LoadedPlugin& plugin,
               const std::vector<command_line::Click>& clicks,
               const std::vector<uint8_t>& startMask, run_records::FillReport* report,
               void (*afterClick)(size_t clicksDone) = nullptr);

} // namespace tool_host

#endif
