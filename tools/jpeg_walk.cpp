// Whether a JPEG is whole: its segments and entropy-coded data followed, marker by marker, up
// to the end-of-image marker. The decoder fills a cut scan with grey instead of failing, and
// decodes what a file leaves out (a quantisation table, a component's scan, a restart marker)
// from memory it never wrote, so such files are found here, before they are decoded.
#include <algorithm>
#include <memory>
#include <string>
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

namespace {

// What the decoder needs to have written every sample: each component's quantisation table
// defined before a scan reads it, each component given data by a scan (a progressive JPEG's
// blocks start from its first DC scan), and a restart marker after every restart interval.
// The decoder keeps its tables, coefficients and samples in memory it does not clear, so a
// file that misses one of these would decode, in part, from whatever that memory held.
struct FrameComponent {
    unsigned id, across, down, table; // sampling factors, quantisation table
    bool given = false;               // a scan has given every block of it data
};

class JpegFrame {
  public:
    // A quantisation table segment's data: the tables it defines.
    void DefineTables(const std::vector<unsigned char>& segment) {
        for (size_t at = 0; at < segment.size();) {
            const unsigned precision = segment[at] >> 4, table = segment[at] & 15;
            const size_t size = 1 + (precision == 0 ? 64 : 128);
            if (precision > 1 || table > 3 || segment.size() - at < size)
                return; // the decoder refuses the segment
            tablesDefined_ |= 1u << table;
            at += size;
        }
    }
    // A frame header's data: the size and the components.
    void Start(unsigned type, const std::vector<unsigned char>& segment) {
        progressive_ = type == 0xC2;
        components_.clear();
        if (segment.size() < 6)
            return;
        height_ = BigEndian16(&segment[1]);
        width_ = BigEndian16(&segment[3]);
        mostAcross_ = mostDown_ = 1;
        for (size_t at = 6; at + 3 <= segment.size() && components_.size() < segment[5]; at += 3) {
            FrameComponent component{segment[at], unsigned(segment[at + 1] >> 4),
                                     segment[at + 1] & 15u, segment[at + 2]};
            mostAcross_ = std::max(mostAcross_, component.across);
            mostDown_ = std::max(mostDown_, component.down);
            components_.push_back(component);
        }
    }
    void SetRestartInterval(const std::vector<unsigned char>& segment) {
        restartInterval_ = segment.size() == 2 ? BigEndian16(segment.data()) : 0;
    }
    // A scan header's data: false with the reason when a component it names uses a table not
    // yet defined. *restarts is the number of restart markers its data needs.
    bool Scan(const std::vector<unsigned char>& segment, uint64_t* restarts, std::string* reason);
    // At the end of the image: false with the reason when a component never had its data.
    bool AllGiven(std::string* reason) const {
        for (const FrameComponent& component : components_)
            if (!component.given) {
                *reason = "damaged JPEG: no scan gives component " + std::to_string(component.id) +
                          (progressive_ ? " its first DC coefficients" : " its data");
                return false;
            }
        return true;
    }

  private:
    std::vector<FrameComponent> components_;
    bool progressive_ = false;
    unsigned width_ = 0, height_ = 0, mostAcross_ = 1, mostDown_ = 1;
    unsigned tablesDefined_ = 0, restartInterval_ = 0;
    uint64_t Blocks(unsigned count, unsigned factor, unsigned most) const {
        return ((uint64_t(count) * factor + most - 1) / most + 7) / 8;
    }
    static uint64_t Units(unsigned count, unsigned most) {
        return (uint64_t(count) + 8 * most - 1) / (8 * most);
    }
};

bool JpegFrame::Scan(const std::vector<unsigned char>& segment, uint64_t* restarts,
                     std::string* reason) {
    *restarts = 0;
    const size_t count = segment.empty() ? 0 : segment[0];
    if (segment.size() < 4 + 2 * count || count == 0)
        return true; // the decoder refuses the scan
    const bool firstDc = segment[1 + 2 * count] == 0 && (segment[3 + 2 * count] >> 4) == 0;
    FrameComponent* only = nullptr;
    for (size_t i = 0; i < count; ++i)
        for (FrameComponent& component : components_) {
            if (component.id != segment[1 + 2 * i])
                continue;
            if (component.table > 3 || !(tablesDefined_ >> component.table & 1)) {
                *reason = "damaged JPEG: component " + std::to_string(component.id) +
                          " uses quantisation table " + std::to_string(component.table) +
                          ", which is not defined";
                return false;
            }
            component.given |= !progressive_ || firstDc;
            only = &component;
            break;
        }
    if (restartInterval_ == 0 || only == nullptr)
        return true;
    // One component alone is coded block by block; several in units of each one's sampling
    // factors (an MCU), which cover the picture.
    const uint64_t units = count == 1 ? Blocks(width_, only->across, mostAcross_) *
                                            Blocks(height_, only->down, mostDown_)
                                      : Units(width_, mostAcross_) * Units(height_, mostDown_);
    *restarts = units == 0 ? 0 : (units + restartInterval_ - 1) / restartInterval_ - 1;
    return true;
}

} // namespace

// Past a scan's entropy-coded data, which ends at the first 0xFF followed by a marker other
// than a stuffed zero or a restart; *type is that marker's, *restarts the restart markers
// passed. False at the file's end.
static bool SkipEntropyCodedData(Bytes* bytes, unsigned* type, uint64_t* restarts) {
    *restarts = 0;
    for (;;) {
        if (!bytes->Next(type))
            return false;
        if (*type != 0xFF)
            continue;
        do
            if (!bytes->Next(type))
                return false;
        while (*type == 0xFF);
        if (*type >= 0xD0 && *type <= 0xD7)
            ++*restarts;
        else if (*type != 0x00)
            return true;
    }
}

// A segment's data, `length` bytes. False at the file's end.
static bool ReadSegment(Bytes* bytes, size_t length, std::vector<unsigned char>* segment) {
    segment->resize(length);
    for (unsigned char& b : *segment) {
        unsigned byte;
        if (!bytes->Next(&byte))
            return false;
        b = (unsigned char)byte;
    }
    return true;
}

// A segment the walk reads (tables, frame, restart interval, scan), into the frame. False with
// the reason when a Huffman table is malformed or a scan uses a table not defined before it.
static bool TakeSegment(unsigned type, const std::vector<unsigned char>& segment,
                        unsigned* huffmanDefined, JpegFrame* frame, uint64_t* restartsNeeded,
                        std::string* reason) {
    if (type == 0xC4 && !HuffmanTablesValid(segment.data(), segment.size(), huffmanDefined)) {
        *reason = "damaged JPEG: a malformed Huffman table";
        return false;
    }
    if (type == 0xDB)
        frame->DefineTables(segment);
    if (type == 0xC0 || type == 0xC1 || type == 0xC2)
        frame->Start(type, segment);
    if (type == 0xDD)
        frame->SetRestartInterval(segment);
    if (type != 0xDA)
        return true;
    if (!ScanTablesDefined(segment, *huffmanDefined)) {
        *reason = "damaged JPEG: a scan that uses an undefined Huffman table";
        return false;
    }
    return frame->Scan(segment, restartsNeeded, reason);
}

// Whether the segment of marker `type` is one TakeSegment reads.
static bool Taken(unsigned type) {
    return type == 0xC4 || type == 0xDB || type == 0xC0 || type == 0xC1 || type == 0xC2 ||
           type == 0xDD || type == 0xDA;
}

bool JpegIsWhole(PictureSource* source, std::string* reason) {
    const std::string cut = "damaged JPEG: the file ends before its end-of-image marker";
    *reason = cut;
    if (!source->Seek(2))
        return false;
    std::unique_ptr<Bytes> bytes(new Bytes(source));
    unsigned type = 0;
    bool haveMarker = false;     // the entropy-coded data ended on a marker, already read
    unsigned huffmanDefined = 0; // Huffman tables defined so far: bit 4 * class + id
    JpegFrame frame;
    std::vector<unsigned char> segment;
    for (;;) {
        if (!haveMarker && !NextMarker(bytes.get(), &type, reason))
            return false;
        haveMarker = false;
        if (type == 0xD9)
            return frame.AllGiven(reason);
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
        uint64_t restartsNeeded = 0;
        if (!Taken(type)) {
            if (!bytes->Skip(int64_t(length)))
                return false;
            continue;
        }
        if (!ReadSegment(bytes.get(), length, &segment))
            return false;
        if (!TakeSegment(type, segment, &huffmanDefined, &frame, &restartsNeeded, reason))
            return false;
        if (type == 0xDA) {
            uint64_t restarts = 0;
            if (!SkipEntropyCodedData(bytes.get(), &type, &restarts))
                return false;
            if (restarts < restartsNeeded) {
                *reason = "damaged JPEG: a scan holds " + std::to_string(restarts) +
                          " restart markers where its restart interval needs " +
                          std::to_string(restartsNeeded);
                return false;
            }
            haveMarker = true;
        }
    }
}
