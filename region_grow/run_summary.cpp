#include "run_summary.h"

#include <errno.h>
#include <string.h>

#include "explore_run.h"
#include "program_messages.h"
#include "progress.h"

namespace region_grow {

static std::string SummaryLine(const command_line::ToolOptions& options,
                               const run_records::FillReport& report,
                               const growth_views::FrameChoice* frames, int orientation) {
    int32_t overflow = run_records::FirstBufferOverClick(report);
    char line[512];
    snprintf(line, sizeof line,
             "%zu click%s, %llu pixels painted, %llu expansions, %llu refresh requests, "
             "stopped on \"Buffer over\": %s, %.1f ms",
             options.clicks.size(), options.clicks.size() == 1 ? "" : "s",
             (unsigned long long)report.painted.count, (unsigned long long)report.expansions,
             (unsigned long long)report.refreshCount,
             overflow < 0 ? "no" : ("yes (click " + std::to_string(overflow + 1) + ")").c_str(),
             report.seconds * 1000.0);
    std::string text = line;
    text += " -> " + (options.outputPath.empty()  ? std::string("no result picture")
                      : options.outputPath == "-" ? std::string("standard output")
                                                  : options.outputPath);
    if (frames != nullptr) {
        const size_t requests = size_t(report.refreshCount);
        text += "; frames: " + std::to_string(frames->files);
        if (size_t(frames->files) < requests) {
            text += " of " + std::to_string(requests);
            if (frames->byClick)
                text += " (the last of " + std::to_string(frames->files) + " of the " +
                        std::to_string(frames->clicks) + " clicks, spread evenly";
            else
                text += " (each click's last, the rest spread evenly";
            text += "; at most " + std::to_string(options.maxFrames) + ")";
        }
        text += " in " + options.framesDir;
    }
    if (!options.animationPath.empty())
        text += "; animation: " + options.animationPath;
    if (orientation != 1)
        text += "; turned upright (EXIF orientation " + std::to_string(orientation) + ")";
    // A tolerance typed as anything but a whole number from 0 to 255: what the plug-in read.
    if (growth_views::ToleranceShown(options.stepText) != options.stepText)
        text += "; step " + growth_views::ToleranceShown(options.stepText);
    if (growth_views::ToleranceShown(options.seedText) != options.seedText)
        text += "; seed tolerance " + growth_views::ToleranceShown(options.seedText);
    return text;
}

std::vector<std::string> SummaryLines(const command_line::ToolOptions& options,
                                      const run_records::FillReport& report,
                                      const growth_views::FrameChoice* frames,
                                      const growth_views::Exploration* explored, int orientation) {
    std::vector<std::string> lines = {SummaryLine(options, report, frames, orientation)};
    if (explored == nullptr)
        return lines;
    for (const std::string& line : growth_views::ExplorationLines(*explored))
        lines.push_back(line);
    if (run_records::FirstBufferOverClick(report) >= 0)
        lines.push_back("the fill at step " + growth_views::ToleranceShown(options.stepText) +
                        " stopped on \"Buffer over\": it painted less than the map shows, "
                        "which leaves out the queue's limit");
    std::string files = files::ExploreFileNames[0];
    for (int i = 1; i < 4; ++i)
        files += std::string(", ") + files::ExploreFileNames[i];
    lines.push_back("explored: " + options.exploreDir + " (" + files + ")");
    return lines;
}

bool PendingSummary::Send(std::string* error) {
    ProgressEnd();
    errno = 0;
    for (const std::string& line : lines_)
        command_line::PrintAsProgram(stream_, line);
    if (!files::OutputStepFails() && fflush(stream_) == 0 && !ferror(stream_))
        return true;
    *error = std::string("cannot write the summary to standard ") +
             (stream_ == stderr ? "error" : "output") + ": " + strerror(errno != 0 ? errno : EIO);
    return false;
}

} // namespace region_grow
