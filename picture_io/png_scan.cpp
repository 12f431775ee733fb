// A PNG's chunks read from the file in memory (file_scan.h): the header, the palette and
// transparency that the decoded pixels depend on, the colour chunks and the orientation, every
// checksum; and the pixel data's zlib stream inflated once to check it.
#include <string.h>
#include <zlib.h>

#include "file_scan.h"

namespace picture_io {
namespace {

uint32_t Big32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

bool Damaged(const std::string& what, std::string* reason) {
    *reason = "damaged PNG: " + what;
    return false;
}

bool IsColourChunk(const std::string& type) {
    return type == "iCCP" || type == "sRGB" || type == "gAMA" || type == "cHRM" || type == "pHYs";
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Samples a pixel for each colour type (0 grey, 2 colour, 3 palette, 4 grey and alpha, 6
// colour and alpha).
int SamplesOf(int colourType) {
    return colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
}

bool ValidDepth(int colourType, int depth) {
    switch (colourType) {
    case 0:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
        return depth == 8 || depth == 16;
    }
    return false;
}

bool ReadHeader(const unsigned char* data, uint32_t length, PngScan* scan, std::string* reason) {
    if (length != 13)
        return Damaged("IHDR: the header chunk has the wrong length", reason);
    const uint32_t width = Big32(data), height = Big32(data + 4);
    const int depth = data[8], colourType = data[9];
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return Damaged("IHDR: a width or height of 0 or beyond 2^31 - 1", reason);
    // The size is known from here on, whatever else the header says.
    scan->width = width;
    scan->height = height;
    if (!ValidDepth(colourType, depth))
        return Damaged("IHDR: colour type " + std::to_string(colourType) + " at " +
                           std::to_string(depth) + " bits a sample does not exist",
                       reason);
    if (data[10] != 0 || data[11] != 0)
        return Damaged("IHDR: an unknown compression or filter method", reason);
    if (data[12] > 1)
        return Damaged("IHDR: an unknown interlace method", reason);
    scan->depth = depth;
    scan->colourType = colourType;
    scan->interlaced = data[12] == 1;
    return true;
}

bool ReadPalette(uint32_t length, bool seenData, PngScan* scan, std::string* reason) {
    if (seenData || scan->paletteEntries != 0)
        return Damaged("PLTE: out of place", reason);
    if (scan->Grey())
        return Damaged("PLTE: a palette in a grey picture", reason);
    const uint32_t most = scan->colourType == 3 ? 1u << scan->depth : 256;
    if (length == 0 || length % 3 != 0 || length / 3 > most)
        return Damaged("PLTE: the palette has the wrong length", reason);
    scan->paletteEntries = length / 3;
    return true;
}

bool ReadTransparency(uint32_t length, bool seenData, PngScan* scan, std::string* reason) {
    if (seenData || scan->transparency)
        return Damaged("tRNS: out of place", reason);
    if (scan->colourType == 4 || scan->colourType == 6)
        return Damaged("tRNS: transparency in a picture with an alpha channel", reason);
    if (scan->colourType == 3 && scan->paletteEntries == 0)
        return Damaged("tRNS: transparency before the palette", reason);
    const bool fits = scan->colourType == 3   ? length >= 1 && length <= scan->paletteEntries
                      : scan->colourType == 0 ? length == 2
                                              : length == 6;
    if (!fits)
        return Damaged("tRNS: the transparency chunk has the wrong length", reason);
    scan->transparency = true;
    return true;
}

} // namespace

bool ScanPng(const unsigned char* file, size_t size, PngScan* scan, std::string* reason) {
    *scan = PngScan();
    size_t at = 8;
    bool seenData = false, dataEnded = false;
    for (bool first = true;; first = false) {
        if (size - at < 8)
            return Damaged("the file ends early", reason);
        const uint32_t length = Big32(file + at);
        const std::string type(reinterpret_cast<const char*>(file + at + 4), 4);
        if (length > 0x7FFFFFFF)
            return Damaged("a chunk's length is out of range", reason);
        if (!IsLetter(type[0]) || !IsLetter(type[1]) || !IsLetter(type[2]) || !IsLetter(type[3]))
            return Damaged("a chunk's type is not four letters", reason);
        if (size - at - 8 < size_t(length) + 4)
            return Damaged("the file ends early", reason);
        const unsigned char* data = file + at + 8;
        if (crc32(0, file + at + 4, length + 4) != Big32(data + length))
            return Damaged(type + ": CRC error", reason);
        at += size_t(length) + 12;

        if (first) {
            if (type != "IHDR")
                return Damaged("the file does not start with its header chunk (IHDR)", reason);
            if (!ReadHeader(data, length, scan, reason))
                return false;
        } else if (type == "IDAT") {
            if (dataEnded)
                return Damaged("IDAT: the pixel data is split by other chunks", reason);
            if (scan->colourType == 3 && scan->paletteEntries == 0)
                return Damaged("the palette (PLTE) is missing before the pixel data", reason);
            seenData = true;
            scan->data.push_back({size_t(data - file), length});
        } else if (type == "IEND") {
            if (!seenData)
                return Damaged("the file has no pixel data (IDAT)", reason);
            return true; // what follows the end is not read
        } else {
            dataEnded = seenData;
            if (type == "IHDR")
                return Damaged("IHDR: a second header chunk", reason);
            if (type == "PLTE" && !ReadPalette(length, seenData, scan, reason))
                return false;
            if (type == "tRNS" && !ReadTransparency(length, seenData, scan, reason))
                return false;
            if (type == "eXIf" && !seenData)
                scan->metadata.orientation = ExifOrientation(data, length);
            if (IsColourChunk(type) && !seenData)
                scan->metadata.colour.push_back(
                    {type, std::string(reinterpret_cast<const char*>(data), length)});
            if (type[0] <= 'Z' && type != "PLTE") {
                *reason = "unsupported PNG: it has the critical chunk " + type + ", unknown here";
                return false;
            }
        }
    }
}

Header HeaderOf(const PngScan& scan) {
    Header header;
    header.format = Format::Png;
    header.width = scan.width;
    header.height = scan.height;
    header.channels = (scan.Grey() ? 1 : 3) + (scan.Alpha() ? 1 : 0);
    header.bitDepth = scan.depth == 16 ? 16 : 8;
    header.orientation = scan.metadata.orientation;
    return header;
}

// ---- The pixel data ----------------------------------------------------------------------------

namespace {

// Rows of the same length: how many, and the bytes of each with its filter byte.
struct RowRun {
    uint64_t rows, bytes;
};

// The rows the pixel data holds: the picture's, or each Adam7 pass's (a pass without pixels has
// no rows at all).
std::vector<RowRun> RowsOf(const PngScan& scan) {
    const uint64_t bits = uint64_t(scan.depth) * SamplesOf(scan.colourType);
    auto bytes = [bits](uint64_t width) { return 1 + (width * bits + 7) / 8; };
    if (!scan.interlaced)
        return {{scan.height, bytes(scan.width)}};
    static const int x0[7] = {0, 4, 0, 2, 0, 1, 0}, dx[7] = {8, 8, 4, 4, 2, 2, 1};
    static const int y0[7] = {0, 0, 4, 0, 2, 0, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
    std::vector<RowRun> runs;
    for (int pass = 0; pass < 7; ++pass) {
        const uint64_t w =
            scan.width > uint32_t(x0[pass]) ? (scan.width - x0[pass] + dx[pass] - 1) / dx[pass] : 0;
        const uint64_t h = scan.height > uint32_t(y0[pass])
                               ? (scan.height - y0[pass] + dy[pass] - 1) / dy[pass]
                               : 0;
        if (w != 0 && h != 0)
            runs.push_back({h, bytes(w)});
    }
    return runs;
}

// Follows the inflated bytes through the rows: each row's first byte is its filter type.
struct RowWalk {
    std::vector<RowRun> runs;
    size_t run = 0;
    uint64_t rowsLeft = 0, bytesLeft = 0; // in the current run; of the current row

    bool Done() const { return run == runs.size(); }
    bool Take(const unsigned char* bytes, size_t count, std::string* reason) {
        while (count > 0) {
            if (Done())
                return Damaged("the pixel data goes on past the picture's last row", reason);
            if (bytesLeft == 0) {
                if (bytes[0] > 4)
                    return Damaged("a row has an unknown filter type", reason);
                bytesLeft = runs[run].bytes;
            }
            const uint64_t step = bytesLeft < count ? bytesLeft : count;
            bytes += step;
            count -= size_t(step);
            bytesLeft -= step;
            if (bytesLeft == 0 && --rowsLeft == 0 && ++run < runs.size())
                rowsLeft = runs[run].rows;
        }
        return true;
    }
};

} // namespace

bool CheckPngData(const unsigned char* file, const PngScan& scan, std::string* reason) {
    RowWalk walk;
    walk.runs = RowsOf(scan);
    walk.rowsLeft = walk.runs.empty() ? 0 : walk.runs[0].rows;
    z_stream z = {};
    if (inflateInit(&z) != Z_OK) {
        *reason = "not enough memory";
        return false;
    }
    unsigned char out[1 << 16];
    bool ended = false, fine = true;
    for (size_t piece = 0; fine && piece < scan.data.size(); ++piece) {
        z.next_in = const_cast<unsigned char*>(file + scan.data[piece].first);
        z.avail_in = uInt(scan.data[piece].second);
        // IDAT chunks after the end of the stream are not read, as a strict decoder does not
        // read them either; bytes after the end inside its last chunk are damage.
        if (ended)
            break;
        // Until this piece is used up and zlib holds nothing more back (a full buffer).
        while (fine && !ended && (z.avail_in > 0 || z.avail_out == 0)) {
            z.next_out = out;
            z.avail_out = sizeof out;
            const int status = inflate(&z, Z_NO_FLUSH);
            if (status == Z_MEM_ERROR) {
                *reason = "not enough memory";
                fine = false;
            } else if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
                fine = Damaged(std::string("the compressed pixel data is damaged (") +
                                   (z.msg != nullptr ? z.msg : "zlib error") + ")",
                               reason);
            } else {
                fine = walk.Take(out, sizeof out - z.avail_out, reason);
                ended = status == Z_STREAM_END;
            }
        }
        if (fine && ended && z.avail_in > 0)
            fine = Damaged("data is left over after the compressed pixel data", reason);
    }
    inflateEnd(&z);
    if (!fine)
        return false;
    if (!ended)
        return Damaged("the compressed pixel data ends early", reason);
    if (!walk.Done())
        return Damaged("the pixel data ends before the picture's last row", reason);
    return true;
}

} // namespace picture_io
