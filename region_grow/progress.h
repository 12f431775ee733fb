// progress.h - one line on a terminal that says how far a long run has got.
//
// A run that lasts more than about a second shows "NAME: clicks C of N, frames F, PHASE" on
// standard error, rewritten in place as the run goes on, and erased when it ends, so that
// the summary and any message start on a clean line. Nothing is shown when standard error is
// not a terminal, so logs and pipes see exactly what they saw before. Updates come between
// clicks and frames (a click is one call of the plug-in), at most about ten times a second.
#ifndef REGION_GROW_PROGRESS_H
#define REGION_GROW_PROGRESS_H

#include <stddef.h>
#include <stdint.h>

namespace region_grow {

// Starts the clock; `clicks` is the number of clicks the run will make.
void ProgressStart(const char* programName, size_t clicks);
void ProgressClicksDone(size_t clicksDone);
void ProgressFramesWritten(int32_t framesWritten);
// What the run does now, such as "writing result.png"; the text must outlive the call.
void ProgressPhase(const char* phase);
// Erases the line, if one was shown.
void ProgressEnd();

} // namespace region_grow

#endif
