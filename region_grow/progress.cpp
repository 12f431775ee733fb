#include "progress.h"

#include <stdio.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

#include "interrupt_cleanup.h"

#ifdef _WIN32
#include <io.h>
#define IsTerminal(file) _isatty(_fileno(file))
#define WriteRaw(fd, text, size) _write(fd, text, unsigned(size))
#else
#include <unistd.h>
#define IsTerminal(file) isatty(fileno(file))
#define WriteRaw(fd, text, size) write(fd, text, size)
#endif

namespace region_grow {

namespace {

using Clock = std::chrono::steady_clock;

// One run per process: the state of its line.
struct ProgressLine {
    bool terminal = false;
    std::atomic<bool> shown{false}; // read by an interruption's notice too
    std::string program;
    size_t clicks = 0, clicksDone = 0;
    int32_t frames = 0;
    const char* phase = "";
    Clock::time_point start, lastDrawn;
} Line;

const char Erase[] = "\r\033[K";

// Held while the line is drawn or erased. An interruption takes it for good: the working
// thread goes on until the process ends, and must not draw the line again once it is erased.
std::mutex Drawing;

// An interruption erases the line too, so that the shell's prompt starts on a clean one.
void EraseOnInterruption() {
    Drawing.lock();
    if (Line.shown.load()) {
        auto ignored = WriteRaw(2, Erase, sizeof Erase - 1);
        (void)ignored;
    }
}

const auto ShowAfter = std::chrono::milliseconds(1000);
const auto RedrawEvery = std::chrono::milliseconds(100);

void Draw(bool force) {
    if (!Line.terminal)
        return;
    std::lock_guard<std::mutex> hold(Drawing);
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
    Line.shown = false;
    Line.clicksDone = 0;
    Line.frames = 0;
    Line.phase = "";
    Line.terminal = IsTerminal(stderr);
    Line.program = programName;
    Line.clicks = clicks;
    Line.start = Clock::now();
    files::SetInterruptNotice(EraseOnInterruption);
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
    files::SetInterruptNotice(nullptr);
    std::lock_guard<std::mutex> hold(Drawing);
    if (Line.shown) {
        fputs(Erase, stderr);
        fflush(stderr);
    }
    Line.shown = false;
    Line.terminal = false;
}

} // namespace region_grow
