// paint_record.h - which pixels a run of the tool painted, and at which refresh request each was
// first painted: what the result's record, the frames and the animation are made from.
//
// The tool host (tool_host.h) fills it in as the plug-in paints; RunClicks (fill_run.h) hands
// it to the FillReport when the clicks are done.
#ifndef RUN_RECORDS_PAINT_RECORD_H
#define RUN_RECORDS_PAINT_RECORD_H

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <vector>

namespace run_records {

// A pixel not yet painted, as PaintRecord::Epoch reports it.
enum : uint32_t { NeverPainted = UINT32_MAX };

struct PaintRecord {
    // One bit a pixel (bit i % 8 of byte i / 8, row-major), set at its first paint.
    std::vector<uint8_t> bits;
    uint64_t count = 0; // pixels painted
    // When asked for, the number of refresh requests made before each pixel's first paint. Only
    // painted pixels' words are written (and touched in memory): the rest are left as they were,
    // so the array needs no clearing, and a run that keeps no epochs costs a store less a pixel.
    std::unique_ptr<uint32_t[]> epochs;
    size_t epochWords = 0;

    // Nothing painted, on a picture of `pixels` pixels; the epoch array, when kept, is reused
    // from an earlier run of the same size.
    void Start(size_t pixels, bool keepEpochs) {
        bits.assign((pixels + 7) / 8, 0);
        count = 0;
        if (!keepEpochs) {
            ReleaseEpochs();
        } else if (epochWords != pixels) {
            epochs.reset(new uint32_t[pixels]);
            epochWords = pixels;
        }
    }
    void ReleaseEpochs() {
        epochs.reset();
        epochWords = 0;
    }

    // A paint of `pixel` after `refreshes` refresh requests; only the first one is kept. A record
    // not started (or handed over) for this picture keeps nothing.
    void Paint(size_t pixel, uint64_t refreshes) {
        if ((pixel >> 3) >= bits.size())
            return;
        // The bits are few and stay in the cache; the epoch words are many, and a store that
        // misses the cache does not hold the fill up as a load would.
        uint8_t& byte = bits[pixel >> 3];
        const uint8_t bit = uint8_t(1u << (pixel & 7));
        if ((byte & bit) != 0)
            return;
        byte |= bit;
        ++count;
        if (epochs != nullptr)
            epochs[pixel] = uint32_t(refreshes);
    }

    bool Painted(size_t pixel) const { return bits[pixel >> 3] >> (pixel & 7) & 1; }
    // The refresh requests made before the pixel's first paint (epochs kept), or NeverPainted.
    uint32_t Epoch(size_t pixel) const { return Painted(pixel) ? epochs[pixel] : NeverPainted; }
};

} // namespace run_records

#endif
