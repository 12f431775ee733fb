// run_summary.h - what region_grow says when its work is done: the summary line and, with
// --explore, the explorer's lines after it.
//
// The lines are one of the run's staged outputs (output_files.h), the last of its streams:
// written once every file is complete and every other stream has its bytes, and before any file
// is put in place. So a summary that cannot be written (a full disk behind ">> log", a closed
// pipe) fails the run with every file left as it was, and a stream that failed is never
// followed by a summary that says the run went well.
//
// The summary line gives the clicks, the distinct pixels painted, the expansions, the refresh
// requests, whether a fill stopped on "Buffer over" (and which click), the time spent inside the
// plug-in and where the result went; then the frames and the animation written, a picture
// turned upright, and each tolerance text that is not a whole number from 0 to 255 with what
// the plug-in read it as (ToleranceShown, tool_options.h).
#ifndef REGION_GROW_RUN_SUMMARY_H
#define REGION_GROW_RUN_SUMMARY_H

#include <stdio.h>

#include <string>
#include <vector>

#include "explore_outputs.h"
#include "fill_report.h"
#include "output_files.h"
#include "tool_options.h"
#include "window_frames.h"

namespace region_grow {

// The summary line, then, when `explored` is given, the explorer's readings and where its
// files went. `frames` is null when no frames were asked for.
std::vector<std::string> SummaryLines(const command_line::ToolOptions& options,
                                      const run_records::FillReport& report,
                                      const growth_views::FrameChoice* frames,
                                      const growth_views::Exploration* explored, int orientation);

// The lines as a staged output, written to `stream` (standard output, or standard error when an
// output goes to standard output) when the streams are sent, each as "NAME: line".
class PendingSummary : public files::StagedOutput {
  public:
    PendingSummary(FILE* stream, std::vector<std::string> lines)
        : stream_(stream), lines_(std::move(lines)) {}

    bool Ready(std::string*) override { return true; }
    // Erases the progress line first, so that the summary starts a clean line.
    bool Send(std::string* error) override;
    bool Commit(std::string*) override { return true; }
    void Rollback() override {}
    void Finish() override {}

  private:
    FILE* stream_;
    std::vector<std::string> lines_;
};

} // namespace region_grow

#endif
