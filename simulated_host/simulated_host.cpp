#include "simulated_host.h"

namespace simulated_host {

static SimulatedHost* Current = nullptr;

void SimulatedHost::MakeCurrent() {
    Current = this;
}

void SimulatedHost::Reset(int32_t imageWidth, int32_t imageHeight, PackedColour colour) {
    Load(imageWidth, imageHeight,
         std::vector<PackedColour>(size_t(imageWidth) * size_t(imageHeight), colour));
}

void SimulatedHost::Load(int32_t imageWidth, int32_t imageHeight,
                         std::vector<PackedColour>&& picture) {
    LoadPicture(imageWidth, imageHeight, std::move(picture));
    paintCount.assign(pixels.size(), 0);
    ClearLog();
    refreshes.clear();
    messages.clear();
    currentCursor = host_model::ArrowCursor;
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
SimulatedHost::DescribeLog(std::initializer_list<host_model::HostCallKind> kinds) const {
    std::vector<std::string> lines;
    for (const HostCall& call : log)
        for (host_model::HostCallKind kind : kinds)
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
    return cursor == host_model::WaitCursor    ? "wait"
           : cursor == host_model::ArrowCursor ? "arrow"
                                               : "unknown";
}

std::string Describe(const HostCall& call) {
    const int64_t* a = call.args;
    switch (call.kind) {
    case host_model::HostCallKind::GetParameter:
        return Join("GetParameter", {a[0], a[1]});
    case host_model::HostCallKind::GetCDIBinfo:
        return "GetCDIBinfo";
    case host_model::HostCallKind::StartOnImage:
        return "StartOnImage";
    case host_model::HostCallKind::GetColorOnImage:
        return Join("GetColorOnImage", {a[2], a[3]});
    case host_model::HostCallKind::GetMask:
        return Join("GetMask", {a[0], a[1]});
    case host_model::HostCallKind::StartPset:
        return Join("StartPset", {a[0], a[1]});
    case host_model::HostCallKind::PSet:
        return Join("PSet", {a[0], a[1], a[2]});
    case host_model::HostCallKind::SetDrawFlag:
        return Join("SetDrawFlag", {a[0], a[1], a[2]});
    case host_model::HostCallKind::UpdateImageWindow:
        return Join("UpdateImageWindow", {a[0], a[1], a[2], a[3]});
    case host_model::HostCallKind::LoadCursor:
        return Join("LoadCursor", {a[0]});
    case host_model::HostCallKind::SetCursor:
        return std::string("SetCursor(") + CursorName(a[0]) + ")";
    case host_model::HostCallKind::MessageBox:
        return "MessageBox(" + call.text + "," + call.caption + "," + std::to_string(a[1]) + ")";
    case host_model::HostCallKind::Count:
        break;
    }
    return "?";
}

// ---- Recording a call --------------------------------------------------------------------------

// The call's record: its kind, its arguments, and whether it named a view other than the host's.
static HostCall MakeCall(host_model::HostCallKind kind, const ImageView* view,
                         std::initializer_list<int64_t> args) {
    HostCall call{};
    call.kind = kind;
    call.foreignView = view != Current->View();
    int i = 0;
    for (int64_t arg : args)
        call.args[i++] = arg;
    return call;
}

// The same for the calls that name the CDIB instead of the view.
static HostCall MakeImageCall(host_model::HostCallKind kind, const CDIB* dib) {
    HostCall call = MakeCall(kind, Current->View(), {});
    call.foreignView = dib != &Current->dib;
    return call;
}

// Counts the call, logs it unless logging is off, and hands it to the hook when one is set.
static void Record(const HostCall& call) {
    SimulatedHost* host = Current;
    ++host->callCounts[static_cast<int>(call.kind)];
    if (host->logging)
        host->log.push_back(call);
    if (host->afterCall)
        host->afterCall(call);
}

// ---- The nine services -------------------------------------------------------------------------

extern "C" {

VX_HOST_EXPORT const char* VX_HOST_CALL _VXsGetParameter(int32_t group, int32_t index) {
    // Recorded before the look-up: a hook may change the store, and the text it returns must
    // outlive the hook.
    Record(MakeCall(host_model::HostCallKind::GetParameter, Current->View(), {group, index}));
    return Current->Parameter(group, index);
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsGetCDIBinfo(CDIB* dib, int32_t* info0, int32_t* info1,
                                                 int32_t* info2) {
    SimulatedHost* host = Current;
    *info0 = host->width;
    *info1 = host->height;
    *info2 = 32;
    Record(MakeImageCall(host_model::HostCallKind::GetCDIBinfo, dib));
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsStartOnImage(CDIB* dib) {
    Record(MakeImageCall(host_model::HostCallKind::StartOnImage, dib));
}

VX_HOST_EXPORT int32_t VX_HOST_CALL _VXsGetColorOnImage(uint32_t handleWord0, uint32_t handleWord1,
                                                        int32_t x, int32_t y,
                                                        PackedColour* colour) {
    SimulatedHost* host = Current;
    const int32_t read = host->ReadColour(handleWord0, handleWord1, x, y, colour) ? 1 : 0;
    Record(MakeCall(host_model::HostCallKind::GetColorOnImage, host->View(),
                    {handleWord0, handleWord1, x, y, read}));
    return read;
}

VX_HOST_EXPORT int32_t VX_HOST_CALL _VXsGetMask(ImageView* view, int32_t x, int32_t y) {
    const int32_t flags = Current->FlagsAt(x, y);
    Record(MakeCall(host_model::HostCallKind::GetMask, view, {x, y, flags}));
    return flags;
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsStartPset(ImageView* view, int32_t x, int32_t y) {
    Record(MakeCall(host_model::HostCallKind::StartPset, view, {x, y}));
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsPSet(ImageView* view, int32_t x, int32_t y, int32_t zero) {
    SimulatedHost* host = Current;
    if (host->Contains(x, y)) {
        host->Pixel(x, y) = host->paintColour;
        ++host->paintCount[host->IndexOf(x, y)];
    }
    Record(MakeCall(host_model::HostCallKind::PSet, view, {x, y, zero}));
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsSetDrawFlag(ImageView* view, int32_t x, int32_t y,
                                                 int32_t one) {
    SimulatedHost* host = Current;
    if (host->honourDrawFlag && host->Contains(x, y))
        host->mask[host->IndexOf(x, y)] |= MaskDrawnBit;
    Record(MakeCall(host_model::HostCallKind::SetDrawFlag, view, {x, y, one}));
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsUpdateImageWindow(ImageView* view, int32_t left, int32_t top,
                                                       int32_t right, int32_t bottom) {
    Current->refreshes.push_back({left, top, right, bottom});
    Record(MakeCall(host_model::HostCallKind::UpdateImageWindow, view, {left, top, right, bottom}));
}
}

} // namespace simulated_host

// ---- The platform's cursor and message box -----------------------------------------------------

// Declared by the host model, which every host answers in its own way.
namespace host_model {

void* HostLoadCursor(void* module, const char* name) {
    simulated_host::Record(
        simulated_host::MakeCall(HostCallKind::LoadCursor, simulated_host::Current->View(),
                                 {int64_t(reinterpret_cast<uintptr_t>(name)), module != nullptr}));
    return reinterpret_cast<void*>(static_cast<uintptr_t>(WaitCursor));
}

void* HostSetCursor(void* cursor) {
    simulated_host::SimulatedHost* host = simulated_host::Current;
    const int64_t previous = host->currentCursor;
    host->currentCursor = int64_t(reinterpret_cast<uintptr_t>(cursor));
    simulated_host::Record(simulated_host::MakeCall(HostCallKind::SetCursor, host->View(),
                                                    {host->currentCursor, previous}));
    return reinterpret_cast<void*>(static_cast<uintptr_t>(previous));
}

int HostMessageBox(void* owner, const char* text, const char* caption, unsigned type) {
    simulated_host::SimulatedHost* host = simulated_host::Current;
    simulated_host::HostCall call = simulated_host::MakeCall(
        HostCallKind::MessageBox, host->View(), {owner == host->ownerWindow, int64_t(type)});
    call.text = text != nullptr ? text : "(null)";
    call.caption = caption != nullptr ? caption : "(null)";
    host->messages.push_back({call.text, call.caption});
    simulated_host::Record(call);
    return 1; // IDOK
}

} // namespace host_model
