#include "fill_run.h"

#include <chrono>

void RunClicks(SimulatedHost* host, const LoadedPlugin& plugin, const std::vector<Click>& clicks,
               const std::vector<uint8_t>& startMask, FillReport* report) {
    host->MakeCurrent();
    host->logging = false;
    report->paintEpoch.assign(host->pixels.size(), NeverPainted);

    int32_t clickIndex = 0;
    host->afterCall = [&](const HostCall& call) {
        if (call.kind == HostCallKind::PSet &&
            host->Contains(int32_t(call.args[0]), int32_t(call.args[1]))) {
            uint32_t& epoch =
                report->paintEpoch[host->IndexOf(int32_t(call.args[0]), int32_t(call.args[1]))];
            if (epoch == NeverPainted) {
                epoch = uint32_t(report->refreshes.size());
                ++report->paintedPixels;
            }
        } else if (call.kind == HostCallKind::UpdateImageWindow) {
            report->refreshes.push_back({int32_t(call.args[0]), int32_t(call.args[1]),
                                         int32_t(call.args[2]), int32_t(call.args[3]), clickIndex});
        } else if (call.kind == HostCallKind::MessageBox) {
            report->messages.push_back({call.text, call.caption, clickIndex});
        }
    };

    for (const Click& click : clicks) {
        host->mask = startMask;
        host->ClearLog();
        auto start = std::chrono::steady_clock::now();
        plugin.drawIt(host->View(), click.x, click.y, 0);
        report->seconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

        // A host cannot see expansions, only the calls they make. The fill reads the seed's
        // colour once, then reads the four neighbours of every pixel it expands; an expansion
        // cut short by a full queue made 1 to 4 of its reads. So expansions = ceil((reads-1)/4).
        uint64_t reads = host->CountOf(HostCallKind::GetColorOnImage);
        report->expansions += reads > 0 ? (reads - 1 + 3) / 4 : 0;
        ++clickIndex;
    }
    host->afterCall = nullptr;
}

int32_t FirstBufferOverClick(const FillReport& report) {
    for (const HostMessage& message : report.messages)
        if (message.text == "Buffer over")
            return message.click;
    return -1;
}

void WriteRecord(FILE* file, const std::vector<Click>& clicks, const FillReport& report,
                 int32_t width) {
    size_t nextRefresh = 0;
    for (size_t c = 0; c < clicks.size(); ++c) {
        fprintf(file, "click %d %d\n", clicks[c].x, clicks[c].y);
        for (; nextRefresh < report.refreshes.size() &&
               report.refreshes[nextRefresh].click == int32_t(c);
             ++nextRefresh) {
            const RefreshRequest& r = report.refreshes[nextRefresh];
            fprintf(file, "refresh %d %d %d %d\n", r.left, r.top, r.right, r.bottom);
        }
        // The only message a fill shows ends it, after its last refresh request.
        for (const HostMessage& message : report.messages)
            if (message.click == int32_t(c))
                fprintf(file, "message %s|%s\n", message.text.c_str(), message.caption.c_str());
    }
    fprintf(file, "painted %llu\n", (unsigned long long)report.paintedPixels);
    for (size_t i = 0; i < report.paintEpoch.size(); ++i)
        if (report.paintEpoch[i] != NeverPainted)
            fprintf(file, "%d %d\n", int32_t(i % size_t(width)), int32_t(i / size_t(width)));
}
