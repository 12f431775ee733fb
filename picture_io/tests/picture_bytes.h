// picture_bytes.h - pictures written byte by byte for the tests: PNGs from their header fields,
// chunks and raw rows, BMPs from their header fields and pixels, so that a test can make any
// picture a decoder meets, whole or damaged, without the code under test.
#ifndef PICTURE_IO_TESTS_PICTURE_BYTES_H
#define PICTURE_IO_TESTS_PICTURE_BYTES_H

#include <stddef.h>
#include <stdint.h>
#include <zlib.h>

#include <string>
#include <vector>

inline void BigEndian(std::string* bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        *bytes += char(value >> shift & 0xFF);
}

inline void LittleEndian(std::string* bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        *bytes += char(value >> (8 * i) & 0xFF);
}

// The big-endian word at `at` of `bytes` (a PNG chunk's length).
inline uint32_t BigEndian32(const std::string& bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint32_t(uint8_t(bytes[at + 3]));
}

inline std::string PngChunk(const char* type, const std::string& data) {
    std::string chunk;
    BigEndian(&chunk, uint32_t(data.size()));
    chunk += type + data;
    BigEndian(&chunk, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(chunk.data() + 4),
                                     uInt(chunk.size() - 4))));
    return chunk;
}

inline std::string Compressed(const std::string& raw) {
    uLongf size = compressBound(uLong(raw.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(raw.data()),
             uLong(raw.size()));
    out.resize(size);
    return out;
}

// A PNG from its IHDR fields, the chunks between header and data, and its raw (filtered) rows.
inline std::string Png(uint32_t w, uint32_t h, int depth, int colourType, bool interlaced,
                       const std::string& raw, const std::string& between = "") {
    std::string ihdr;
    BigEndian(&ihdr, w);
    BigEndian(&ihdr, h);
    ihdr += {char(depth), char(colourType), 0, 0, char(interlaced ? 1 : 0)};
    return "\x89PNG\r\n\x1a\n" + PngChunk("IHDR", ihdr) + between +
           PngChunk("IDAT", Compressed(raw)) + PngChunk("IEND", "");
}

// A BMP with a 40-byte header and `pixels` bytes of pixel data (however many the header needs).
inline std::string Bmp(int32_t w, int32_t h, int bits, int compression, size_t pixels) {
    std::string bmp = "BM";
    LittleEndian(&bmp, uint32_t(54 + pixels), 4);
    LittleEndian(&bmp, 0, 4);
    LittleEndian(&bmp, 54, 4);
    LittleEndian(&bmp, 40, 4);
    LittleEndian(&bmp, uint32_t(w), 4);
    LittleEndian(&bmp, uint32_t(h), 4);
    LittleEndian(&bmp, 1, 2);
    LittleEndian(&bmp, uint32_t(bits), 2);
    LittleEndian(&bmp, uint32_t(compression), 4);
    bmp += std::string(20, '\0');
    return bmp + std::string(pixels, '\x5a');
}

// A BMP of palette indices (1, 4 or 8 bits), `indices` row by row from the top, with a header
// of `headerSize` bytes (12, the oldest, or 40 and up). The pixels start right after the
// palette, unless `dataOffset` says elsewhere (there, or right after the palette if it says
// less).
inline std::string PaletteBmp(int32_t w, int32_t h, int bits, uint32_t headerSize, bool topDown,
                              const std::vector<uint32_t>& palette,
                              const std::vector<uint8_t>& indices, uint32_t dataOffset = 0) {
    const uint32_t entryBytes = headerSize == 12 ? 3 : 4;
    const size_t rowBytes = (size_t(w) * size_t(bits) + 31) / 32 * 4;
    if (dataOffset == 0)
        dataOffset = 14 + headerSize + uint32_t(palette.size()) * entryBytes;
    std::string bmp = "BM";
    LittleEndian(&bmp, uint32_t(dataOffset + rowBytes * size_t(h)), 4);
    LittleEndian(&bmp, 0, 4);
    LittleEndian(&bmp, dataOffset, 4);
    LittleEndian(&bmp, headerSize, 4);
    const int fieldBytes = headerSize == 12 ? 2 : 4;
    LittleEndian(&bmp, uint32_t(w), fieldBytes);
    LittleEndian(&bmp, uint32_t(topDown ? -h : h), fieldBytes);
    LittleEndian(&bmp, 1, 2);
    LittleEndian(&bmp, uint32_t(bits), 2);
    if (headerSize > 12) {
        LittleEndian(&bmp, 0, 4);                        // no compression
        bmp += std::string(12, '\0');                    // size, resolution
        LittleEndian(&bmp, uint32_t(palette.size()), 4); // colours used
        bmp += std::string(headerSize - 36, '\0');
    }
    for (uint32_t colour : palette)
        LittleEndian(&bmp, colour, int(entryBytes));
    if (bmp.size() < dataOffset)
        bmp.resize(dataOffset, '\0');
    for (int32_t stored = 0; stored < h; ++stored) {
        const int32_t y = topDown ? stored : h - 1 - stored;
        std::string row(rowBytes, '\0');
        for (int32_t x = 0; x < w; ++x) {
            const size_t bit = size_t(x) * size_t(bits);
            row[bit / 8] = char(row[bit / 8] | indices[size_t(y) * size_t(w) + size_t(x)]
                                                   << (8 - bits - int(bit % 8)));
        }
        bmp += row;
    }
    return bmp;
}

// Bytes from a fixed generator; filter bytes (the first of each row) drawn from 0 to 4.
inline std::string NoiseRows(size_t rows, size_t rowBytes, uint32_t seed) {
    std::string raw;
    for (size_t r = 0; r < rows; ++r) {
        seed = seed * 1103515245u + 12345u;
        raw += char((seed >> 16) % 5);
        for (size_t i = 0; i < rowBytes; ++i) {
            seed = seed * 1103515245u + 12345u;
            raw += char(seed >> 16);
        }
    }
    return raw;
}

// The raw data of a w x h PNG of `bits` bits a pixel: every row of every pass, noise.
inline std::string NoiseImageData(uint32_t w, uint32_t h, int bits, bool interlaced,
                                  uint32_t seed) {
    static const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                     {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    if (!interlaced)
        return NoiseRows(h, (size_t(w) * size_t(bits) + 7) / 8, seed);
    std::string raw;
    for (const auto& p : passes) {
        if (w <= uint32_t(p[0]) || h <= uint32_t(p[1]))
            continue;
        const size_t columns = (w - p[0] + p[2] - 1) / p[2], rows = (h - p[1] + p[3] - 1) / p[3];
        raw += NoiseRows(rows, (columns * size_t(bits) + 7) / 8, seed++);
    }
    return raw;
}

#endif
