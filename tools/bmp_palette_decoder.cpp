// A decoder for BMPs whose pixels are palette indices (1, 4 or 8 bits). The palette is every
// entry that fits between the header and the pixels, at most 256: BMP allows fewer entries than
// the bit depth can index, so a file is damaged only when a pixel indexes past them.
#include <string>
#include <vector>

#include "picture_formats.h"

namespace {

// The palette as colour words; each entry is blue, green, red and (but for the oldest header)
// a fourth byte that is not used.
bool ReadPalette(PictureSource* source, const BmpLayout& layout, std::vector<uint32_t>* palette,
                 std::string* reason) {
    const uint32_t start = 14 + layout.headerSize;
    const uint32_t entryBytes = layout.headerSize == 12 ? 3 : 4;
    const uint32_t entries =
        layout.dataOffset > start ? (layout.dataOffset - start) / entryBytes : 0;
    std::vector<unsigned char> bytes(size_t(entries < 256 ? entries : 256) * entryBytes);
    if (!source->Seek(start) || source->Read(bytes.data(), bytes.size()) != bytes.size()) {
        *reason = "damaged BMP: the file ends inside its palette";
        return false;
    }
    palette->clear();
    for (size_t at = 0; at < bytes.size(); at += entryBytes)
        palette->push_back(uint32_t(bytes[at + 2]) << 16 | uint32_t(bytes[at + 1]) << 8 |
                           bytes[at]);
    return true;
}

} // namespace

bool DecodeBmpPalette(PictureSource* source, const BmpLayout& layout, RgbImage* image,
                      std::string* reason) {
    std::vector<uint32_t> palette;
    if (!ReadPalette(source, layout, &palette, reason))
        return false;
    if (palette.empty()) {
        *reason = "damaged BMP: a palette picture without a palette";
        return false;
    }
    const uint32_t bits = layout.bits, mask = (1u << bits) - 1, perByte = 8 / bits;
    const size_t width = size_t(image->width), height = size_t(image->height);
    // Rows are padded to 4 bytes.
    std::vector<unsigned char> row((width * bits + 31) / 32 * 4);
    const uint32_t alpha = image->hasAlpha ? OpaqueAlpha : 0;
    if (!source->Seek(layout.dataOffset))
        return false; // the file was measured to hold every row
    for (size_t stored = 0; stored < height; ++stored) {
        if (source->Read(row.data(), row.size()) != row.size()) {
            *reason = "damaged BMP: the file ends inside its pixels";
            return false;
        }
        uint32_t* out = &image->pixels[(layout.topDown ? stored : height - 1 - stored) * width];
        for (size_t x = 0; x < width; ++x) {
            const unsigned shift = 8 - bits * (1 + unsigned(x % perByte));
            const uint32_t index = uint32_t(row[x / perByte] >> shift) & mask;
            if (index >= palette.size()) {
                *reason = "damaged BMP: a pixel takes colour " + std::to_string(index) +
                          " of a palette of " + std::to_string(palette.size());
                return false;
            }
            out[x] = alpha | palette[index];
        }
    }
    return true;
}
