#include "counting_host.h"

#include "image_view_record.h"
#include "platform_ui.h"

namespace bench {

CountingHost Host;

void CountingHost::Load(int32_t imageWidth, int32_t imageHeight,
                        const std::vector<PackedColour>& source) {
    width = imageWidth;
    height = imageHeight;
    pixels = source;
    mask.assign(source.size(), 0);
    for (uint64_t& count : counts)
        count = 0;
    sequenceHash = 0;
    host_model::WriteImageViewFields(viewRecord, nullptr, &dib);
}

// Counts the call and, when checking, folds it into the sequence hash.
static inline void Count(CountedCall kind, int64_t a = 0, int64_t b = 0, int64_t c = 0,
                         int64_t d = 0) {
    ++Host.counts[kind];
    if (__builtin_expect(Host.hashing, 0)) {
        for (int64_t value : {int64_t(kind), a, b, c, d})
            Host.sequenceHash = (Host.sequenceHash ^ uint64_t(value)) * 0x100000001B3u;
    }
}

static inline bool Inside(int32_t x, int32_t y) {
    return uint32_t(x) < uint32_t(Host.width) && uint32_t(y) < uint32_t(Host.height);
}

static inline size_t IndexOf(int32_t x, int32_t y) {
    return size_t(y) * size_t(Host.width) + size_t(x);
}

#define VX_BENCH_EXPORT __attribute__((visibility("default")))

extern "C" {

VX_BENCH_EXPORT const char* _VXsGetParameter(int32_t group, int32_t index) {
    Count(CountedGetParameter, group, index);
    return group == 2 && (index == 0 || index == 1) ? Host.parameters[index] : nullptr;
}

VX_BENCH_EXPORT void _VXsGetCDIBinfo(CDIB*, int32_t* info0, int32_t* info1, int32_t* info2) {
    Count(CountedGetCDIBinfo);
    *info0 = Host.width;
    *info1 = Host.height;
    *info2 = 32;
}

VX_BENCH_EXPORT void _VXsStartOnImage(CDIB*) {
    Count(CountedStartOnImage);
}

VX_BENCH_EXPORT int32_t _VXsGetColorOnImage(uint32_t handleWord0, uint32_t handleWord1, int32_t x,
                                            int32_t y, PackedColour* colour) {
    Count(CountedGetColorOnImage, handleWord0, handleWord1, x, y);
    if (!Inside(x, y))
        return 0;
    *colour = Host.pixels[IndexOf(x, y)];
    return 1;
}

VX_BENCH_EXPORT int32_t _VXsGetMask(ImageView*, int32_t x, int32_t y) {
    Count(CountedGetMask, x, y);
    return Inside(x, y) ? Host.mask[IndexOf(x, y)] : 0;
}

VX_BENCH_EXPORT void _VXsStartPset(ImageView*, int32_t x, int32_t y) {
    Count(CountedStartPset, x, y);
}

VX_BENCH_EXPORT void _VXsPSet(ImageView*, int32_t x, int32_t y, int32_t zero) {
    Count(CountedPSet, x, y, zero);
    if (Inside(x, y))
        Host.pixels[IndexOf(x, y)] = Host.paintColour;
}

VX_BENCH_EXPORT void _VXsSetDrawFlag(ImageView*, int32_t x, int32_t y, int32_t one) {
    Count(CountedSetDrawFlag, x, y, one);
    if (Inside(x, y))
        Host.mask[IndexOf(x, y)] |= MaskDrawnBit;
}

VX_BENCH_EXPORT void _VXsUpdateImageWindow(ImageView*, int32_t left, int32_t top, int32_t right,
                                           int32_t bottom) {
    Count(CountedUpdateImageWindow, left, top, right, bottom);
}

// The window system: a wait cursor handle, the cursor swap, a message box answered OK.
VX_BENCH_EXPORT HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) {
    Count(CountedLoadCursor, int64_t(reinterpret_cast<uintptr_t>(name)));
    return reinterpret_cast<HCURSOR>(uintptr_t(0x3A17));
}

VX_BENCH_EXPORT HCURSOR SetCursor(HCURSOR cursor) {
    static HCURSOR current = reinterpret_cast<HCURSOR>(uintptr_t(0xA770));
    Count(CountedSetCursor, int64_t(reinterpret_cast<uintptr_t>(cursor)));
    HCURSOR previous = current;
    current = cursor;
    return previous;
}

VX_BENCH_EXPORT int MessageBoxA(HWND, LPCSTR, LPCSTR, UINT type) {
    Count(CountedMessageBox, type);
    return 1;
}
}

} // namespace bench
