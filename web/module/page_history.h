// page_history.h - the page's undo and redo: the editor's record of a fill (FillChange, from
// editor/undo_history.h), kept with the box around its pixels, within a byte budget.
//
// Each level is one fill's change. Undo and Redo write the change into the picture and into
// `before` (the picture as the next fill starts from it, which RecordFill reads) and hand back
// the level, so that the page can show the box that changed. A new fill drops the redo levels;
// while the levels' bytes exceed the budget the oldest go (the newest is always kept), and the
// pixels they painted are remembered as painted for good, as the file written from the
// picture must know every pixel a fill painted that is not undone.
//
// States: 0 is the picture as opened; every fill kept gives a new state, never reused, and
// Undo and Redo move between them. The page compares the state with the one last saved.
#ifndef WEB_MODULE_PAGE_HISTORY_H
#define WEB_MODULE_PAGE_HISTORY_H

#include <stddef.h>
#include <stdint.h>

#include <deque>
#include <vector>

#include "editor/undo_history.h"

// Inclusive pixel coordinates.
struct PixelBox {
    int32_t left, top, right, bottom;
};

struct PageLevel {
    FillChange change;
    PixelBox box;
    size_t Bytes() const { return change.Bytes() + sizeof(PageLevel); }
};

class PageHistory {
  public:
    // Forgets every level, for a picture of `pixels` pixels as opened.
    void Start(size_t pixels, size_t budgetBytes);

    // A fill's change; the redo levels go, and the oldest levels while over the budget.
    void Push(FillChange&& change, PixelBox box);
    // The level applied to both buffers, or null when there is none.
    const PageLevel* Undo(uint32_t* pixels, uint32_t* before);
    const PageLevel* Redo(uint32_t* pixels, uint32_t* before);

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    uint64_t State() const { return state_; }
    size_t Bytes() const { return bytes_; }
    size_t Budget() const { return budget_; }
    size_t UndoLevels() const { return undo_.size(); }
    uint64_t DroppedLevels() const { return dropped_; }

    // One byte a pixel: 1 where a fill not undone painted, else 0.
    void PaintedMask(uint8_t* mask) const;

  private:
    void Drop(const PageLevel& level);
    size_t pixels_ = 0, budget_ = 0, bytes_ = 0;
    uint64_t dropped_ = 0, state_ = 0, lastState_ = 0, baseState_ = 0;
    std::deque<PageLevel> undo_, redo_;   // newest at the back of each
    std::vector<uint8_t> paintedForGood_; // one bit a pixel: painted by a dropped level
};

#endif
