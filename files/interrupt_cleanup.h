// interrupt_cleanup.h - what an interrupted run leaves behind: nothing.
//
// The tool writes every file and folder under a temporary name first (PendingFile,
// PendingFrames). When SIGINT, SIGTERM or SIGHUP arrives, the temporaries registered here are
// removed (folders with their contents) and the process exits with 128 + the signal's number:
// 130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP. On Windows, Ctrl+C and Ctrl+Break do the same
// and exit 130.
//
// A fill runs inside the plug-in and cannot be interrupted, so the signals are not handled in
// the thread that works: StartInterruptCleanup() blocks them there and a watcher thread waits
// for them. The watcher cleans up while holding the registry's lock; a step that creates or
// renames a temporary holds the same lock (CleanupHold) together with its registration, so an
// interruption sees each temporary either registered and present, or neither.
#ifndef FILES_INTERRUPT_CLEANUP_H
#define FILES_INTERRUPT_CLEANUP_H

#include <string>

namespace files {

// Call once, first in main(), before any other thread or temporary exists. It also ignores
// SIGPIPE: a write into a pipe nobody reads fails (EPIPE) like any other write error, so that
// the tool cleans up and says so instead of dying silently.
void StartInterruptCleanup();

// A function run on interruption before the temporaries are removed, such as erasing a
// progress line; it runs on the watcher's thread while the working thread goes on, so it may
// only use what is safe from there. One at a time; null removes it.
void SetInterruptNotice(void (*notice)());

// Holds the registry while it lives: an interruption waits until it is gone, so that a
// creation and its registration, or a rename and its removal from the registry, happen as one.
class CleanupHold {
  public:
    CleanupHold();
    ~CleanupHold();
    CleanupHold(const CleanupHold&) = delete;
    CleanupHold& operator=(const CleanupHold&) = delete;
};

// A file or folder to remove on interruption, and the end of that duty. Each takes the
// registry's lock itself; hold a CleanupHold around it and the step it belongs to.
void RegisterTemporary(const std::string& path);
void UnregisterTemporary(const std::string& path);

// Removes every registered temporary, as an interruption does, and exits with `status`: for a
// failure that cannot be returned from (memory_exhaustion.h).
[[noreturn]] void ExitRemovingTemporaries(int status);

} // namespace files

#endif
