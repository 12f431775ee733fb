// A JPEG's segments read from the file in memory (file_scan.h): the frame header, the EXIF
// orientation, the ICC profile and the Adobe segment before the first scan, and the structure
// of the whole file after it: each scan's data up to its next marker, restart markers in their
// order, and the end marker. The scans' compressed data itself is left to the decoder.
#include <stdio.h>
#include <string.h>

#include "file_scan.h"

namespace picture_io {
namespace {

enum : int { Sof0 = 0xC0, Dht = 0xC4, Jpg = 0xC8, Dac = 0xCC, Rst0 = 0xD0, Soi = 0xD8 };
enum : int { Eoi = 0xD9, Sos = 0xDA, Dri = 0xDD, App1 = 0xE1, App2 = 0xE2, App14 = 0xEE };

uint32_t Big16(const unsigned char* p) {
    return uint32_t(p[0]) << 8 | uint32_t(p[1]);
}

bool Damaged(const std::string& what, std::string* reason) {
    *reason = "damaged JPEG: " + what;
    return false;
}

std::string MarkerName(int marker) {
    char name[8];
    snprintf(name, sizeof name, "0x%02X", marker);
    return name;
}

bool IsFrameHeader(int marker) {
    return marker >= Sof0 && marker <= 0xCF && marker != Dht && marker != Jpg && marker != Dac;
}

// Baseline, extended, progressive, with Huffman or arithmetic coding; not lossless nor
// hierarchical.
bool IsSupportedProcess(int marker) {
    return marker == 0xC0 || marker == 0xC1 || marker == 0xC2 || marker == 0xC9 || marker == 0xCA;
}

bool ReadFrameHeader(int marker, const unsigned char* data, size_t size, JpegScan* scan,
                     std::string* reason) {
    if (scan->components != 0)
        return Damaged("a second frame header", reason);
    if (size < 6 || size != 6 + 3 * size_t(data[5]))
        return Damaged("the frame header has the wrong length", reason);
    if (!IsSupportedProcess(marker)) {
        *reason = "unsupported JPEG: a lossless or hierarchical picture (frame " +
                  MarkerName(marker) + ")";
        return false;
    }
    if (data[0] != 8) {
        *reason = "unsupported JPEG: " + std::to_string(data[0]) + " bits a sample";
        return false;
    }
    const uint32_t height = Big16(data + 1), width = Big16(data + 3);
    if (width == 0 || height == 0 || data[5] == 0)
        return Damaged("the frame header gives no size or no components", reason);
    scan->width = width;
    scan->height = height;
    scan->components = data[5];
    return true;
}

// Skips a scan's compressed data from `*at` to the next marker that is neither a stuffed byte
// nor a restart marker; restart markers come in their order, RST0 to RST7 and round again,
// and only where a restart interval is set.
bool SkipScanData(const unsigned char* file, size_t size, size_t* at, bool restarts,
                  std::string* reason) {
    int due = 0;
    for (;;) {
        const void* found = memchr(file + *at, 0xFF, size - *at);
        if (found == nullptr)
            return Damaged("the file ends early", reason);
        *at = size_t(static_cast<const unsigned char*>(found) - file);
        if (size - *at < 2)
            return Damaged("the file ends early", reason);
        const int next = file[*at + 1];
        if (next == 0x00) {
            *at += 2;
        } else if (next == 0xFF) {
            *at += 1; // a fill byte before a marker
        } else if (next >= Rst0 && next <= Rst0 + 7) {
            if (!restarts || next != Rst0 + due)
                return Damaged("restart marker " + MarkerName(next) + " out of its order", reason);
            due = (due + 1) % 8;
            *at += 2;
        } else {
            return true;
        }
    }
}

// The ICC profile from its APP2 segments (each "ICC_PROFILE\0", its sequence number and the
// count of segments, then its part), put together in sequence order. A set that does not fit
// together (numbers missing, repeated or beyond the count, counts that differ, no data) is
// damage; no segment at all, no profile.
struct IccPart {
    const unsigned char* data;
    size_t size;
};

bool AssembleProfile(const std::vector<IccPart>& parts, std::string* profile, std::string* reason) {
    if (parts.empty())
        return true;
    const int count = parts[0].data[13];
    std::vector<const IccPart*> bySequence(256, nullptr);
    for (const IccPart& part : parts) {
        const int sequence = part.data[12];
        if (part.data[13] != count || sequence == 0 || sequence > count ||
            bySequence[sequence] != nullptr)
            return Damaged("the ICC profile's segments do not fit together", reason);
        bySequence[sequence] = &part;
    }
    for (int sequence = 1; sequence <= count; ++sequence) {
        if (bySequence[sequence] == nullptr)
            return Damaged("the ICC profile's segments do not fit together", reason);
        profile->append(reinterpret_cast<const char*>(bySequence[sequence]->data) + 14,
                        bySequence[sequence]->size - 14);
    }
    if (profile->empty())
        return Damaged("the ICC profile's segments do not fit together", reason);
    return true;
}

} // namespace

bool ScanJpeg(const unsigned char* file, size_t size, JpegScan* scan, std::string* reason) {
    *scan = JpegScan();
    size_t at = 2; // after the start marker
    bool scanned = false, exif = false, restarts = false;
    std::vector<IccPart> profileParts;
    for (;;) {
        if (at >= size)
            return Damaged("the file ends early", reason);
        if (file[at] != 0xFF)
            return Damaged("stray bytes before a marker", reason);
        while (at < size && file[at] == 0xFF)
            ++at;
        if (at >= size)
            return Damaged("the file ends early", reason);
        const int marker = file[at++];
        if (marker == Eoi) {
            if (!scanned)
                return Damaged("the file ends before its first scan", reason);
            break; // what follows the end is not read
        }
        if (marker == 0x01) // TEM: a marker without a segment
            continue;
        if (marker == 0x00 || marker == Soi || (marker >= Rst0 && marker <= Rst0 + 7))
            return Damaged("marker " + MarkerName(marker) + " out of place", reason);
        if (size - at < 2)
            return Damaged("the file ends early", reason);
        const size_t length = Big16(file + at);
        if (length < 2)
            return Damaged("a segment's length is out of range", reason);
        if (size - at < length)
            return Damaged("the file ends early", reason);
        const unsigned char* data = file + at + 2;
        const size_t dataSize = length - 2;
        at += length;

        if (IsFrameHeader(marker)) {
            if (!ReadFrameHeader(marker, data, dataSize, scan, reason))
                return false;
        } else if (marker == Sos) {
            if (scan->components == 0)
                return Damaged("a scan before the frame header", reason);
            scanned = true;
            if (!SkipScanData(file, size, &at, restarts, reason))
                return false;
        } else if (marker == Dri) {
            if (dataSize != 2)
                return Damaged("the restart interval segment has the wrong length", reason);
            restarts = Big16(data) != 0;
        } else if (scanned) {
            // Metadata is what comes before the pixels.
        } else if (marker == App1 && !exif && dataSize >= 6 && memcmp(data, "Exif\0\0", 6) == 0) {
            exif = true;
            scan->metadata.orientation = ExifOrientation(data + 6, dataSize - 6);
        } else if (marker == App2 && dataSize >= 14 && memcmp(data, "ICC_PROFILE\0", 12) == 0) {
            profileParts.push_back({data, dataSize});
        } else if (marker == App14 && dataSize >= 12 && memcmp(data, "Adobe", 5) == 0) {
            scan->adobe = true;
        }
    }
    std::string profile;
    if (!AssembleProfile(profileParts, &profile, reason))
        return false;
    if (!profile.empty()) {
        Chunk chunk =
            IccpChunk(reinterpret_cast<const unsigned char*>(profile.data()), profile.size());
        if (!chunk.data.empty())
            scan->metadata.colour.push_back(chunk);
    }
    return true;
}

Header HeaderOf(const JpegScan& scan) {
    Header header;
    header.format = Format::Jpeg;
    header.width = scan.width;
    header.height = scan.height;
    header.channels = scan.components == 1 ? 1 : 3;
    header.bitDepth = 8;
    header.orientation = scan.metadata.orientation;
    return header;
}

} // namespace picture_io
