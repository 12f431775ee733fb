#include "undo_history.h"

#include <utility>

namespace editor {

enum : uint32_t { RunBit = 0x80000000u, MaxCount = 0x7FFFFFFFu };

// ---- PackedWords -------------------------------------------------------------------------------

void PackedWords::Add(uint32_t word) {
    if (repeatCount_ > 0 && word == repeatWord_ && repeatCount_ < MaxCount) {
        ++repeatCount_;
        return;
    }
    FlushRepeat();
    repeatWord_ = word;
    repeatCount_ = 1;
}

void PackedWords::Finish() {
    FlushRepeat();
    literalHeader_ = SIZE_MAX;
}

// Writes the pending repeats: as a run when there are three or more (two words instead of
// three or more), else appended to the open literal.
void PackedWords::FlushRepeat() {
    if (repeatCount_ >= 3) {
        stream_.reserve(stream_.size() + 2); // both words or neither
        stream_.push_back(RunBit | repeatCount_);
        stream_.push_back(repeatWord_);
        literalHeader_ = SIZE_MAX;
    } else {
        for (uint32_t i = 0; i < repeatCount_; ++i) {
            if (literalHeader_ == SIZE_MAX || stream_[literalHeader_] == MaxCount) {
                stream_.reserve(stream_.size() + 2);
                stream_.push_back(0);
                literalHeader_ = stream_.size() - 1;
            }
            stream_.push_back(repeatWord_);
            ++stream_[literalHeader_];
        }
    }
    repeatCount_ = 0;
}

uint32_t PackedWords::Reader::Next() {
    if (left_ == 0) {
        uint32_t header = stream_[at_++];
        run_ = (header & RunBit) != 0;
        left_ = header & MaxCount;
    }
    --left_;
    if (run_)
        return left_ == 0 ? stream_[at_++] : stream_[at_];
    return stream_[at_++];
}

// ---- One fill's change -------------------------------------------------------------------------

bool FillChangedDocument(const uint8_t* paintedBits, size_t count, const uint32_t* before,
                         const uint32_t* after, const uint8_t* shownPainted) {
    const size_t bytes = (count + 7) / 8;
    for (size_t byte = 0; byte < bytes; ++byte) {
        if (paintedBits[byte] == 0)
            continue;
        if (shownPainted != nullptr && (paintedBits[byte] & ~shownPainted[byte]) != 0)
            return true;
        for (size_t i = byte * 8; i < byte * 8 + 8 && i < count; ++i)
            if ((paintedBits[byte] >> (i & 7) & 1) != 0 && before[i] != after[i])
                return true;
    }
    return false;
}

FillChange RecordFill(const uint8_t* paintedBits, size_t count, uint32_t* before,
                      const uint32_t* after) {
    FillChange change;
    const size_t bytes = (count + 7) / 8;
    size_t spanStart = 0, spanLength = 0;
    auto closeSpan = [&] {
        if (spanLength > 0) {
            change.spans.push_back(uint32_t(spanStart));
            change.spans.push_back(uint32_t(spanLength));
        }
    };
    for (size_t byte = 0; byte < bytes; ++byte) {
        // Most of a big picture is outside any one fill: skip its zero bytes quickly.
        if (paintedBits[byte] == 0)
            continue;
        for (size_t i = byte * 8; i < byte * 8 + 8 && i < count; ++i) {
            if ((paintedBits[byte] >> (i & 7) & 1) == 0)
                continue;
            if (spanLength > 0 && spanStart + spanLength == i) {
                ++spanLength;
            } else {
                closeSpan();
                spanStart = i;
                spanLength = 1;
            }
            change.oldColours.Add(before[i]);
            change.newColours.Add(after[i]);
            ++change.pixels;
        }
    }
    closeSpan();
    change.oldColours.Finish();
    change.newColours.Finish();
    change.spans.shrink_to_fit();
    // Only now, when nothing can fail any more, does `before` follow the picture.
    for (size_t s = 0; s < change.spans.size(); s += 2)
        for (size_t i = change.spans[s]; i < size_t(change.spans[s]) + change.spans[s + 1]; ++i)
            before[i] = after[i];
    return change;
}

static void Apply(const FillChange& change, const PackedWords& colours, uint32_t* pixels) {
    PackedWords::Reader reader(colours.Stream());
    for (size_t s = 0; s < change.spans.size(); s += 2) {
        uint32_t* span = pixels + change.spans[s];
        for (uint32_t i = 0; i < change.spans[s + 1]; ++i)
            span[i] = reader.Next();
    }
}

void ApplyUndo(const FillChange& change, uint32_t* pixels) {
    Apply(change, change.oldColours, pixels);
}

void ApplyRedo(const FillChange& change, uint32_t* pixels) {
    Apply(change, change.newColours, pixels);
}

// ---- The history -------------------------------------------------------------------------------

// Sets the bits of the change's pixels in `bits`.
static void MarkPainted(const FillChange& change, std::vector<uint8_t>* bits) {
    for (size_t s = 0; s < change.spans.size(); s += 2)
        for (size_t i = change.spans[s]; i < size_t(change.spans[s]) + change.spans[s + 1]; ++i)
            if ((i >> 3) < bits->size())
                (*bits)[i >> 3] |= uint8_t(1u << (i & 7));
}

void UndoHistory::Push(FillChange&& change) {
    change.id = lastId_ + 1;
    undo_.push_back(std::move(change)); // may throw: nothing has changed yet
    state_ = ++lastId_;
    bytes_ += undo_.back().Bytes();
    for (const FillChange& level : redo_)
        bytes_ -= level.Bytes();
    redo_.clear();
    while (bytes_ > budget_ && undo_.size() > 1) {
        bytes_ -= undo_.front().Bytes();
        baseState_ = undo_.front().id;
        MarkPainted(undo_.front(), &basePainted_);
        undo_.pop_front();
        ++dropped_;
    }
}

const FillChange* UndoHistory::Undo(uint32_t* pixels, uint32_t* before) {
    if (undo_.empty())
        return nullptr;
    // push_back may throw; then both lists are as they were.
    redo_.push_back(std::move(undo_.back()));
    undo_.pop_back();
    for (uint32_t* buffer : {pixels, before})
        if (buffer != nullptr)
            ApplyUndo(redo_.back(), buffer);
    state_ = undo_.empty() ? baseState_ : undo_.back().id;
    return &redo_.back();
}

const FillChange* UndoHistory::Redo(uint32_t* pixels, uint32_t* before) {
    if (redo_.empty())
        return nullptr;
    undo_.push_back(std::move(redo_.back()));
    redo_.pop_back();
    for (uint32_t* buffer : {pixels, before})
        if (buffer != nullptr)
            ApplyRedo(undo_.back(), buffer);
    state_ = undo_.back().id;
    return &undo_.back();
}

void UndoHistory::Clear() {
    undo_.clear();
    redo_.clear();
    bytes_ = 0;
    baseState_ = state_;
}

void UndoHistory::Start(size_t pixels) {
    std::vector<uint8_t> painted((pixels + 7) / 8, 0);
    Clear();
    basePainted_.swap(painted);
}

void UndoHistory::ChangedWithoutUndo(const uint8_t* paintedBits) {
    for (const FillChange& level : undo_)
        MarkPainted(level, &basePainted_);
    for (size_t i = 0; i < basePainted_.size(); ++i)
        basePainted_[i] |= paintedBits[i];
    Clear();
    baseState_ = state_ = ++lastId_;
}

std::vector<uint8_t> UndoHistory::PaintedSinceStart() const {
    std::vector<uint8_t> painted = basePainted_;
    for (const FillChange& level : undo_)
        MarkPainted(level, &painted);
    return painted;
}

} // namespace editor
