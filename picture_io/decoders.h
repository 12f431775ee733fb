// decoders.h - inside picture_io: the input every decoder reads, and each format's decoder
// behind Reader. Each Open function reads its format's header from the start of the input
// and fills in the header as the file stores it (before any orientation); Decode then fills a
// picture of that size, still as stored. Reader turns both upright.
#ifndef PICTURE_IO_DECODERS_H
#define PICTURE_IO_DECODERS_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

#include "picture_io.h"

namespace picture_io {

// The file from its first byte: the bytes Reader took to tell the format, then the rest,
// read as it comes (a pipe is never rewound).
struct Input {
    FILE* file = nullptr;
    unsigned char head[8] = {};
    size_t headSize = 0, headUsed = 0;
    bool failed = false; // the system reported an error, not the end of the file
    int64_t position = 0;
    int64_t size = -1; // a regular file's size in bytes; -1 for a pipe or a device

    // Up to `count` bytes; fewer only at the end of the file or on a failure.
    size_t Read(void* to, size_t count);
    // Reads and drops `count` bytes; false if the file ends first.
    bool Skip(int64_t count);
};

struct Reader::Decoder {
    Input input;
    // Damage found after the header gave the size (a file cut right after it): said by Decode,
    // before anything is allocated, so that a caller judges the size first.
    std::string deferred;
    virtual ~Decoder();
    // Decodes into `picture`, whose width, height, hasAlpha and grey are set and whose pixels
    // (and deep samples at 16 bits) are sized. False with the reason.
    virtual bool Decode(Picture* picture, std::string* reason) = 0;
};

// Each takes the input (its signature already checked) and reads the header into `header`.
// Null with the reason when the header cannot describe a picture this library reads.
std::unique_ptr<Reader::Decoder> OpenPng(Input input, Header* header, std::string* reason);
std::unique_ptr<Reader::Decoder> OpenJpeg(Input input, Header* header, std::string* reason);
std::unique_ptr<Reader::Decoder> OpenBmp(Input input, Header* header, std::string* reason);

// What the file's metadata said, for the formats whose decoders find it while reading the
// header: the orientation and the colour chunks, kept by the decoder until Decode.
struct Metadata {
    int orientation = 1;
    std::vector<Chunk> colour;
};

// A JPEG's ICC profile as a PNG iCCP chunk: a name, compression method 0, the profile
// compressed with zlib. Empty data when compression fails.
Chunk IccpChunk(const unsigned char* profile, size_t size);

// The colour word of 8-bit samples.
inline uint32_t Word(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
    return alpha << 24 | red << 16 | green << 8 | blue;
}

} // namespace picture_io

#endif
