// BMP, decoded by this library on every platform: 1, 4 and 8 bits of palette indices, RLE8 and
// RLE4, 16 and 32 bits with or without bit fields, 24 bits; bottom-up and top-down rows; the
// Windows headers of 40 to 124 bytes and the OS/2 ones of 12, 16 and 64. Read front to back,
// so that a pipe serves as well as a file.
//
// Where BMP leaves room, this decoder does what browsers do: a 32-bit picture's fourth byte is
// alpha unless every pixel's is 0 (then the picture is opaque); samples of fewer than 8 bits are
// scaled to 0-255 with rounding; pixels that run-length data skips are transparent.
#include <string.h>

#include <string>
#include <vector>

#include "decoders.h"

namespace picture_io {
namespace {

inline uint32_t Little16(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
inline uint32_t Little32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

enum Compression : uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3, AlphaBitFields = 6 };

// One colour component's bit field: where it lies in a pixel, and how its values scale to 8 bits.
struct Field {
    uint32_t mask = 0, shift = 0, bits = 0;
    uint32_t Value(uint32_t pixel) const {
        if (bits == 0)
            return 0;
        const uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8)
            return v >> (bits - 8);
        const uint32_t top = (1u << bits) - 1;
        return (v * 255 + top / 2) / top;
    }
};

// A mask's field; false when its bits are not in one run.
bool FieldOf(uint32_t mask, Field* field) {
    *field = Field();
    field->mask = mask;
    if (mask == 0)
        return true;
    while ((mask >> field->shift & 1) == 0)
        ++field->shift;
    uint32_t run = mask >> field->shift;
    while (run & 1) {
        ++field->bits;
        run >>= 1;
    }
    return run == 0;
}

struct BmpDecoder : Reader::Decoder {
    int64_t width = 0, height = 0; // the height as stored: rows from the top when topDown
    bool topDown = false;
    uint32_t bits = 0, compression = Rgb, dataOffset = 0;
    Field fields[4]; // red, green, blue, alpha
    bool alphaField = false;
    std::vector<uint32_t> palette;

    bool Decode(Picture* picture, std::string* reason) override;

  private:
    bool DecodeRows(Picture* picture, std::string* reason);
    bool DecodeRunLengths(Picture* picture, std::string* reason);
    bool Damaged(const std::string& what, std::string* reason) {
        *reason = input.failed ? "a read failed" : "damaged BMP: " + what;
        return false;
    }
};

// The header's fields, from whichever version of it the file has (its size tells).
bool ReadInfoHeader(BmpDecoder* bmp, const unsigned char* h, uint32_t size, bool* os2,
                    std::string* reason) {
    uint32_t planes;
    if (size == 12) { // OS/2 1.x: 16-bit dimensions, no compression, 3-byte palette entries
        bmp->width = Little16(h + 4);
        bmp->height = Little16(h + 6);
        planes = Little16(h + 8);
        bmp->bits = Little16(h + 10);
        *os2 = true;
    } else if (size == 16 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 ||
               size == 124) {
        bmp->width = int32_t(Little32(h + 4));
        bmp->height = int32_t(Little32(h + 8));
        planes = Little16(h + 12);
        bmp->bits = Little16(h + 14);
        bmp->compression = size >= 40 ? Little32(h + 16) : Rgb;
        *os2 = size == 16 || size == 64;
    } else {
        *reason = "unsupported BMP: a header of " + std::to_string(size) +
                  " bytes (12, 16, 40, 52, 56, 64, 108 and 124 are read)";
        return false;
    }
    if (planes != 1) {
        *reason = "damaged BMP: " + std::to_string(planes) + " planes";
        return false;
    }
    if (bmp->width <= 0 || bmp->height == 0 || bmp->height == INT32_MIN) {
        *reason = "damaged BMP: its header gives a width of " + std::to_string(bmp->width) +
                  " and a height of " + std::to_string(bmp->height);
        return false;
    }
    bmp->topDown = bmp->height < 0;
    if (bmp->topDown)
        bmp->height = -bmp->height;
    return true;
}

// Whether the pixels are stored in a way this decoder reads, and the bit fields they use.
bool CheckEncoding(BmpDecoder* bmp, bool os2, const uint32_t masks[4], std::string* reason) {
    const uint32_t bits = bmp->bits, compression = bmp->compression;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        *reason = "unsupported BMP: " + std::to_string(bits) + " bits a pixel";
        return false;
    }
    if (os2 && compression >= 3) {
        *reason = std::string("unsupported BMP: OS/2 ") +
                  (compression == 3 ? "Huffman-coded" : "RLE24") + " pixels";
        return false;
    }
    if (compression == 4 || compression == 5) {
        const char* inner = compression == 4 ? "JPEG" : "PNG";
        *reason = std::string("unsupported BMP: a ") + inner + " inside a BMP; read that " + inner +
                  " itself";
        return false;
    }
    const bool fits =
        compression == Rgb || (compression == Rle8 && bits == 8) ||
        (compression == Rle4 && bits == 4) ||
        ((compression == BitFields || compression == AlphaBitFields) && (bits == 16 || bits == 32));
    if (!fits) {
        *reason = "unsupported BMP: compression " + std::to_string(compression) + " with " +
                  std::to_string(bits) + " bits a pixel";
        return false;
    }
    if ((compression == Rle8 || compression == Rle4) && bmp->topDown) {
        *reason = "damaged BMP: run-length encoded rows from the top down";
        return false;
    }
    uint32_t use[4] = {masks[0], masks[1], masks[2], masks[3]};
    if (compression == Rgb && bits == 16)
        use[0] = 0x7C00, use[1] = 0x03E0, use[2] = 0x001F, use[3] = 0;
    if (compression == Rgb && bits == 32)
        use[0] = 0xFF0000, use[1] = 0xFF00, use[2] = 0xFF, use[3] = 0xFF000000u;
    if (bits >= 16 && bits != 24) {
        for (int c = 0; c < 4; ++c)
            if (!FieldOf(use[c], &bmp->fields[c])) {
                *reason = "damaged BMP: a bit field whose bits are not in one run";
                return false;
            }
        if ((use[0] & use[1]) || (use[0] & use[2]) || (use[1] & use[2]) ||
            ((use[0] | use[1] | use[2]) & use[3]) ||
            (bits == 16 && ((use[0] | use[1] | use[2] | use[3]) >> 16) != 0)) {
            *reason = "damaged BMP: bit fields that overlap or lie outside the pixel";
            return false;
        }
        bmp->alphaField = use[3] != 0;
    }
    return true;
}

} // namespace

std::unique_ptr<Reader::Decoder> OpenBmp(Input input, Header* header, std::string* reason) {
    std::unique_ptr<BmpDecoder> bmp(new BmpDecoder);
    bmp->input = input;
    Input& in = bmp->input;
    header->format = Format::Bmp;
    unsigned char h[14 + 124 + 16] = {};
    if (in.Read(h, 18) != 18) {
        *reason = in.failed ? "a read failed" : "damaged BMP: the file ends inside its header";
        return nullptr;
    }
    bmp->dataOffset = Little32(h + 10);
    const uint32_t size = Little32(h + 14);
    bool os2 = false;
    if (size >= 12 && size <= 124 && in.Read(h + 18, size - 4) != size - 4) {
        *reason = in.failed ? "a read failed" : "damaged BMP: the file ends inside its header";
        return nullptr;
    }
    if (!ReadInfoHeader(bmp.get(), h + 14, size, &os2, reason))
        return nullptr;
    // Bit fields: in the header from its 52-byte version on, else right after it.
    uint32_t masks[4] = {};
    const bool withFields = bmp->compression == BitFields || bmp->compression == AlphaBitFields;
    if (withFields && !os2 && size < 52) {
        const size_t count = bmp->compression == AlphaBitFields ? 4 : 3;
        if (in.Read(h + 14 + size, 4 * count) != 4 * count) {
            *reason = in.failed ? "a read failed" : "damaged BMP: the file ends inside its header";
            return nullptr;
        }
    }
    if (withFields && !os2)
        for (int c = 0; c < 4; ++c)
            masks[c] = Little32(h + 14 + 40 + 4 * c);
    if (withFields && !os2 && size < 56 && bmp->compression == BitFields)
        masks[3] = 0;
    if (!CheckEncoding(bmp.get(), os2, masks, reason))
        return nullptr;
    if (bmp->dataOffset < uint32_t(in.position)) {
        *reason = "damaged BMP: its pixels start at byte " + std::to_string(bmp->dataOffset) +
                  ", inside its header";
        return nullptr;
    }
    // The palette is every entry that fits before the pixels, at most 256: BMP allows fewer than
    // the bit depth can index, so a file is damaged only when a pixel indexes past them.
    if (bmp->bits <= 8) {
        const uint32_t entryBytes = size == 12 ? 3 : 4;
        const uint32_t room = (bmp->dataOffset - uint32_t(in.position)) / entryBytes;
        const uint32_t entries = room < 256 ? room : 256;
        for (uint32_t i = 0; i < entries; ++i) {
            unsigned char e[4];
            if (in.Read(e, entryBytes) != entryBytes) {
                *reason =
                    in.failed ? "a read failed" : "damaged BMP: the file ends inside its palette";
                return nullptr;
            }
            bmp->palette.push_back(Word(e[2], e[1], e[0], 0));
        }
        if (bmp->palette.empty()) {
            *reason = "damaged BMP: a palette picture without a palette";
            return nullptr;
        }
    }
    // Uncompressed rows take a known number of bytes: a regular file cut before its last row is
    // refused now, before a buffer of the picture's size exists.
    const int64_t rowBytes = (bmp->width * int64_t(bmp->bits) + 31) / 32 * 4;
    const bool runs = bmp->compression == Rle8 || bmp->compression == Rle4;
    if (!runs && in.size >= 0 && bmp->height <= (int64_t(1) << 40) / rowBytes &&
        in.size < int64_t(bmp->dataOffset) + rowBytes * bmp->height) {
        *reason = "damaged BMP: the file ends at byte " + std::to_string(in.size) +
                  ", its pixels at byte " +
                  std::to_string(int64_t(bmp->dataOffset) + rowBytes * bmp->height);
        return nullptr;
    }
    header->width = bmp->width;
    header->height = bmp->height;
    header->channels = bmp->alphaField ? 4 : 3;
    header->bitDepth = 8;
    return bmp;
}

bool BmpDecoder::Decode(Picture* picture, std::string* reason) {
    if (!input.Skip(int64_t(dataOffset) - input.position))
        return Damaged("the file ends before its pixels", reason);
    const bool runs = compression == Rle8 || compression == Rle4;
    if (!(runs ? DecodeRunLengths(picture, reason) : DecodeRows(picture, reason)))
        return false;
    return true;
}

bool BmpDecoder::DecodeRows(Picture* picture, std::string* reason) {
    const size_t w = size_t(width), h = size_t(height);
    std::vector<unsigned char> row((w * bits + 31) / 32 * 4); // rows are padded to 4 bytes
    bool alphaSeen = false;
    for (size_t stored = 0; stored < h; ++stored) {
        if (input.Read(row.data(), row.size()) != row.size())
            return Damaged("the file ends inside its pixels", reason);
        uint32_t* out = &picture->pixels[(topDown ? stored : h - 1 - stored) * w];
        const unsigned char* p = row.data();
        if (bits <= 8) {
            const uint32_t perByte = 8 / bits, mask = (1u << bits) - 1;
            for (size_t x = 0; x < w; ++x) {
                const unsigned shift = 8 - bits * (1 + unsigned(x % perByte));
                const uint32_t index = uint32_t(p[x / perByte] >> shift) & mask;
                if (index >= palette.size())
                    return Damaged("a pixel takes colour " + std::to_string(index) +
                                       " of a palette of " + std::to_string(palette.size()),
                                   reason);
                out[x] = palette[index];
            }
        } else if (bits == 24) {
            for (size_t x = 0; x < w; ++x, p += 3)
                out[x] = Word(p[2], p[1], p[0], 0);
        } else {
            for (size_t x = 0; x < w; ++x) {
                const uint32_t v = bits == 16 ? Little16(p + 2 * x) : Little32(p + 4 * x);
                const uint32_t a = alphaField ? fields[3].Value(v) : 0;
                alphaSeen |= a != 0;
                out[x] = Word(fields[0].Value(v), fields[1].Value(v), fields[2].Value(v), a);
            }
        }
    }
    // An alpha field that is 0 everywhere was not meant as alpha: the picture is opaque.
    picture->hasAlpha = alphaField && alphaSeen;
    if (alphaField && !alphaSeen)
        for (uint32_t& pixel : picture->pixels)
            pixel &= ~OpaqueAlpha;
    return true;
}

// RLE8 and RLE4: runs of one index (RLE4: two alternating), and escapes: 0 0 ends a row, 0 1
// the picture, 0 2 dx dy moves on, 0 n gives n indices as they are (padded to 2 bytes).
bool BmpDecoder::DecodeRunLengths(Picture* picture, std::string* reason) {
    const size_t w = size_t(width), h = size_t(height);
    const bool four = compression == Rle4;
    std::vector<bool> written(w * h, false);
    size_t x = 0, y = 0; // y counts rows from the bottom
    // Writers encode whole stored rows, padding included (ImageMagick's rows of an odd width
    // run past the last pixel): pixels past the end of a row are dropped, as Windows and
    // browsers drop them.
    auto put = [&](uint32_t index) -> bool {
        if (y >= h)
            return Damaged("its run-length data goes past the last row", reason);
        if (x >= w) {
            ++x;
            return true;
        }
        if (index >= palette.size())
            return Damaged("a pixel takes colour " + std::to_string(index) + " of a palette of " +
                               std::to_string(palette.size()),
                           reason);
        const size_t at = (h - 1 - y) * w + x++;
        picture->pixels[at] = palette[index];
        written[at] = true;
        return true;
    };
    for (;;) {
        unsigned char pair[2];
        if (input.Read(pair, 2) != 2)
            return Damaged("the file ends inside its pixels", reason);
        if (pair[0] > 0) {
            for (unsigned i = 0; i < pair[0]; ++i)
                if (!put(four ? (i % 2 == 0 ? pair[1] >> 4 : pair[1] & 15) : pair[1]))
                    return false;
        } else if (pair[1] == 0) {
            x = 0;
            ++y;
        } else if (pair[1] == 1) {
            break;
        } else if (pair[1] == 2) {
            unsigned char move[2];
            if (input.Read(move, 2) != 2)
                return Damaged("the file ends inside its pixels", reason);
            x += move[0];
            y += move[1];
            if (y > h || (y == h && x > 0))
                return Damaged("its run-length data moves past the picture", reason);
        } else {
            const unsigned count = pair[1];
            const size_t bytes = four ? (count + 1) / 2 : count;
            unsigned char indices[256];
            if (input.Read(indices, (bytes + 1) / 2 * 2) != (bytes + 1) / 2 * 2)
                return Damaged("the file ends inside its pixels", reason);
            for (unsigned i = 0; i < count; ++i)
                if (!put(four ? (i % 2 == 0 ? indices[i / 2] >> 4 : indices[i / 2] & 15)
                              : indices[i]))
                    return false;
        }
    }
    bool skipped = false;
    for (size_t i = 0; i < written.size(); ++i)
        if (!written[i]) {
            picture->pixels[i] = 0;
            skipped = true;
        }
    // Pixels the data skipped are transparent; the rest opaque.
    picture->hasAlpha = skipped;
    if (skipped)
        for (size_t i = 0; i < written.size(); ++i)
            if (written[i])
                picture->pixels[i] |= OpaqueAlpha;
    return true;
}

} // namespace picture_io
