// file_scan.h - inside picture_io: what a PNG's chunks and a JPEG's segments say, read from
// the whole file in memory, for decoders that are handed the pixels alone (the Windows
// Imaging Component decodes the pixels; it neither reports the colour chunks nor checks a
// file as strictly as this library promises).
//
// Each scan walks the file's structure from its signature to its end marker, as a strict
// decoder reads it: every chunk's checksum, the order of the chunks or segments, a file cut
// short. It keeps the metadata the native readers keep: for PNG the colour chunks before the
// pixel data in file order and the orientation of its eXIf chunk (the last one); for JPEG the
// orientation of its first APP1 EXIF segment and its ICC profile, reassembled from its APP2
// segments by their sequence numbers. A failure is one reason, "damaged PNG: ...",
// "unsupported JPEG: ..."; the size is set (width above 0) when the header gave it before the
// damage, so that a caller can judge the size first.
#ifndef PICTURE_IO_FILE_SCAN_H
#define PICTURE_IO_FILE_SCAN_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "decoders.h"

namespace picture_io {

struct PngScan {
    uint32_t width = 0, height = 0;
    int depth = 0, colourType = 0; // as IHDR gives them
    bool interlaced = false;
    bool transparency = false; // a tRNS chunk before the pixel data
    size_t paletteEntries = 0;
    Metadata metadata;
    // Where the compressed pixel data lies: each IDAT chunk's data, as offset and length.
    std::vector<std::pair<size_t, size_t>> data;

    bool Grey() const { return (colourType & 2) == 0; }
    bool Alpha() const { return (colourType & 4) != 0 || transparency; }
};

// `file` holds `size` bytes, the signature included.
bool ScanPng(const unsigned char* file, size_t size, PngScan* scan, std::string* reason);
// The header the native reader gives for the same file: grey or colour, alpha from an alpha
// channel or a transparency chunk, 16 bits kept.
Header HeaderOf(const PngScan& scan);

// Inflates the pixel data without keeping it, to check what the decoder may let pass: an
// intact zlib stream, exactly as many bytes as the header's rows take (Adam7 passes
// included), each row with one of the five filter types, and nothing after the stream in its
// chunk (IDAT chunks after it are not read).
bool CheckPngData(const unsigned char* file, const PngScan& scan, std::string* reason);

struct JpegScan {
    uint32_t width = 0, height = 0;
    int components = 0;
    // An Adobe APP14 segment: decoders then take four-component samples as stored inverted.
    bool adobe = false;
    Metadata metadata;
};

bool ScanJpeg(const unsigned char* file, size_t size, JpegScan* scan, std::string* reason);
// The header the native reader gives: grey for one component, colour for three and for CMYK.
Header HeaderOf(const JpegScan& scan);

} // namespace picture_io

#endif
