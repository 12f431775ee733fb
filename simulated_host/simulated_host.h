// simulated_host.h - a stand-in for the host editor that the tests drive: its nine services over
// an in-memory picture (host_picture.h), the platform's cursor and message-box calls, and a log
// of every call.
//
// The host never looks inside the plug-in. It offers services, loads the plug-in by path
// (plugin_loader.h), and calls its exports by name, as the real host does. A test sets up a
// SimulatedHost, makes it current, calls VXcDrawIt through a LoadedPlugin, and reads back the
// picture, the mask and the log of calls.
//
// Each service does the same, top to bottom: counts the call, does what a host does, then logs
// the call (unless `logging` is off) and hands it to `afterCall` (when set).
//
// Build note: the services are defined in this library and must reach the plug-in as symbols
// of the executable (natively: link the library's objects whole and export them dynamically;
// on Windows: the executable is named vexra.exe and exports them).
#ifndef SIMULATED_HOST_SIMULATED_HOST_H
#define SIMULATED_HOST_SIMULATED_HOST_H

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "host_picture.h"
#include "plugin_exports.h"

namespace simulated_host {

// ---- The call log ------------------------------------------------------------------------------

struct HostCall {
    host_model::HostCallKind kind;
    int64_t args[5];
    bool foreignView; // a view pointer other than the host's own was passed
    std::string text, caption;
};

// One call as text, as tests write their expectations: "PSet(1,0,0)", "GetMask(1,0)",
// "GetColorOnImage(1,0)" (handle words and results are left out: read them from args),
// "UpdateImageWindow(0,0,2,1)", "SetCursor(wait)", "MessageBox(Buffer over,Err,0)".
std::string Describe(const HostCall& call);

// ---- The host ----------------------------------------------------------------------------------

struct SimulatedHost : host_model::HostPicture {
    // How many times each pixel was painted by _VXsPSet.
    std::vector<uint32_t> paintCount;

    // Every call in order, unless logging is off; the counts are kept either way.
    bool logging = true;
    std::vector<HostCall> log;
    uint64_t callCounts[static_cast<int>(host_model::HostCallKind::Count)] = {};
    int64_t currentCursor = host_model::ArrowCursor;

    // Runs after each call has been recorded: lets a test act in the middle of a fill.
    std::function<void(const HostCall&)> afterCall;

    // Since Reset(): every refresh request's rectangle and every message box, in order.
    std::vector<host_model::RefreshRect> refreshes;
    std::vector<host_model::ShownMessage> messages;

    // A uniform image of the given size, mask clear, view record pointing at this host's CDIB
    // and owner window, and nothing recorded.
    void Reset(int32_t imageWidth, int32_t imageHeight, PackedColour colour = 0);
    // The same, with the picture taken over instead of filled with one colour.
    void Load(int32_t imageWidth, int32_t imageHeight, std::vector<PackedColour>&& picture);

    // Calls of one kind, counted; the log as Describe() lines, optionally of some kinds only.
    uint64_t CountOf(host_model::HostCallKind kind) const {
        return callCounts[static_cast<int>(kind)];
    }
    std::vector<std::string> DescribeLog() const;
    std::vector<std::string>
    DescribeLog(std::initializer_list<host_model::HostCallKind> kinds) const;
    void ClearLog();

    // Makes this host the one the services act on (one at a time per process).
    void MakeCurrent();
};

} // namespace simulated_host

#endif
