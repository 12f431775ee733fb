#include "simulated_host.h"

#include "image_view_record.h"

static SimulatedHost* Current = nullptr;

SimulatedHost* CurrentHost() {
    return Current;
}

void SimulatedHost::MakeCurrent() {
    Current = this;
}

void SimulatedHost::Reset(int32_t imageWidth, int32_t imageHeight, PackedColour colour) {
    std::vector<PackedColour> picture(size_t(imageWidth) * size_t(imageHeight), colour);
    Load(imageWidth, imageHeight, std::move(picture));
}

void SimulatedHost::Load(int32_t imageWidth, int32_t imageHeight,
                         std::vector<PackedColour>&& picture) {
    width = imageWidth;
    height = imageHeight;
    pixels = std::move(picture);
    mask.assign(pixels.size(), 0);
    paintCount.assign(countPaints ? pixels.size() : 0, 0);
    if (!countPaints)
        paintCount.shrink_to_fit();
    WriteViewRecord(ownerWindow, &dib);
    ClearLog();
    refreshes.clear();
    refreshCount = 0;
    messages.clear();
    drawnFlagsSet = nullptr;
    paintedBits = nullptr;
    paintEpoch = nullptr;
    firstPaints = 0;
    currentCursor = ArrowCursor;
}

void SimulatedHost::SetTolerances(const std::string& step, const std::string& seed) {
    parameters[{2, 0}] = step;
    parameters[{2, 1}] = seed;
}

void SimulatedHost::WriteViewRecord(void* window, CDIB* image) {
    WriteImageViewFields(viewRecord, window, image);
}

void SimulatedHost::ClearLog() {
    log.clear();
    for (uint64_t& count : callCounts)
        count = 0;
}

std::vector<std::string> SimulatedHost::DescribeLog() const {
    std::vector<std::string> lines;
    for (const HostCall& call : log)
        lines.push_back(Describe(call));
    return lines;
}

std::vector<std::string>
SimulatedHost::DescribeLog(std::initializer_list<HostCallKind> kinds) const {
    std::vector<std::string> lines;
    for (const HostCall& call : log)
        for (HostCallKind kind : kinds)
            if (call.kind == kind)
                lines.push_back(Describe(call));
    return lines;
}

static std::string Join(const char* name, std::initializer_list<int64_t> args) {
    std::string text = name;
    text += '(';
    const char* separator = "";
    for (int64_t arg : args) {
        text += separator;
        text += std::to_string(arg);
        separator = ",";
    }
    return text + ')';
}

static const char* CursorName(int64_t cursor) {
    return cursor == WaitCursor ? "wait" : cursor == ArrowCursor ? "arrow" : "unknown";
}

std::string Describe(const HostCall& call) {
    const int64_t* a = call.args;
    switch (call.kind) {
    case HostCallKind::GetParameter:
        return Join("GetParameter", {a[0], a[1]});
    case HostCallKind::GetCDIBinfo:
        return "GetCDIBinfo";
    case HostCallKind::StartOnImage:
        return "StartOnImage";
    case HostCallKind::GetColorOnImage:
        return Join("GetColorOnImage", {a[2], a[3]});
    case HostCallKind::GetMask:
        return Join("GetMask", {a[0], a[1]});
    case HostCallKind::StartPset:
        return Join("StartPset", {a[0], a[1]});
    case HostCallKind::PSet:
        return Join("PSet", {a[0], a[1], a[2]});
    case HostCallKind::SetDrawFlag:
        return Join("SetDrawFlag", {a[0], a[1], a[2]});
    case HostCallKind::UpdateImageWindow:
        return Join("UpdateImageWindow", {a[0], a[1], a[2], a[3]});
    case HostCallKind::LoadCursor:
        return Join("LoadCursor", {a[0]});
    case HostCallKind::SetCursor:
        return std::string("SetCursor(") + CursorName(a[0]) + ")";
    case HostCallKind::MessageBox:
        return "MessageBox(" + call.text + "," + call.caption + "," + std::to_string(a[1]) + ")";
    case HostCallKind::Count:
        break;
    }
    return "?";
}

void RecordCall(HostCall call) {
    SimulatedHost* host = Current;
    ++host->callCounts[static_cast<int>(call.kind)];
    if (host->logging)
        host->log.push_back(call);
    if (host->afterCall)
        host->afterCall(call);
}

// ---- The nine services -------------------------------------------------------------------------

#if defined(_WIN32)
#define VX_HOST_EXPORT __declspec(dllexport)
#else
#define VX_HOST_EXPORT __attribute__((visibility("default")))
#endif

static HostCall MakeCall(HostCallKind kind, ImageView* view, std::initializer_list<int64_t> args) {
    HostCall call{};
    call.kind = kind;
    call.foreignView = view != Current->View();
    int i = 0;
    for (int64_t arg : args)
        call.args[i++] = arg;
    return call;
}

// The slow path, out of line so that the fast one sets up no record: builds the call's record
// and records it. `dib`, when given, is the CDIB the call named, checked instead of the view.
__attribute__((noinline, cold)) static void RecordSlowly(HostCallKind kind, ImageView* view,
                                                         std::initializer_list<int64_t> args,
                                                         const CDIB* dib = nullptr) {
    HostCall call = MakeCall(kind, view, args);
    if (dib != nullptr)
        call.foreignView = dib != &Current->dib;
    RecordCall(call);
}

// The same for the calls a fill makes per pixel, with the call's arguments in registers and
// its result passed through, so that the services can jump to them without a stack frame.
__attribute__((noinline, cold)) static int32_t RecordPixelCall(HostCallKind kind, ImageView* view,
                                                               int32_t x, int32_t y, int32_t last) {
    RecordCall(MakeCall(kind, view, {x, y, last}));
    return last;
}

__attribute__((noinline, cold)) static int32_t
RecordColorRead(uint32_t handleWord0, uint32_t handleWord1, int32_t x, int32_t y, int32_t read) {
    RecordCall(MakeCall(HostCallKind::GetColorOnImage, Current->View(),
                        {handleWord0, handleWord1, x, y, read}));
    return read;
}

// The fork between the two paths: a counter on the fast one, the record on the slow one.
#define VX_NOTE(host, kind, ...)                                                                   \
    do {                                                                                           \
        if (__builtin_expect((host)->Recording(), 0))                                              \
            RecordSlowly(kind, __VA_ARGS__);                                                       \
        else                                                                                       \
            ++(host)->callCounts[static_cast<int>(kind)];                                          \
    } while (0)

extern "C" {

VX_HOST_EXPORT const char* VX_HOST_CALL _VXsGetParameter(int32_t group, int32_t index) {
    SimulatedHost* host = Current;
    VX_NOTE(host, HostCallKind::GetParameter, host->View(), {group, index});
    auto entry = host->parameters.find({group, index});
    return entry == host->parameters.end() ? nullptr : entry->second.c_str();
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsGetCDIBinfo(CDIB* dib, int32_t* info0, int32_t* info1,
                                                 int32_t* info2) {
    SimulatedHost* host = Current;
    *info0 = host->width;
    *info1 = host->height;
    *info2 = 32;
    VX_NOTE(host, HostCallKind::GetCDIBinfo, host->View(), {}, dib);
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsStartOnImage(CDIB* dib) {
    SimulatedHost* host = Current;
    VX_NOTE(host, HostCallKind::StartOnImage, host->View(), {}, dib);
}

VX_HOST_EXPORT int32_t VX_HOST_CALL _VXsGetColorOnImage(uint32_t handleWord0, uint32_t handleWord1,
                                                        int32_t x, int32_t y,
                                                        PackedColour* colour) {
    SimulatedHost* host = Current;
    // Reads with handle words other than the CDIB's current ones fail, as with a stale handle.
    bool read = host->Contains(x, y) && handleWord0 == host->dib.handleWords[0] &&
                handleWord1 == host->dib.handleWords[1];
    if (read)
        *colour = host->pixels[host->IndexOf(x, y)];
    if (__builtin_expect(host->Recording(), 0))
        return RecordColorRead(handleWord0, handleWord1, x, y, read ? 1 : 0);
    ++host->callCounts[static_cast<int>(HostCallKind::GetColorOnImage)];
    return read ? 1 : 0;
}

VX_HOST_EXPORT int32_t VX_HOST_CALL _VXsGetMask(ImageView* view, int32_t x, int32_t y) {
    SimulatedHost* host = Current;
    int32_t flags = host->Contains(x, y) ? host->mask[host->IndexOf(x, y)] : 0;
    if (__builtin_expect(host->Recording(), 0))
        return RecordPixelCall(HostCallKind::GetMask, view, x, y, flags);
    ++host->callCounts[static_cast<int>(HostCallKind::GetMask)];
    return flags;
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsStartPset(ImageView* view, int32_t x, int32_t y) {
    SimulatedHost* host = Current;
    VX_NOTE(host, HostCallKind::StartPset, view, {x, y});
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsPSet(ImageView* view, int32_t x, int32_t y, int32_t zero) {
    SimulatedHost* host = Current;
    if (host->Contains(x, y)) {
        size_t index = host->IndexOf(x, y);
        host->pixels[index] = host->paintColour;
        if (!host->paintCount.empty())
            ++host->paintCount[index];
        // The bits are few and stay in the cache; the epoch words are many, and a store
        // that misses the cache does not hold the fill up as a load would.
        if (host->paintedBits != nullptr) {
            uint8_t& bits = host->paintedBits[index >> 3];
            const uint8_t bit = uint8_t(1u << (index & 7));
            if ((bits & bit) == 0) {
                bits |= bit;
                ++host->firstPaints;
                if (host->paintEpoch != nullptr)
                    host->paintEpoch[index] = uint32_t(host->refreshCount);
            }
        }
    }
    if (__builtin_expect(host->Recording(), 0)) {
        RecordPixelCall(HostCallKind::PSet, view, x, y, zero);
        return;
    }
    ++host->callCounts[static_cast<int>(HostCallKind::PSet)];
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsSetDrawFlag(ImageView* view, int32_t x, int32_t y,
                                                 int32_t one) {
    SimulatedHost* host = Current;
    if (host->honourDrawFlag && host->Contains(x, y)) {
        uint8_t& flags = host->mask[host->IndexOf(x, y)];
        if (host->drawnFlagsSet != nullptr && (flags & MaskDrawnBit) == 0) {
            if (host->drawnFlagsSet->size() < host->drawnFlagsLimit)
                host->drawnFlagsSet->push_back(uint32_t(host->IndexOf(x, y)));
            else
                host->drawnFlagsOverflowed = true;
        }
        flags |= MaskDrawnBit;
    }
    if (__builtin_expect(host->Recording(), 0)) {
        RecordPixelCall(HostCallKind::SetDrawFlag, view, x, y, one);
        return;
    }
    ++host->callCounts[static_cast<int>(HostCallKind::SetDrawFlag)];
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsUpdateImageWindow(ImageView* view, int32_t left, int32_t top,
                                                       int32_t right, int32_t bottom) {
    SimulatedHost* host = Current;
    ++host->refreshCount;
    if (host->keepRefreshes)
        host->refreshes.push_back({left, top, right, bottom});
    VX_NOTE(host, HostCallKind::UpdateImageWindow, view, {left, top, right, bottom});
    if (host->onRefresh != nullptr)
        host->onRefresh(host->onRefreshContext, host->refreshes.back());
}
}

// ---- The platform's cursor and message box -----------------------------------------------------

void* SimulatedLoadCursor(void* module, const char* name) {
    SimulatedHost* host = Current;
    RecordCall(MakeCall(HostCallKind::LoadCursor, host->View(),
                        {int64_t(reinterpret_cast<uintptr_t>(name)), module != nullptr}));
    return reinterpret_cast<void*>(static_cast<uintptr_t>(WaitCursor));
}

void* SimulatedSetCursor(void* cursor) {
    SimulatedHost* host = Current;
    int64_t previous = host->currentCursor;
    host->currentCursor = int64_t(reinterpret_cast<uintptr_t>(cursor));
    RecordCall(MakeCall(HostCallKind::SetCursor, host->View(), {host->currentCursor, previous}));
    return reinterpret_cast<void*>(static_cast<uintptr_t>(previous));
}

int SimulatedMessageBox(void* owner, const char* text, const char* caption, unsigned type) {
    SimulatedHost* host = Current;
    HostCall call = MakeCall(HostCallKind::MessageBox, host->View(),
                             {owner == host->ownerWindow, int64_t(type)});
    call.text = text != nullptr ? text : "(null)";
    call.caption = caption != nullptr ? caption : "(null)";
    host->messages.push_back({call.text, call.caption});
    RecordCall(call);
    return 1; // IDOK
}
