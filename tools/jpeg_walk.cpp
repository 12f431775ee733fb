// Whether a JPEG is whole: its segments and entropy-coded data followed, marker by marker, up
// to the end-of-image marker. The decoder fills a cut scan with grey instead of failing, so a
// cut file is found here, before it is decoded.
#include <memory>
#include <vector>

#include "picture_formats.h"

namespace {

// The source's bytes through a buffer, one at a time.
class Bytes {
  public:
    explicit Bytes(PictureSource* source) : source_(source) {}
    bool Next(unsigned* byte) {
        if (at_ == end_) {
            at_ = 0;
            end_ = source_->Read(buffer_, sizeof buffer_);
            if (end_ == 0)
                return false;
        }
        *byte = buffer_[at_++];
        return true;
    }
    bool Skip(int64_t count) {
        const int64_t buffered = int64_t(end_ - at_);
        if (count <= buffered) {
            at_ += size_t(count);
            return true;
        }
        at_ = end_ = 0;
        return source_->Skip(count - buffered);
    }

  private:
    PictureSource* source_;
    unsigned char buffer_[1 << 16];
    size_t at_ = 0, end_ = 0;
};

} // namespace

bool HuffmanTablesValid(const unsigned char* data, size_t length, unsigned* defined) {
    size_t at = 0;
    while (at < length) {
        if (length - at < 17 || (data[at] >> 4) > 1 || (data[at] & 15) > 3)
            return false;
        size_t codes = 0;
        for (int i = 1; i <= 16; ++i)
            codes += data[at + size_t(i)];
        if (codes > 256 || length - at - 17 < codes)
            return false;
        *defined |= 1u << ((data[at] >> 4) * 4 + (data[at] & 15));
        at += 17 + codes;
    }
    return true;
}

// Whether a scan's header names only Huffman tables defined before it: the decoder would
// look codes up in a table never built.
static bool ScanTablesDefined(const std::vector<unsigned char>& scan, unsigned defined) {
    if (scan.empty() || scan.size() < 4 + 2 * size_t(scan[0]))
        return false;
    const size_t components = scan[0];
    const unsigned start = scan[1 + 2 * components], end = scan[2 + 2 * components],
                   refining = scan[3 + 2 * components] >> 4;
    for (size_t i = 0; i < components; ++i) {
        const unsigned dc = scan[2 + 2 * i] >> 4, ac = scan[2 + 2 * i] & 15;
        if (start == 0 && refining == 0 && (dc > 3 || !(defined >> dc & 1)))
            return false;
        if (end > 0 && (ac > 3 || !(defined >> (4 + ac) & 1)))
            return false;
    }
    return true;
}

// The type of the marker the bytes start with, past its fill bytes (0xFF). False at the
// file's end, or with a reason when a marker does not stand there.
static bool NextMarker(Bytes* bytes, unsigned* type, std::string* reason) {
    if (!bytes->Next(type))
        return false;
    if (*type != 0xFF) {
        *reason = "damaged JPEG: no marker where one belongs";
        return false;
    }
    do
        if (!bytes->Next(type))
            return false;
    while (*type == 0xFF);
    return true;
}

// A Huffman table (DHT) or scan header (SOS) segment of `length` bytes: the tables must be
// well formed, and a scan may use only the tables defined before it (`defined`, bit
// 4 * class + id, which a DHT segment adds to).
static bool CheckTableOrScan(Bytes* bytes, unsigned type, size_t length, unsigned* defined,
                             std::string* reason) {
    std::vector<unsigned char> segment(length);
    for (unsigned char& b : segment) {
        unsigned byte;
        if (!bytes->Next(&byte))
            return false;
        b = (unsigned char)byte;
    }
    if (type == 0xC4 && !HuffmanTablesValid(segment.data(), length, defined)) {
        *reason = "damaged JPEG: a malformed Huffman table";
        return false;
    }
    if (type == 0xDA && !ScanTablesDefined(segment, *defined)) {
        *reason = "damaged JPEG: a scan that uses an undefined Huffman table";
        return false;
    }
    return true;
}

// Past a scan's entropy-coded data, which ends at the first 0xFF followed by a marker other
// than a stuffed zero or a restart; *type is that marker's. False at the file's end.
static bool SkipEntropyCodedData(Bytes* bytes, unsigned* type) {
    for (;;) {
        if (!bytes->Next(type))
            return false;
        if (*type != 0xFF)
            continue;
        do
            if (!bytes->Next(type))
                return false;
        while (*type == 0xFF);
        if (*type != 0x00 && !(*type >= 0xD0 && *type <= 0xD7))
            return true;
    }
}

bool JpegIsWhole(PictureSource* source, std::string* reason) {
    *reason = "damaged JPEG: the file ends before its end-of-image marker";
    if (!source->Seek(2))
        return false;
    std::unique_ptr<Bytes> bytes(new Bytes(source));
    unsigned type = 0;
    bool haveMarker = false; // the entropy-coded data ended on a marker, already read
    unsigned defined = 0;    // Huffman tables defined so far: bit 4 * class + id
    for (;;) {
        if (!haveMarker && !NextMarker(bytes.get(), &type, reason))
            return false;
        haveMarker = false;
        if (type == 0xD9)
            return true;
        if (type == 0x01 || (type >= 0xD0 && type <= 0xD7))
            continue; // markers without a segment
        unsigned high, low;
        if (!bytes->Next(&high) || !bytes->Next(&low))
            return false;
        if ((high << 8 | low) < 2) {
            *reason = "damaged JPEG: a segment of " + std::to_string(high << 8 | low) + " bytes";
            return false;
        }
        const size_t length = (high << 8 | low) - 2; // the length counts its own two bytes
        if (type == 0xC4 || type == 0xDA) {
            if (!CheckTableOrScan(bytes.get(), type, length, &defined, reason))
                return false;
        } else if (!bytes->Skip(int64_t(length))) {
            return false;
        }
        if (type == 0xDA) {
            if (!SkipEntropyCodedData(bytes.get(), &type))
                return false;
            haveMarker = true;
        }
    }
}
