// fill_run.h - applies the tool through the simulated host, click after click, and keeps what
// the host saw: refresh requests, messages, which pixels were painted and when.
//
// Each click is one operation of the host: before it, the drawn flags are reset to the
// starting mask (from --drawn, or clear), while the picture keeps the paint of earlier clicks.
// A click costs what it paints, not what the picture holds: only the flags the previous click
// set are reset, and refresh rectangles are kept only when an output shows them.
#ifndef TOOLS_FILL_RUN_H
#define TOOLS_FILL_RUN_H

#include <stdint.h>
#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

#include "simulated_host/plugin_loader.h"
#include "simulated_host/simulated_host.h"
#include "tool_options.h"

struct RefreshRequest {
    int32_t left, top, right, bottom; // inclusive; all -1 for an empty request
    int32_t click;                    // index of the click that made it
};

struct HostMessage {
    std::string text, caption;
    int32_t click;
};

struct FillReport {
    uint64_t paintedPixels = 0; // distinct pixels painted by any click
    uint64_t expansions = 0;    // derived from colour reads, see fill_run.cpp
    // Every refresh request, in order, when keepRefreshes is set before RunClicks (the frames,
    // the animation and the record show them); otherwise only counted, as all are.
    bool keepRefreshes = true;
    std::vector<RefreshRequest> refreshes;
    uint64_t refreshCount = 0;
    std::vector<HostMessage> messages; // message boxes; "Buffer over" ends a click
    double seconds = 0;                // time spent inside VXcDrawIt, all clicks
    // Which pixels were painted, one bit each (see SimulatedHost::paintedBits), and, when
    // keepEpochs is set before RunClicks (the frames and the animation need them), how many
    // refresh requests had been made when each was first painted: pixel p is painted in the
    // window's working image from request PaintEpoch(p) on. The epoch words of pixels never
    // painted are never written (nor touched in memory). Without them a run costs a store less
    // per pixel and 4 bytes a painted pixel less memory.
    bool keepEpochs = false;
    std::vector<uint8_t> paintedBits;
    std::unique_ptr<uint32_t[]> paintEpoch; // reused by the next RunClicks on this report
    size_t paintEpochSize = 0;
    bool Painted(size_t pixel) const { return paintedBits[pixel >> 3] >> (pixel & 7) & 1; }
    uint32_t PaintEpoch(size_t pixel) const {
        return Painted(pixel) ? paintEpoch[pixel] : NeverPainted;
    }
};

// Index of the first click that stopped on the "Buffer over" message, or -1.
int32_t FirstBufferOverClick(const FillReport& report);

// Sets `host` up as the tool's host: it takes over the picture, paints in the options' colour
// with their tolerance texts, keeps no call log and no per-pixel paint count, so its services
// take the fast path.
void PrepareToolHost(const ToolOptions& options, int32_t width, int32_t height,
                     std::vector<uint32_t>&& picture, SimulatedHost* host);

// Runs the clicks in order on `host`, which holds the picture, the tolerances and the paint
// colour already; `startMask` holds the flags each click starts from (empty: all clear). The
// host is made current; its logging and hook are left as the caller set them, and decide
// only the speed. `afterClick`, when given, runs after each click with the number done.
void RunClicks(SimulatedHost* host, const LoadedPlugin& plugin, const std::vector<Click>& clicks,
               const std::vector<uint8_t>& startMask, FillReport* report,
               void (*afterClick)(size_t clicksDone) = nullptr);

// Writes the record --record asks for to `file`: "click X Y", "refresh L T R B",
// "message TEXT|CAPTION" lines in the order they happened, then "painted N" and one "X Y" line
// per painted pixel in row-major order. Two runs that paint alike and refresh alike give
// identical records. Write errors stay in the stream's error flag for the caller to check.
void WriteRecord(FILE* file, const std::vector<Click>& clicks, const FillReport& report,
                 int32_t width);

#endif
