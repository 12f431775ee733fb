#include "fill_run.h"

#include <chrono>

void PrepareToolHost(const ToolOptions& options, int32_t width, int32_t height,
                     std::vector<uint32_t>&& picture, SimulatedHost* host) {
    host->logging = false;
    host->afterCall = nullptr;
    host->countPaints = false;
    host->Load(width, height, std::move(picture));
    host->paintColour = options.paintColour;
    host->SetTolerances(options.stepText, options.seedText);
}

void RunClicks(SimulatedHost* host, const LoadedPlugin& plugin, const std::vector<Click>& clicks,
               const std::vector<uint8_t>& startMask, FillReport* report,
               void (*afterClick)(size_t clicksDone)) {
    host->MakeCurrent();
    const size_t pixels = host->pixels.size();
    report->paintedBits.assign((pixels + 7) / 8, 0);
    if (!report->keepEpochs) {
        report->paintEpoch.reset();
        report->paintEpochSize = 0;
    } else if (report->paintEpochSize != pixels) { // left unset: see FillReport
        report->paintEpoch.reset(new uint32_t[pixels]);
        report->paintEpochSize = pixels;
    }
    host->paintedBits = report->paintedBits.data();
    host->paintEpoch = report->paintEpoch.get();
    host->firstPaints = 0;
    host->refreshes.clear();
    host->refreshCount = 0;
    host->keepRefreshes = report->keepRefreshes;
    host->messages.clear();
    // The flags are set to the starting mask once; after each click, only those it set are
    // put back, unless it set so many (an eighth of the picture) that resetting the whole mask
    // costs no more than the click did: the list of flags set stays within half a byte a pixel.
    std::vector<uint32_t> flagsSet;
    host->drawnFlagsSet = &flagsSet;
    host->drawnFlagsLimit = pixels / 8 + 1024;
    host->drawnFlagsOverflowed = true;

    for (size_t c = 0; c < clicks.size(); ++c) {
        if (host->drawnFlagsOverflowed) {
            if (startMask.empty())
                host->mask.assign(pixels, 0);
            else
                host->mask = startMask;
        } else {
            for (uint32_t pixel : flagsSet)
                host->mask[pixel] = startMask.empty() ? 0 : startMask[pixel];
        }
        flagsSet.clear();
        host->drawnFlagsOverflowed = false;
        host->ClearLog();
        const size_t messagesBefore = host->messages.size();
        auto start = std::chrono::steady_clock::now();
        plugin.drawIt(host->View(), clicks[c].x, clicks[c].y, 0);
        report->seconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

        for (const RefreshRect& rect : host->refreshes)
            report->refreshes.push_back({rect.left, rect.top, rect.right, rect.bottom, int32_t(c)});
        host->refreshes.clear();
        for (size_t m = messagesBefore; m < host->messages.size(); ++m)
            report->messages.push_back(
                {host->messages[m].text, host->messages[m].caption, int32_t(c)});

        // A host cannot see expansions, only the calls they make. The fill reads the seed's
        // colour once, then reads the four neighbours of every pixel it expands; an expansion
        // cut short by a full queue made 1 to 4 of its reads. So expansions = ceil((reads-1)/4).
        uint64_t reads = host->CountOf(HostCallKind::GetColorOnImage);
        report->expansions += reads > 0 ? (reads - 1 + 3) / 4 : 0;
        if (afterClick != nullptr)
            afterClick(c + 1);
    }
    report->paintedPixels = host->firstPaints;
    report->refreshCount = host->refreshCount;
    host->drawnFlagsSet = nullptr;
    host->paintedBits = nullptr;
    host->paintEpoch = nullptr;
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
    for (size_t byte = 0; byte < report.paintedBits.size(); ++byte)
        for (size_t i = byte * 8; report.paintedBits[byte] != 0 && i < byte * 8 + 8; ++i)
            if (report.Painted(i))
                fprintf(file, "%d %d\n", int32_t(i % size_t(width)), int32_t(i / size_t(width)));
}
