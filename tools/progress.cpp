#include "progress.h"

#include <stdio.h>

#include <chrono>
#include <string>

#ifdef _WIN32
#include <io.h>
#define IsTerminal(file) _isatty(_fileno(file))
#else
#include <unistd.h>
#define IsTerminal(file) isatty(fileno(file))
#endif

namespace {

using Clock = std::chrono::steady_clock;

// One run per process: the state of its line.
struct ProgressLine {
    bool terminal = false, shown = false;
    std::string program;
    size_t clicks = 0, clicksDone = 0;
    int32_t frames = 0;
    const char* phase = "";
    Clock::time_point start, lastDrawn;
} Line;

const auto ShowAfter = std::chrono::milliseconds(1000);
const auto RedrawEvery = std::chrono::milliseconds(100);

void Draw(bool force) {
    if (!Line.terminal)
        return;
    const Clock::time_point now = Clock::now();
    if (now - Line.start < ShowAfter ||
        (!force && Line.shown && now - Line.lastDrawn < RedrawEvery))
        return;
    fprintf(stderr, "\r\033[K%s: clicks %zu of %zu, frames %d%s%s", Line.program.c_str(),
            Line.clicksDone, Line.clicks, int(Line.frames), *Line.phase ? ", " : "", Line.phase);
    fflush(stderr);
    Line.shown = true;
    Line.lastDrawn = now;
}

} // namespace

void ProgressStart(const char* programName, size_t clicks) {
    Line = ProgressLine();
    Line.terminal = IsTerminal(stderr);
    Line.program = programName;
    Line.clicks = clicks;
    Line.start = Clock::now();
}

void ProgressClicksDone(size_t clicksDone) {
    Line.clicksDone = clicksDone;
    Draw(false);
}

void ProgressFramesWritten(int32_t framesWritten) {
    Line.frames = framesWritten;
    Draw(false);
}

void ProgressPhase(const char* phase) {
    Line.phase = phase;
    Draw(true);
}

void ProgressEnd() {
    if (Line.shown) {
        fputs("\r\033[K", stderr);
        fflush(stderr);
    }
    Line.shown = false;
    Line.terminal = false;
}
