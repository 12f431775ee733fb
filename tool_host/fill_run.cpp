#include "fill_run.h"

#include <chrono>

namespace tool_host {

void PrepareToolHost(const command_line::ToolOptions& options, int32_t width, int32_t height,
                     std::vector<uint32_t>&& picture, ToolHost* host) {
    host->Load(width, height, std::move(picture));
    host->paintColour = options.paintColour;
    host->SetTolerances(options.stepText, options.seedText);
}

// The host starts recording into the report's paint record (its arrays reused), with nothing
// refreshed or shown yet.
static void StartRecording(ToolHost* host, run_records::FillReport* report) {
    host->painted = std::move(report->painted);
    host->painted.Start(host->pixels.size(), report->keepEpochs);
    host->refreshes.clear();
    host->refreshCount = 0;
    host->keepRefreshes = report->keepRefreshes;
    host->messages.clear();
    host->ForgetDrawnFlags(); // the first click resets the whole mask
}

// Moves what the host kept during click `click` into the report.
static void GatherClick(ToolHost* host, int32_t click, run_records::FillReport* report) {
    for (const host_model::RefreshRect& rect : host->refreshes)
        report->refreshes.push_back({rect.left, rect.top, rect.right, rect.bottom, click});
    host->refreshes.clear();
    for (const host_model::ShownMessage& message : host->messages)
        report->messages.push_back({message.text, message.caption, click});
    host->messages.clear();
    // A host cannot see expansions, only the calls they make. The fill reads the seed's colour
    // once, then reads the four neighbours of every pixel it expands; an expansion cut short by
    // a full queue made 1 to 4 of its reads. So expansions = ceil((reads - 1) / 4).
    const uint64_t reads = host->CountOf(host_model::HostCallKind::GetColorOnImage);
    report->expansions += reads > 0 ? (reads - 1 + 3) / 4 : 0;
}

void RunClicks(ToolHost* host, const host_model::LoadedPlugin& plugin,
               const std::vector<command_line::Click>& clicks,
               const std::vector<uint8_t>& startMask, run_records::FillReport* report,
               void (*afterClick)(size_t clicksDone)) {
    host->MakeCurrent();
    StartRecording(host, report);
    for (size_t c = 0; c < clicks.size(); ++c) {
        host->ResetDrawnFlags(startMask);
        host->ClearCounts();
        const auto start = std::chrono::steady_clock::now();
        plugin.drawIt(host->View(), clicks[c].x, clicks[c].y, 0);
        report->seconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        GatherClick(host, int32_t(c), report);
        if (afterClick != nullptr)
            afterClick(c + 1);
    }
    report->refreshCount = host->refreshCount;
    report->painted = std::move(host->painted);
}

} // namespace tool_host
