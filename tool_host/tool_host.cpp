#include "tool_host.h"

namespace tool_host {

static ToolHost* Current = nullptr;

void ToolHost::MakeCurrent() {
    Current = this;
}

void ToolHost::Load(int32_t imageWidth, int32_t imageHeight, std::vector<PackedColour>&& picture) {
    LoadPicture(imageWidth, imageHeight, std::move(picture));
    ClearCounts();
    refreshCount = 0;
    refreshes.clear();
    messages.clear();
    currentCursor = host_model::ArrowCursor;
    // The arrays of an earlier picture are let go, not only emptied: Reset(0, 0) frees them.
    painted = run_records::PaintRecord();
    drawnFlagsSet = std::vector<uint32_t>();
    drawnFlagsLimit = 0;
    ForgetDrawnFlags();
}

void ToolHost::ClearCounts() {
    for (uint64_t& count : callCounts)
        count = 0;
}

void ToolHost::Reset(int32_t imageWidth, int32_t imageHeight, PackedColour colour) {
    Load(imageWidth, imageHeight,
         std::vector<PackedColour>(size_t(imageWidth) * size_t(imageHeight), colour));
}

void ToolHost::ResetDrawnFlags(const std::vector<uint8_t>& startMask) {
    if (drawnFlagsOverflowed) {
        if (startMask.empty())
            mask.assign(pixels.size(), 0);
        else
            mask = startMask;
    } else {
        // A flag is listed only where it was clear, which in the starting mask it still is.
        for (uint32_t pixel : drawnFlagsSet)
            mask[pixel] = 0;
    }
    drawnFlagsSet.clear();
    drawnFlagsLimit = pixels.size() / 8 + 1024;
    drawnFlagsOverflowed = false;
}

static void Count(ToolHost* host, host_model::HostCallKind kind) {
    ++host->callCounts[static_cast<int>(kind)];
}

// ---- The nine services -------------------------------------------------------------------------

extern "C" {

VX_HOST_EXPORT const char* VX_HOST_CALL _VXsGetParameter(int32_t group, int32_t index) {
    Count(Current, host_model::HostCallKind::GetParameter);
    return Current->Parameter(group, index);
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsGetCDIBinfo(CDIB*, int32_t* info0, int32_t* info1,
                                                 int32_t* info2) {
    Count(Current, host_model::HostCallKind::GetCDIBinfo);
    *info0 = Current->width;
    *info1 = Current->height;
    *info2 = 32;
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsStartOnImage(CDIB*) {
    Count(Current, host_model::HostCallKind::StartOnImage);
}

VX_HOST_EXPORT int32_t VX_HOST_CALL _VXsGetColorOnImage(uint32_t handleWord0, uint32_t handleWord1,
                                                        int32_t x, int32_t y,
                                                        PackedColour* colour) {
    Count(Current, host_model::HostCallKind::GetColorOnImage);
    return Current->ReadColour(handleWord0, handleWord1, x, y, colour) ? 1 : 0;
}

VX_HOST_EXPORT int32_t VX_HOST_CALL _VXsGetMask(ImageView*, int32_t x, int32_t y) {
    Count(Current, host_model::HostCallKind::GetMask);
    return Current->FlagsAt(x, y);
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsStartPset(ImageView*, int32_t, int32_t) {
    Count(Current, host_model::HostCallKind::StartPset);
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsPSet(ImageView*, int32_t x, int32_t y, int32_t) {
    ToolHost* host = Current;
    Count(host, host_model::HostCallKind::PSet);
    if (!host->Contains(x, y))
        return;
    const size_t pixel = host->IndexOf(x, y);
    host->pixels[pixel] = host->paintColour;
    host->painted.Paint(pixel, host->refreshCount);
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsSetDrawFlag(ImageView*, int32_t x, int32_t y, int32_t) {
    ToolHost* host = Current;
    Count(host, host_model::HostCallKind::SetDrawFlag);
    if (!host->honourDrawFlag || !host->Contains(x, y))
        return;
    const size_t pixel = host->IndexOf(x, y);
    uint8_t& flags = host->mask[pixel];
    if ((flags & MaskDrawnBit) == 0) {
        if (host->drawnFlagsSet.size() < host->drawnFlagsLimit)
            host->drawnFlagsSet.push_back(uint32_t(pixel));
        else
            host->drawnFlagsOverflowed = true;
    }
    flags |= MaskDrawnBit;
}

VX_HOST_EXPORT void VX_HOST_CALL _VXsUpdateImageWindow(ImageView*, int32_t left, int32_t top,
                                                       int32_t right, int32_t bottom) {
    ToolHost* host = Current;
    Count(host, host_model::HostCallKind::UpdateImageWindow);
    ++host->refreshCount;
    const host_model::RefreshRect rect = {left, top, right, bottom};
    if (host->keepRefreshes)
        host->refreshes.push_back(rect);
    if (host->onRefresh)
        host->onRefresh(rect);
}
}

} // namespace tool_host

// ---- The platform's cursor and message box -----------------------------------------------------

// Declared by the host model, which every host answers in its own way.
namespace host_model {

void* HostLoadCursor(void*, const char*) {
    tool_host::Count(tool_host::Current, HostCallKind::LoadCursor);
    return reinterpret_cast<void*>(static_cast<uintptr_t>(WaitCursor));
}

void* HostSetCursor(void* cursor) {
    tool_host::Count(tool_host::Current, HostCallKind::SetCursor);
    const int64_t previous = tool_host::Current->currentCursor;
    tool_host::Current->currentCursor = int64_t(reinterpret_cast<uintptr_t>(cursor));
    return reinterpret_cast<void*>(static_cast<uintptr_t>(previous));
}

int HostMessageBox(void*, const char* text, const char* caption, unsigned) {
    tool_host::Count(tool_host::Current, HostCallKind::MessageBox);
    tool_host::Current->messages.push_back(
        {text != nullptr ? text : "(null)", caption != nullptr ? caption : "(null)"});
    return 1; // IDOK
}

} // namespace host_model
