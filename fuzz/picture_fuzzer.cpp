// Fuzzes picture reading with arbitrary files: headers, cut and corrupt data, EXIF blocks and
// run-length data of every format. Reading must refuse or decode, never read out of bounds or
// crash; a picture it accepts has the size its header gave, upright, and decodes the same again.
// The limit is kept small so that a header claiming a big picture is refused, not allocated.
// A PNG or JPEG accepted here is accepted by the scans the Windows readers rest on, with the
// same header, orientation and colour chunks.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "file_scan.h"
#include "picture_io.h"

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
    return picture_io::CheckSize(*header, 1 << 20, "", &reason) && reader.Decode(picture, &reason);
}

// What the Windows readers would take from the same bytes, as the header before orientation.
static bool Scan(const uint8_t* data, size_t size, picture_io::Header* header,
                 std::vector<picture_io::Chunk>* colour) {
    std::string reason;
    if (header->format == picture_io::Format::Png) {
        picture_io::PngScan scan;
        if (!picture_io::ScanPng(data, size, &scan, &reason) ||
            !picture_io::CheckPngData(data, scan, &reason))
            return false;
        *header = picture_io::HeaderOf(scan);
        *colour = scan.metadata.colour;
    } else {
        picture_io::JpegScan scan;
        if (!picture_io::ScanJpeg(data, size, &scan, &reason))
            return false;
        *header = picture_io::HeaderOf(scan);
        *colour = scan.metadata.colour;
    }
    return true;
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
    if (header.format == picture_io::Format::Bmp)
        return 0;
    picture_io::Header scanned = header;
    std::vector<picture_io::Chunk> colour;
    if (!Scan(data, size, &scanned, &colour))
        abort();
    if (scanned.orientation >= 5)
        std::swap(scanned.width, scanned.height);
    if (scanned.width != header.width || scanned.height != header.height ||
        scanned.channels != header.channels || scanned.bitDepth != header.bitDepth ||
        scanned.orientation != header.orientation || colour != picture.colour)
        abort();
    return 0;
}
