// simulated_host.h - a stand-in for the host editor: its nine services over an in-memory image,
// the platform's cursor and message-box calls, and a loader for the plug-in.
//
// The host never looks inside the plug-in. It offers services, loads the plug-in by path, and
// calls its exports by name, as the real host does. Tests and tools set up a SimulatedHost,
// make it current, call VXcDrawIt through a LoadedPlugin, and read back the image, the mask
// and the log of calls.
//
// Two paths. With the call log on (`logging`) or a hook set (`afterCall`), every call builds a
// HostCall record, is logged and handed to the hook. With both off, a service does what a host
// must and no more: array reads and writes and a counter, no allocation, no record, no callback.
// What a window needs to show the fill (refresh rectangles, messages, when each pixel was first
// painted) is gathered on both paths, at the cost of a store.
//
// Build note: the services are defined in this library and must reach the plug-in as symbols
// of the executable (natively: link the library's objects whole and export them dynamically;
// on Windows: the executable is named vexra.exe and exports them).
#ifndef SIMULATED_HOST_SIMULATED_HOST_H
#define SIMULATED_HOST_SIMULATED_HOST_H

#include <stdint.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "../host_api/host_services.h"
#include "../host_api/plugin_exports.h"

// ---- The call log ------------------------------------------------------------------------------

enum class HostCallKind : uint8_t {
    GetParameter,      // args: group, index
    GetCDIBinfo,       // args: none
    StartOnImage,      // args: none
    GetColorOnImage,   // args: handle word 0, handle word 1, x, y, result
    GetMask,           // args: x, y, result
    StartPset,         // args: x, y
    PSet,              // args: x, y, last argument
    SetDrawFlag,       // args: x, y, last argument
    UpdateImageWindow, // args: left, top, right, bottom
    LoadCursor,        // args: resource id (32514 for the wait cursor), 1 if a module was given
    SetCursor,         // args: cursor installed, cursor returned (see the Cursor constants)
    MessageBox,        // args: 1 if owned by the view's window, type; text and caption below
    Count
};

struct HostCall {
    HostCallKind kind;
    int64_t args[5];
    bool foreignView; // a view pointer other than the host's own was passed
    std::string text, caption;
};

// One call as text, as tests write their expectations: "PSet(1,0,0)", "GetMask(1,0)",
// "GetColorOnImage(1,0)" (handle words and results are left out: read them from args),
// "UpdateImageWindow(0,0,2,1)", "SetCursor(wait)", "MessageBox(Buffer over,Err,0)".
std::string Describe(const HostCall& call);

// Cursor handles the simulated platform hands out.
enum : int64_t { ArrowCursor = 0xA770, WaitCursor = 0x3A17 };

// What the window is asked to show, kept on both paths.
struct RefreshRect {
    int32_t left, top, right, bottom; // as requested, inclusive
};
struct ShownMessage {
    std::string text, caption;
};

// A pixel not yet painted, in a paint epoch array.
enum : uint32_t { NeverPainted = UINT32_MAX };

// ---- The host ----------------------------------------------------------------------------------

struct SimulatedHost {
    // The image, row-major. Reads outside it fail with 0.
    int32_t width = 0, height = 0;
    std::vector<PackedColour> pixels;
    // Pixel flags as _VXsGetMask reports them; _VXsSetDrawFlag sets MaskDrawnBit.
    std::vector<uint8_t> mask;
    // How many times each pixel was painted by _VXsPSet; left empty (and not counted) when
    // countPaints is false at Reset().
    std::vector<uint32_t> paintCount;
    bool countPaints = true;
    PackedColour paintColour = 0x00FF00FFu;
    // false: a broken host whose mask ignores _VXsSetDrawFlag.
    bool honourDrawFlag = true;

    // Parameter store: (group, index) -> text. A missing entry yields a null pointer.
    std::map<std::pair<int32_t, int32_t>, std::string> parameters;

    // The CDIB the view shows (its handle words may be changed at any time) and the view
    // record, holding the owner window and the CDIB pointer at their offsets.
    CDIB dib = {{0x0D1B0001u, 0x0D1B0002u}};
    alignas(8) unsigned char viewRecord[ImageViewMinimumSize + 16] = {};
    void* ownerWindow = reinterpret_cast<void*>(static_cast<uintptr_t>(0x00B0A7D0u));

    // Every call in order, unless logging is off; the counts are kept either way.
    bool logging = true;
    std::vector<HostCall> log;
    uint64_t callCounts[static_cast<int>(HostCallKind::Count)] = {};
    int64_t currentCursor = ArrowCursor;

    // Runs after each call has been recorded: lets a test act in the middle of a fill.
    std::function<void(const HostCall&)> afterCall;
    // Runs at each refresh request on both paths, after it has been counted and added to
    // `refreshes`: a window that shows the fill as it grows, without leaving the fast path.
    void (*onRefresh)(void* context, const RefreshRect& rect) = nullptr;
    void* onRefreshContext = nullptr;

    // Since Reset(): every refresh request's rectangle (unless keepRefreshes is false: a host
    // that needs only their number) and every message box, in order; and how many refresh
    // requests were made, kept or not.
    bool keepRefreshes = true;
    std::vector<RefreshRect> refreshes;
    uint64_t refreshCount = 0;
    std::vector<ShownMessage> messages;
    // Optional, owned by the caller: _VXsSetDrawFlag appends the index of each pixel whose drawn
    // flag it sets where it was clear, so that a host can undo one operation's flags in the time
    // the operation took (pictures of fewer than 2^32 pixels). Past drawnFlagsLimit entries it
    // stops and sets drawnFlagsOverflowed: clearing the whole mask is then as cheap.
    std::vector<uint32_t>* drawnFlagsSet = nullptr;
    size_t drawnFlagsLimit = 0;
    bool drawnFlagsOverflowed = false;
    // Optional, owned by the caller, both of the picture's size: paintedBits holds one bit per
    // pixel (bit i % 8 of byte i / 8, row-major), set by _VXsPSet's first paint of the pixel,
    // which also writes refreshCount (the number of refresh requests made before it) to
    // paintEpoch[i]. paintEpoch is only written, never read: its words for unpainted pixels
    // stay as they were, so it needs no clearing. firstPaints counts the first paints.
    uint8_t* paintedBits = nullptr;
    uint32_t* paintEpoch = nullptr;
    uint64_t firstPaints = 0;

    // A uniform image of the given size, mask clear, view record pointing at this host's CDIB
    // and owner window.
    void Reset(int32_t imageWidth, int32_t imageHeight, PackedColour colour = 0);
    // The same, with the picture taken over instead of filled with one colour.
    void Load(int32_t imageWidth, int32_t imageHeight, std::vector<PackedColour>&& picture);
    void SetTolerances(const std::string& step, const std::string& seed);
    ImageView* View() { return reinterpret_cast<ImageView*>(viewRecord); }
    // Rewrites the view record's two fields (for example to a null CDIB pointer).
    void WriteViewRecord(void* window, CDIB* image);

    bool Contains(int32_t x, int32_t y) const {
        return x >= 0 && y >= 0 && x < width && y < height;
    }
    size_t IndexOf(int32_t x, int32_t y) const { return size_t(y) * size_t(width) + size_t(x); }
    PackedColour& Pixel(int32_t x, int32_t y) { return pixels[IndexOf(x, y)]; }

    // True when calls are logged or hooked: the slow path.
    bool Recording() const { return logging || afterCall; }

    // Calls of one kind, counted; the log as Describe() lines, optionally of some kinds only.
    uint64_t CountOf(HostCallKind kind) const { return callCounts[static_cast<int>(kind)]; }
    std::vector<std::string> DescribeLog() const;
    std::vector<std::string> DescribeLog(std::initializer_list<HostCallKind> kinds) const;
    void ClearLog();

    // Makes this host the one the services act on (one at a time per process).
    void MakeCurrent();
};

SimulatedHost* CurrentHost();

// Records a call on the current host (counts it, logs it, hands it to the hook): used by the
// services on the slow path and by the platform stand-ins.
void RecordCall(HostCall call);

// The platform's three calls as the simulated host answers them: recorded, never shown.
// LoadCursor hands out WaitCursor, SetCursor returns the cursor it replaces, MessageBox
// answers OK (1) at once. Natively they stand behind LoadCursorA, SetCursor and MessageBoxA; a
// Windows test host routes the plug-in's imports of those to them.
void* SimulatedLoadCursor(void* module, const char* name);
void* SimulatedSetCursor(void* cursor);
int SimulatedMessageBox(void* owner, const char* text, const char* caption, unsigned type);

#endif
