// undo_history.h - the editor's undo and redo, kept as what each fill changed.
//
// A fill paints some of the picture's pixels. Its FillChange holds only those pixels: their
// positions as runs of consecutive pixel indices (row-major), and their colours before and
// after the fill, each as a word stream in which repeats are stored once (see PackedWords).
// A fill over a uniform area therefore costs a few words however large it is; a fill over a
// photograph costs about 4 bytes per painted pixel for the old colours, never a copy of the
// picture, so that many levels fit in a 32-bit process.
//
// The editor keeps `before`, the picture as it was before the next fill, beside the picture
// itself: RecordFill() reads the old colours from it and brings it up to date, and Undo()/Redo()
// write both. UndoHistory keeps the levels within a byte budget, dropping the oldest first
// (the newest level is always kept). Every function here may throw std::bad_alloc; the state
// is then as before the call.
#ifndef EDITOR_UNDO_HISTORY_H
#define EDITOR_UNDO_HISTORY_H

#include <stddef.h>
#include <stdint.h>

#include <deque>
#include <vector>

namespace editor {

// A stream of 32-bit words in which a word repeated at least three times in a row is stored
// as a count and the word: a header word with the top bit set holds the count of a run (the
// next word is its value); a header without it holds the count of literal words that follow.
class PackedWords {
  public:
    void Add(uint32_t word);
    void Finish(); // after the last Add
    const std::vector<uint32_t>& Stream() const { return stream_; }
    size_t Bytes() const { return stream_.capacity() * sizeof(uint32_t); }

    // Reads the words back in order.
    class Reader {
      public:
        explicit Reader(const std::vector<uint32_t>& stream) : stream_(stream) {}
        uint32_t Next();

      private:
        const std::vector<uint32_t>& stream_;
        size_t at_ = 0;
        uint32_t left_ = 0; // words left in the current run or literal
        bool run_ = false;
    };

  private:
    void FlushRepeat();
    std::vector<uint32_t> stream_;
    size_t literalHeader_ = SIZE_MAX; // where the open literal's header is
    uint32_t repeatWord_ = 0, repeatCount_ = 0;
};

struct FillChange {
    std::vector<uint32_t> spans; // pairs: first pixel index, number of pixels
    PackedWords oldColours, newColours;
    uint64_t pixels = 0;
    uint64_t id = 0; // names the picture state after this change (see UndoHistory)

    size_t Bytes() const {
        return spans.capacity() * sizeof(uint32_t) + oldColours.Bytes() + newColours.Bytes();
    }
};

// The change of one fill: the pixels whose bit is set in `paintedBits` (bit i % 8 of byte i / 8),
// with their colours in `before` and in `after`, both `count` pixels. On success `before`
// takes the painted pixels' new colours, so that it equals `after` again.
FillChange RecordFill(const uint8_t* paintedBits, size_t count, uint32_t* before,
                      const uint32_t* after);

// Whether the fill changed the document: some pixel set in `paintedBits` has another colour in
// `after` than in `before`, or (when `shownPainted` is given: a picture whose saved samples a
// fill replaces, see picture_io::PaintDeep) some pixel set there is not yet set in
// `shownPainted`, the pixels the fills on show painted. A click on an area already painted with
// the paint colour changes nothing and is worth no undo level.
bool FillChangedDocument(const uint8_t* paintedBits, size_t count, const uint32_t* before,
                         const uint32_t* after, const uint8_t* shownPainted);

// Puts the change's old (Undo) or new (Redo) colours into `pixels`.
void ApplyUndo(const FillChange& change, uint32_t* pixels);
void ApplyRedo(const FillChange& change, uint32_t* pixels);

class UndoHistory {
  public:
    explicit UndoHistory(size_t budgetBytes = 0) : budget_(budgetBytes) {}
    void SetBudget(size_t budgetBytes) { budget_ = budgetBytes; } // applied from the next Push

    // A new change: the redo levels go, and the oldest levels too while the total is over the
    // budget. Gives the change its id.
    void Push(FillChange&& change);
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    // Applies the newest undo (oldest redo) level to each of the buffers given (null ones are
    // skipped), moves it to the other list and hands it back, for the caller to show what it
    // changed. Null when there is none.
    const FillChange* Undo(uint32_t* pixels, uint32_t* before);
    const FillChange* Redo(uint32_t* pixels, uint32_t* before);
    void Clear(); // forgets every level; the state stays
    // A picture of `pixels` pixels opened: no level, and nothing painted. May throw.
    void Start(size_t pixels);

    // The state the picture is in: 0 as first opened, else the id of the last change applied
    // (ids are never reused). A fill whose change could not be kept calls ChangedWithoutUndo():
    // the levels go, and the picture is in a state of its own.
    uint64_t StateId() const { return state_; }
    // `paintedBits` are the fill's painted pixels, as RecordFill() takes them.
    void ChangedWithoutUndo(const uint8_t* paintedBits);

    // The pixels painted since Start() by the fills the picture now shows (bit i % 8 of byte
    // i / 8): those of the undo levels, of the levels dropped for the budget and of the fills
    // kept without a level. An undone fill's pixels are not among them, unless a fill still
    // shown painted them too. May throw.
    std::vector<uint8_t> PaintedSinceStart() const;

    size_t UndoLevels() const { return undo_.size(); }
    size_t RedoLevels() const { return redo_.size(); }
    size_t Bytes() const { return bytes_; }
    size_t DroppedLevels() const { return dropped_; } // oldest levels given up for the budget

  private:
    size_t budget_, bytes_ = 0, dropped_ = 0;
    uint64_t lastId_ = 0, state_ = 0;
    uint64_t baseState_ = 0;             // the state below the oldest undo level
    std::deque<FillChange> undo_, redo_; // newest at the back of undo_ and of redo_
    std::vector<uint8_t> basePainted_;   // painted below the oldest undo level, sized by Start
};

} // namespace editor

#endif
