#include "page_history.h"

#include <string.h>

#include <utility>

void PageHistory::Start(size_t pixels, size_t budgetBytes) {
    undo_.clear();
    redo_.clear();
    pixels_ = pixels;
    budget_ = budgetBytes;
    bytes_ = 0;
    dropped_ = 0;
    state_ = baseState_ = 0;
    lastState_ = 0;
    paintedForGood_.assign((pixels + 7) / 8, 0);
}

void PageHistory::Push(FillChange&& change, PixelBox box) {
    change.id = ++lastState_;
    state_ = change.id;
    for (const PageLevel& level : redo_)
        bytes_ -= level.Bytes();
    redo_.clear();
    undo_.push_back({std::move(change), box});
    bytes_ += undo_.back().Bytes();
    while (bytes_ > budget_ && undo_.size() > 1) {
        Drop(undo_.front());
        undo_.pop_front();
    }
}

// The level's pixels can no longer be undone: they stay painted.
void PageHistory::Drop(const PageLevel& level) {
    const std::vector<uint32_t>& spans = level.change.spans;
    for (size_t s = 0; s < spans.size(); s += 2)
        for (uint32_t pixel = spans[s], end = spans[s] + spans[s + 1]; pixel < end; ++pixel)
            paintedForGood_[pixel >> 3] |= uint8_t(1u << (pixel & 7));
    bytes_ -= level.Bytes();
    baseState_ = level.change.id;
    ++dropped_;
}

const PageLevel* PageHistory::Undo(uint32_t* pixels, uint32_t* before) {
    if (undo_.empty())
        return nullptr;
    redo_.push_back(std::move(undo_.back()));
    undo_.pop_back();
    ApplyUndo(redo_.back().change, pixels);
    ApplyUndo(redo_.back().change, before);
    state_ = undo_.empty() ? baseState_ : undo_.back().change.id;
    return &redo_.back();
}

const PageLevel* PageHistory::Redo(uint32_t* pixels, uint32_t* before) {
    if (redo_.empty())
        return nullptr;
    undo_.push_back(std::move(redo_.back()));
    redo_.pop_back();
    ApplyRedo(undo_.back().change, pixels);
    ApplyRedo(undo_.back().change, before);
    state_ = undo_.back().change.id;
    return &undo_.back();
}

void PageHistory::PaintedMask(uint8_t* mask) const {
    for (size_t pixel = 0; pixel < pixels_; ++pixel)
        mask[pixel] = paintedForGood_[pixel >> 3] >> (pixel & 7) & 1;
    for (const PageLevel& level : undo_) {
        const std::vector<uint32_t>& spans = level.change.spans;
        for (size_t s = 0; s < spans.size(); s += 2)
            memset(mask + spans[s], 1, spans[s + 1]);
    }
}
