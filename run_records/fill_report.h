// fill_report.h - what a run of the tool's clicks leaves for its outputs: refresh requests,
// messages, which pixels were painted and when (RunClicks in fill_run.h fills it in), and the
// record that --record writes from it.
#ifndef RUN_RECORDS_FILL_REPORT_H
#define RUN_RECORDS_FILL_REPORT_H

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "paint_record.h"
#include "tool_options.h"

namespace run_records {

struct RefreshRequest {
    int32_t left, top, right, bottom; // inclusive; all -1 for an empty request
    int32_t click;                    // index of the click that made it
};

struct HostMessage {
    std::string text, caption;
    int32_t click;
};

struct FillReport {
    uint64_t expansions = 0; // derived from colour reads, see fill_run.cpp
    // Every refresh request, in order, when keepRefreshes is set before RunClicks (the frames,
    // the animation and the record show them); otherwise only counted, as all are.
    bool keepRefreshes = true;
    std::vector<RefreshRequest> refreshes;
    uint64_t refreshCount = 0;
    std::vector<HostMessage> messages; // message boxes; "Buffer over" ends a click
    double seconds = 0;                // time spent inside VXcDrawIt, all clicks
    // Which pixels were painted (painted.count: how many, by any click) and, when keepEpochs is
    // set before RunClicks (the frames and the animation need them), how many refresh requests
    // had been made when each was first painted: pixel p is painted in the window's working
    // image from request PaintEpoch(p) on. A later RunClicks on this report reuses its arrays.
    bool keepEpochs = false;
    PaintRecord painted;
    bool Painted(size_t pixel) const { return painted.Painted(pixel); }
    uint32_t PaintEpoch(size_t pixel) const { return painted.Epoch(pixel); }
};

// Index of the first click that stopped on the "Buffer over" message, or -1.
int32_t FirstBufferOverClick(const FillReport& report);

// Writes the record --record asks for to `file`: "click X Y", "refresh L T R B",
// "message TEXT|CAPTION" lines in the order they happened, then "painted N" and one "X Y" line
// per painted pixel in row-major order. Two runs that paint alike and refresh alike give
// identical records. Write errors stay in the stream's error flag for the caller to check.
void WriteRecord(FILE* file, const std::vector<command_line::Click>& clicks,
                 const FillReport& report, int32_t width);

} // namespace run_records

#endif
