// The fill, in the order it runs: start, main loop, acceptance test, accepting a neighbour,
// the pending queue and the dirty box, the end and the overflow path.
#include "region_growing.h"

#include <atomic>

#include "../host_api/platform_ui.h"
#include "tolerance_text.h"

// ---- Fill state: static, re-initialised by every fill's start -------------------------------

static int32_t StepTolerance; // parent to candidate, per channel
static int32_t SeedTolerance; // seed to parent, per channel
static ImageView* FillView;   // the view the fill was asked for, handed back to every service
static CDIB* FillDib;         // the view's image, taken from the view once per fill
static PackedColour SeedColour;
static PackedColour CandidateColour; // the colour read by the latest acceptance test

// PendingQueue: a ring of pixels waiting to be expanded, each with its colour from before it
// was painted. Head is the next to expand, tail the next free slot; head == tail is empty, so
// the ring holds at most QueueCapacity - 1 entries.
static int32_t PendingX[QueueCapacity];
static int32_t PendingY[QueueCapacity];
static PackedColour PendingColour[QueueCapacity];
static int32_t QueueHead;
static int32_t QueueTail;

// DirtyBox: inclusive bounding box of the pixels painted since the last refresh request.
// Empty is all four at -1, recognised by right < 0 and bottom < 0.
static struct { int32_t left, top, right, bottom; } DirtyBox;

// Set while a fill runs. A second fill would share the state above, so one that arrives
// meanwhile (from another thread, or from inside a host service) is turned away.
static std::atomic_flag FillRunning = ATOMIC_FLAG_INIT;

// Each expansion visits four neighbours. The visit is inlined into each of the four so that the
// loop keeps its values in registers across the host calls: written as calls, or as a loop over
// offset tables, the fill ran 10-20% slower than the tightest fill making the same host calls.
#if defined(__GNUC__)
#define INLINED_VISIT __attribute__((always_inline)) inline
#else
#define INLINED_VISIT inline
#endif

static void RunFill(ImageView* view, CDIB* dib, int32_t x, int32_t y);
static INLINED_VISIT bool VisitNeighbour(int32_t x, int32_t y, PackedColour parentColour,
                                         bool parentNearSeed);
static int32_t StepAside(int32_t coordinate, int32_t step);
static bool ReadColour(int32_t x, int32_t y, PackedColour* colour);
static bool ChannelsWithin(PackedColour a, PackedColour b, int32_t tolerance);
static bool PushPending(int32_t x, int32_t y, PackedColour colour);
static void IncludeInDirtyBox(int32_t x, int32_t y);
static void RequestRefresh(void);
static void StopOnOverflow(HCURSOR previousCursor);

// ---- Start -----------------------------------------------------------------------------------

void RegionGrowingFill(ImageView* view, int32_t x, int32_t y) {
    if (view == nullptr)
        return;
    CDIB* dib = ImageViewCdib(view);
    if (dib == nullptr)
        return;
    if (FillRunning.test_and_set(std::memory_order_acquire))
        return;
    RunFill(view, dib, x, y);
    FillRunning.clear(std::memory_order_release);
}

static void RunFill(ImageView* view, CDIB* dib, int32_t x, int32_t y) {
    StepTolerance = ParseToleranceText(_VXsGetParameter(2, 0));
    SeedTolerance = ParseToleranceText(_VXsGetParameter(2, 1));
    FillView = view;
    FillDib = dib;
    int32_t unusedInfo[3];
    _VXsGetCDIBinfo(FillDib, &unusedInfo[0], &unusedInfo[1], &unusedInfo[2]);
    _VXsStartOnImage(FillDib);

    // A seed the host cannot read lies outside the image, where painting is unsafe.
    if (!ReadColour(x, y, &SeedColour))
        return;

    // The seed is painted without a mask or colour test.
    _VXsStartPset(FillView, x, y);
    _VXsPSet(FillView, x, y, 0);
    _VXsSetDrawFlag(FillView, x, y, 1);
    QueueHead = 0;
    QueueTail = 0;
    PushPending(x, y, SeedColour);
    DirtyBox.left = DirtyBox.right = x;
    DirtyBox.top = DirtyBox.bottom = y;
    int32_t refreshCounter = 0;
    HCURSOR previousCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));

    // ---- Main loop: expand the oldest pending pixel ------------------------------------------
    while (QueueHead != QueueTail) {
        int32_t px = PendingX[QueueHead];
        int32_t py = PendingY[QueueHead];
        PackedColour parentColour = PendingColour[QueueHead];
        QueueHead = QueueHead + 1 == QueueCapacity ? 0 : QueueHead + 1;

        // The seed test looks at the parent only: made once here, applied to each candidate.
        bool parentNearSeed = ChannelsWithin(SeedColour, parentColour, SeedTolerance);
        // Visited above, left, below, right.
        int32_t above = StepAside(py, -1), left = StepAside(px, -1);
        int32_t below = StepAside(py, +1), right = StepAside(px, +1);
        if (!VisitNeighbour(px, above, parentColour, parentNearSeed) ||
            !VisitNeighbour(left, py, parentColour, parentNearSeed) ||
            !VisitNeighbour(px, below, parentColour, parentNearSeed) ||
            !VisitNeighbour(right, py, parentColour, parentNearSeed)) {
            StopOnOverflow(previousCursor);
            return;
        }

        // Tested after the expansion and before the increment: the first request follows the
        // 201st expanded pixel, each later one a further 200.
        if (refreshCounter == RefreshInterval) {
            RequestRefresh();
            refreshCounter = 0;
        }
        ++refreshCounter;
    }

    // ---- End -------------------------------------------------------------------------------
    RequestRefresh();
    SetCursor(previousCursor);
}

// ---- Acceptance test and accepting a neighbour -------------------------------------------------

// Tests the candidate (x, y) and paints it if it joins. Each test rejects at once, skipping
// the later ones. Returns false only when the candidate joined but the queue had no room.
static INLINED_VISIT bool VisitNeighbour(int32_t x, int32_t y, PackedColour parentColour,
                                         bool parentNearSeed) {
    if (!ReadColour(x, y, &CandidateColour))
        return true;
    if (_VXsGetMask(FillView, x, y) & MaskDrawnBit)
        return true;
    if (!ChannelsWithin(CandidateColour, parentColour, StepTolerance) || !parentNearSeed)
        return true;

    _VXsStartPset(FillView, x, y);
    _VXsPSet(FillView, x, y, 0);
    if (!PushPending(x, y, CandidateColour)) {
        // Painted but not queued or flagged: the last refresh must still show it.
        IncludeInDirtyBox(x, y);
        return false;
    }
    _VXsSetDrawFlag(FillView, x, y, 1);
    IncludeInDirtyBox(x, y);
    return true;
}

// The coordinate one step away. The sum wraps in 32-bit unsigned arithmetic, so a coordinate at
// either end of the signed range gives a defined neighbour on the far end rather than an
// overflow; the host's colour read then rejects it like any other point outside the image.
static int32_t StepAside(int32_t coordinate, int32_t step) {
    return static_cast<int32_t>(static_cast<uint32_t>(coordinate) + static_cast<uint32_t>(step));
}

// The host's handle words are read from the image at every read: the host may change them.
static bool ReadColour(int32_t x, int32_t y, PackedColour* colour) {
    return _VXsGetColorOnImage(FillDib->handleWords[0], FillDib->handleWords[1], x, y, colour) != 0;
}

// True when each channel of a lies within tolerance of b's; bits 24-31 are ignored.
static bool ChannelsWithin(PackedColour a, PackedColour b, int32_t tolerance) {
    for (int shift = 16; shift >= 0; shift -= 8) {
        int32_t difference =
            static_cast<int32_t>((a >> shift) & 0xFF) - static_cast<int32_t>((b >> shift) & 0xFF);
        if ((difference < 0 ? -difference : difference) > tolerance)
            return false;
    }
    return true;
}

// ---- Pending queue and dirty box -----------------------------------------------------------

// Fails, changing nothing, when advancing the tail would meet the head.
static bool PushPending(int32_t x, int32_t y, PackedColour colour) {
    int32_t next = QueueTail + 1 == QueueCapacity ? 0 : QueueTail + 1;
    if (next == QueueHead)
        return false;
    PendingX[QueueTail] = x;
    PendingY[QueueTail] = y;
    PendingColour[QueueTail] = colour;
    QueueTail = next;
    return true;
}

static void IncludeInDirtyBox(int32_t x, int32_t y) {
    if (DirtyBox.right < 0 && DirtyBox.bottom < 0) {
        DirtyBox.left = DirtyBox.right = x;
        DirtyBox.top = DirtyBox.bottom = y;
        return;
    }
    if (x < DirtyBox.left)
        DirtyBox.left = x;
    if (x > DirtyBox.right)
        DirtyBox.right = x;
    if (y < DirtyBox.top)
        DirtyBox.top = y;
    if (y > DirtyBox.bottom)
        DirtyBox.bottom = y;
}

// Asks for the dirty box, even when empty, then empties it.
static void RequestRefresh(void) {
    _VXsUpdateImageWindow(FillView, DirtyBox.left, DirtyBox.top, DirtyBox.right, DirtyBox.bottom);
    DirtyBox.left = DirtyBox.top = DirtyBox.right = DirtyBox.bottom = -1;
}

// ---- Failure: the queue overflowed ---------------------------------------------------------

// Leaves the window as a normal end would (refreshed, cursor back) before the modal message,
// so the user sees every painted pixel while the message is up.
static void StopOnOverflow(HCURSOR previousCursor) {
    RequestRefresh();
    SetCursor(previousCursor);
    MessageBoxA(static_cast<HWND>(ImageViewOwnerWindow(FillView)), "Buffer over", "Err", MB_OK);
}
