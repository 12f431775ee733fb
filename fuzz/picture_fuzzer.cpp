// Fuzzes picture reading with arbitrary files: headers, cut and corrupt data, EXIF blocks and
// run-length data of every format. Reading must refuse or decode, never read out of bounds or
// crash; a picture it accepts has the size its header gave, upright, and decodes the same again.
// The limit is kept small so that a header claiming a big picture is refused, not allocated.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "picture_io/picture_io.h"

// Reads the bytes as a picture file through a memory stream, as a pipe would hand them over.
static bool ReadOnce(const uint8_t* data, size_t size, picture_io::Header* header,
                     picture_io::Picture* picture) {
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (file == nullptr)
        return false;
    picture_io::Reader reader;
    std::string reason;
    if (!reader.Open(file, &reason))
        return false;
    *header = reader.header();
    return picture_io::CheckSize(*header, 1 << 20, "", &reason) &&
           reader.Decode(picture, &reason);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    picture_io::Header header;
    picture_io::Picture picture;
    if (!ReadOnce(data, size, &header, &picture))
        return 0;
    const size_t pixels = size_t(header.Pixels());
    if (picture.width != header.width || picture.height != header.height ||
        picture.pixels.size() != pixels ||
        picture.deep.size() != (header.bitDepth == 16 ? pixels * size_t(picture.Channels()) : 0))
        abort();
    picture_io::Header again;
    picture_io::Picture other;
    if (!ReadOnce(data, size, &again, &other) || other.pixels != picture.pixels ||
        other.deep != picture.deep)
        abort();
    return 0;
}
