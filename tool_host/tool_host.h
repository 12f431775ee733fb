// tool_host.h - the host region_grow, the editor and the benchmarks apply the plug-in with: the
// nine services and the platform's three calls over an in-memory picture (host_picture.h),
// doing only what those programs read back, and no log.
//
// What it keeps: each kind of call counted; every refresh request counted, its rectangle kept
// when asked and handed to a callback when one is set (the editor repaints from it); message
// boxes' texts; which pixels were painted and after how many refresh requests (paint_record.h);
// and the drawn flags set since the last ResetDrawnFlags, so that putting them back costs what
// the fill painted, not what the picture holds.
//
// Tests use the simulated host (simulated_host/simulated_host.h) instead, which logs each call.
// Both define the same exported services, so an executable links exactly one of them: the
// `tool_host` library for the programs, `simulated_host` for the tests and the Windows test host.
#ifndef TOOL_HOST_TOOL_HOST_H
#define TOOL_HOST_TOOL_HOST_H

#include <stdint.h>

#include <functional>
#include <vector>

#include "host_picture.h"
#include "paint_record.h"

namespace tool_host {

struct ToolHost : host_model::HostPicture {
    uint64_t callCounts[static_cast<int>(host_model::HostCallKind::Count)] = {};
    uint64_t CountOf(host_model::HostCallKind kind) const {
        return callCounts[static_cast<int>(kind)];
    }
    void ClearCounts();

    // Every refresh request is counted; its rectangle is kept when keepRefreshes is set, and
    // handed to onRefresh (when set) after it has been counted.
    uint64_t refreshCount = 0;
    bool keepRefreshes = true;
    std::vector<host_model::RefreshRect> refreshes;
    std::function<void(const host_model::RefreshRect&)> onRefresh;

    std::vector<host_model::ShownMessage> messages;
    int64_t currentCursor = host_model::ArrowCursor;
    run_records::PaintRecord painted;

    // Takes over the picture with a clear mask; nothing counted or kept, and no paints
    // recorded until painted.Start() is called for this picture.
    void Load(int32_t imageWidth, int32_t imageHeight, std::vector<PackedColour>&& picture);
    void Reset(int32_t imageWidth, int32_t imageHeight, PackedColour colour = 0);

    // Puts the drawn flags back to `startMask` (empty: all clear), which an operation starts
    // from. Only the flags set since the last reset are put back, unless they were so many (an
    // eighth of the picture) that resetting the whole mask costs no more than setting them did:
    // the list of them stays within half a byte a pixel. The first reset after Load resets all,
    // as does the first after ForgetDrawnFlags (the mask was changed by other means).
    void ResetDrawnFlags(const std::vector<uint8_t>& startMask);
    void ForgetDrawnFlags() { drawnFlagsOverflowed = true; }

    // Makes this host the one the services act on (one at a time per process).
    void MakeCurrent();

    // The drawn flags _VXsSetDrawFlag set where they were clear, by pixel index (pictures of
    // fewer than 2^32 pixels), up to drawnFlagsLimit; past it, only that there were more.
    std::vector<uint32_t> drawnFlagsSet;
    size_t drawnFlagsLimit = 0;
    bool drawnFlagsOverflowed = true;
};

} // namespace tool_host

#endif
