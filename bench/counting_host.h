// counting_host.h - the fastest honest host for timing fills: the nine services and the three
// window-system calls over one in-memory image. Each service counts its call and does the least
// a host must: a bounds test and an array read, a mask read, a paint, a flag.
//
// The bench executable exports these symbols (ENABLE_EXPORTS), so the plug-in and the floor
// fill, both loaded with dlopen, reach them through their dynamic symbol tables as the plug-in
// reaches the real host's services.
//
// For checking, not timing: with `hashing` set, every call (kind and arguments) is folded into
// `sequenceHash`, so two fills can be shown to make the same calls in the same order.
#ifndef BENCH_COUNTING_HOST_H
#define BENCH_COUNTING_HOST_H

#include <stdint.h>

#include <vector>

#include "host_services.h"

namespace bench {

enum CountedCall {
    CountedGetParameter,
    CountedGetCDIBinfo,
    CountedStartOnImage,
    CountedGetColorOnImage,
    CountedGetMask,
    CountedStartPset,
    CountedPSet,
    CountedSetDrawFlag,
    CountedUpdateImageWindow,
    CountedLoadCursor,
    CountedSetCursor,
    CountedMessageBox,
    CountedCallKinds
};

struct CountingHost {
    int32_t width = 0, height = 0;
    std::vector<PackedColour> pixels; // row-major
    std::vector<uint8_t> mask;        // row-major pixel flags
    PackedColour paintColour = 0x00FF00FFu;
    const char* parameters[2] = {"0", "0"}; // group 2: step tolerance, seed tolerance
    CDIB dib = {{0x0D1B0001u, 0x0D1B0002u}};
    alignas(8) unsigned char viewRecord[ImageViewMinimumSize + 16] = {};

    uint64_t counts[CountedCallKinds] = {};
    bool hashing = false;
    uint64_t sequenceHash = 0;

    ImageView* View() { return reinterpret_cast<ImageView*>(viewRecord); }
    // A fresh operation on `source`: its pixels, a clear mask, zero counts and hash.
    void Load(int32_t imageWidth, int32_t imageHeight, const std::vector<PackedColour>& source);
};

extern CountingHost Host;

} // namespace bench

#endif
