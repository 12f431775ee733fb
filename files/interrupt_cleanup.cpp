#include "interrupt_cleanup.h"

#include <atomic>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace files {

namespace {

// Never destroyed: an interruption may come while static objects are being torn down.
struct Registry {
    std::recursive_mutex lock;
    std::set<std::string> paths;
};

std::atomic<void (*)()> Notice{nullptr};

Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

// Runs on the watcher's side; never returns. The lock is kept to the end, so the working thread
// cannot create or rename anything once the removal has begun.
[[noreturn]] void RemoveTemporariesAndExit(int status) {
    if (void (*notice)() = Notice.load())
        notice();
    Registry& registry = TheRegistry();
    registry.lock.lock();
    for (const std::string& path : registry.paths) {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
#ifdef _WIN32
    ExitProcess(UINT(status));
#else
    _exit(status);
#endif
}

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    RemoveTemporariesAndExit(130);
}
#else
const int WatchedSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t WatchedSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : WatchedSignals)
        sigaddset(&set, signal);
    return set;
}
#endif

} // namespace

void StartInterruptCleanup() {
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    // A signal ignored when the tool started (nohup, a shell's background job) stays ignored.
    sigset_t set = WatchedSet(), watched;
    sigemptyset(&watched);
    for (int signal : WatchedSignals) {
        struct sigaction current;
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            sigaddset(&watched, signal);
    }
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signal(SIGPIPE, SIG_IGN);
    if (sigismember(&watched, SIGINT) || sigismember(&watched, SIGTERM) ||
        sigismember(&watched, SIGHUP))
        std::thread([watched] {
            int signal = 0;
            if (sigwait(&watched, &signal) == 0)
                RemoveTemporariesAndExit(128 + signal);
        }).detach();
#endif
    TheRegistry();
}

void SetInterruptNotice(void (*notice)()) {
    Notice.store(notice);
}

CleanupHold::CleanupHold() {
    TheRegistry().lock.lock();
}

CleanupHold::~CleanupHold() {
    TheRegistry().lock.unlock();
}

void RegisterTemporary(const std::string& path) {
    CleanupHold hold;
    TheRegistry().paths.insert(path);
}

void UnregisterTemporary(const std::string& path) {
    CleanupHold hold;
    TheRegistry().paths.erase(path);
}

void ExitRemovingTemporaries(int status) {
    RemoveTemporariesAndExit(status);
}

} // namespace files
