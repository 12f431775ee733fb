#include "png_deflate.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

namespace {

enum {
    WindowSize = 32768,
    MinMatch = 4, // what the hash sees; deflate allows 3
    MaxMatch = 258,
    HashBits = 16,
};

// Deflate's length codes 257..285: the shortest length of each and its extra bits.
const uint16_t LengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t LengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Distance codes 0..29.
const uint16_t DistanceBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                   33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                   1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t DistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                   6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

uint32_t Reversed(uint32_t code, int bits) {
    uint32_t result = 0;
    for (int i = 0; i < bits; ++i)
        result |= ((code >> i) & 1u) << (bits - 1 - i);
    return result;
}

// The fixed Huffman codes, bit-reversed for an LSB-first stream, and lookups from a length or
// a distance to its code.
struct Tables {
    uint16_t literalCode[288];
    uint8_t literalBits[288];
    uint8_t lengthCode[MaxMatch + 1];
    uint8_t distanceCode[WindowSize + 1];
    Tables() {
        for (int v = 0; v < 288; ++v) {
            int bits = v < 144 ? 8 : v < 256 ? 9 : v < 280 ? 7 : 8;
            uint32_t code = v < 144   ? 0x30u + uint32_t(v)
                            : v < 256 ? 0x190u + uint32_t(v - 144)
                            : v < 280 ? uint32_t(v - 256)
                                      : 0xC0u + uint32_t(v - 280);
            literalCode[v] = uint16_t(Reversed(code, bits));
            literalBits[v] = uint8_t(bits);
        }
        for (int code = 0, length = 3; length <= MaxMatch; ++length) {
            while (code < 28 && LengthBase[code + 1] <= length)
                ++code;
            lengthCode[length] = uint8_t(code);
        }
        for (int code = 0, distance = 1; distance <= WindowSize; ++distance) {
            while (code < 29 && DistanceBase[code + 1] <= distance)
                ++code;
            distanceCode[distance] = uint8_t(code);
        }
    }
};

const Tables& FixedTables() {
    static const Tables tables;
    return tables;
}

// An LSB-first bit stream into a buffer sized for the worst case.
struct BitWriter {
    unsigned char* out;
    size_t size = 0;
    uint64_t bits = 0;
    int count = 0;

    void Put(uint32_t value, int width) {
        bits |= uint64_t(value) << count;
        count += width;
        while (count >= 8) {
            out[size++] = static_cast<unsigned char>(bits);
            bits >>= 8;
            count -= 8;
        }
    }
    void Flush() {
        if (count > 0)
            out[size++] = static_cast<unsigned char>(bits);
        bits = 0;
        count = 0;
    }
};

uint32_t Read32(const unsigned char* p) {
    uint32_t value;
    memcpy(&value, p, 4);
    return value;
}

uint32_t Hash(const unsigned char* p) {
    return (Read32(p) * 2654435761u) >> (32 - HashBits);
}

uint32_t Adler32(const unsigned char* data, size_t length) {
    uint32_t a = 1, b = 0;
    while (length > 0) {
        size_t chunk = length < 5552 ? length : 5552; // no overflow before the modulo
        length -= chunk;
        for (size_t i = 0; i < chunk; ++i) {
            a += data[i];
            b += a;
        }
        data += chunk;
        a %= 65521;
        b %= 65521;
    }
    return b << 16 | a;
}

} // namespace

unsigned char* PngDeflate(unsigned char* data, int length, int* outLength, int /*quality*/) {
    const Tables& t = FixedTables();
    const size_t n = length > 0 ? size_t(length) : 0;
    // Worst case: every byte a 9-bit literal, plus header, end code and checksum.
    BitWriter writer;
    writer.out = static_cast<unsigned char*>(malloc(n + n / 8 + 16));
    int32_t* last = static_cast<int32_t*>(malloc(sizeof(int32_t) << HashBits));
    if (writer.out == nullptr || last == nullptr) {
        free(writer.out);
        free(last);
        return nullptr;
    }
    for (size_t h = 0; h < (size_t(1) << HashBits); ++h)
        last[h] = -1;

    writer.Put(0x78, 8); // zlib: deflate, 32K window
    writer.Put(0x01, 8); // fastest-level hint; (0x78 << 8 | 0x01) % 31 == 0
    writer.Put(1, 1);    // final block
    writer.Put(1, 2);    // fixed Huffman codes
    size_t i = 0;
    while (i < n) {
        size_t match = 0, distance = 0;
        if (i + MinMatch <= n) {
            const uint32_t h = Hash(data + i);
            const int32_t candidate = last[h];
            last[h] = int32_t(i);
            if (candidate >= 0 && i - size_t(candidate) <= WindowSize &&
                Read32(data + candidate) == Read32(data + i)) {
                const size_t limit = n - i < size_t(MaxMatch) ? n - i : size_t(MaxMatch);
                match = MinMatch;
                while (match < limit && data[size_t(candidate) + match] == data[i + match])
                    ++match;
                distance = i - size_t(candidate);
            }
        }
        if (match == 0) {
            writer.Put(t.literalCode[data[i]], t.literalBits[data[i]]);
            ++i;
            continue;
        }
        const int lengthCode = t.lengthCode[match];
        const int symbol = 257 + lengthCode;
        writer.Put(t.literalCode[symbol], t.literalBits[symbol]);
        writer.Put(uint32_t(match - LengthBase[lengthCode]), LengthExtra[lengthCode]);
        const int distanceCode = t.distanceCode[distance];
        writer.Put(Reversed(uint32_t(distanceCode), 5), 5);
        writer.Put(uint32_t(distance - DistanceBase[distanceCode]), DistanceExtra[distanceCode]);
        // The match's last position is remembered too, so that a long run keeps matching.
        const size_t end = i + match;
        if (end - 1 > i && end - 1 + MinMatch <= n)
            last[Hash(data + end - 1)] = int32_t(end - 1);
        i = end;
    }
    writer.Put(t.literalCode[256], t.literalBits[256]); // end of block
    writer.Flush();
    const uint32_t adler = Adler32(data, n);
    for (int shift = 24; shift >= 0; shift -= 8)
        writer.out[writer.size++] = static_cast<unsigned char>(adler >> shift);
    free(last);
    *outLength = int(writer.size);
    return writer.out;
}
