// What pictures carry beside their pixels, read the same way on every platform: the EXIF
// orientation from a TIFF structure, and a JPEG's ICC profile put into the PNG chunk that
// carries profiles.
#include <string.h>
#include <zlib.h>

#include "decoders.h"

namespace picture_io {

int ExifOrientation(const unsigned char* tiff, size_t size) {
    // Some writers put the JPEG segment's "Exif\0\0" in front of a PNG's eXIf data too.
    if (size >= 6 && memcmp(tiff, "Exif\0\0", 6) == 0) {
        tiff += 6;
        size -= 6;
    }
    if (size < 8)
        return 1;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M'))
        return 1;
    auto u16 = [&](size_t at) {
        return little ? uint32_t(tiff[at]) | uint32_t(tiff[at + 1]) << 8
                      : uint32_t(tiff[at]) << 8 | uint32_t(tiff[at + 1]);
    };
    auto u32 = [&](size_t at) {
        return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    };
    if (u16(2) != 42)
        return 1;
    const uint32_t directory = u32(4);
    if (directory > size - 2)
        return 1;
    const uint32_t entries = u16(directory);
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t at = size_t(directory) + 2 + 12 * size_t(i);
        if (at + 12 > size)
            break;
        const uint32_t tag = u16(at), type = u16(at + 2), count = u32(at + 4);
        if (tag != 0x0112)
            continue;
        if (type != 3 || count != 1) // one SHORT, stored in the entry itself
            return 1;
        const uint32_t value = u16(at + 8);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

Chunk IccpChunk(const unsigned char* profile, size_t size) {
    Chunk chunk{"iCCP", std::string("ICC profile\0\0", 13)};
    uLongf packed = compressBound(uLong(size));
    std::string data(packed, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&data[0]), &packed, profile, uLong(size),
                  Z_BEST_COMPRESSION) != Z_OK)
        return Chunk{"iCCP", ""};
    data.resize(packed);
    chunk.data += data;
    return chunk;
}

} // namespace picture_io
