// page_module.cpp - page.wasm's face to the page's worker: the tool host that region_grow and
// the editor run the plug-in on (tool_host/tool_host.cpp), the plug-in's own objects, the editor's
// undo levels (editor/undo_history.h) and the tolerance explorer, over one picture in this
// module's memory.
//
// The worker writes a picture's colour words in once (page_picture_buffer, page_open), types
// the tolerances (page_text_buffer, page_set_parameter) and clicks (page_fill); it reads the
// pixels back for the screen and the download. While a fill runs the module calls the worker
// at each refresh request (page.refresh), each cursor change (page.cursor) and for the message
// box (page.message); nothing of the picture crosses per pixel.
//
// One picture at a time, one call at a time: the worker runs in one thread.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform_ui.h"
#include "plugin_exports.h"
#include "tolerance_explorer.h"
#include "tool_host.h"
#include "undo_history.h"

#define PAGE_EXPORT(name) extern "C" __attribute__((export_name(name)))
#define PAGE_IMPORT(name) __attribute__((import_module("page"), import_name(name)))

// What the worker is told while a fill runs.
extern "C" {
// A refresh request; `listed` pixels were painted before it (page_painted_list).
PAGE_IMPORT("refresh") void PageRefresh(uint32_t listed);
// The cursor over the picture: 1 the wait cursor, 0 the normal one.
PAGE_IMPORT("cursor") void PageCursor(int32_t wait);
// The plug-in's message box; the fill has ended when it is shown.
PAGE_IMPORT("message") void PageMessage(const char* text, const char* caption);
}

namespace {

// Inclusive pixel coordinates; all -1: none.
struct PixelBox {
    int32_t left, top, right, bottom;
};

tool_host::ToolHost host;
std::vector<PackedColour> before;  // the picture as the next fill starts from it
std::vector<PackedColour> opening; // a picture's colour words on their way in
editor::UndoHistory history;
std::vector<char> text; // a text from the worker
bool quiet = false;     // a trial fill: nothing shown, nothing kept
host_model::RefreshRect lastRefresh;
PixelBox changed; // what the last undo or redo wrote
std::vector<uint8_t> paintedMask;

// The explorer's map for the last click explored, its curve and the outline of one step.
std::vector<uint16_t> joinMap;
std::vector<uint32_t> joinScratch;
uint32_t curve[tolerance_explorer::StepCount];
PixelBox reached; // the pixels the map reaches
int32_t exploredX = 0, exploredY = 0;
std::vector<uint32_t> outline;
tolerance_explorer::StableRange ranges[tolerance_explorer::MaxStableRanges];
tolerance_explorer::Leak leak;

const uint32_t Opaque = 0xFF000000u;

void Include(PixelBox* box, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (left < 0 || box->right < 0) {
        if (left >= 0)
            *box = {left, top, right, bottom};
        return;
    }
    if (left < box->left)
        box->left = left;
    if (top < box->top)
        box->top = top;
    if (right > box->right)
        box->right = right;
    if (bottom > box->bottom)
        box->bottom = bottom;
}

// The box around a change's pixels: each run of pixel indices, in one row or across rows.
PixelBox BoxOf(const editor::FillChange& change, int32_t width) {
    PixelBox box = {-1, -1, -1, -1};
    const uint32_t w = uint32_t(width);
    for (size_t s = 0; s < change.spans.size(); s += 2) {
        const uint32_t first = change.spans[s], last = first + change.spans[s + 1] - 1;
        const int32_t top = int32_t(first / w), bottom = int32_t(last / w);
        if (top == bottom)
            Include(&box, int32_t(first % w), top, int32_t(last % w), bottom);
        else
            Include(&box, 0, top, width - 1, bottom);
    }
    return box;
}

void OnRefresh(const host_model::RefreshRect& rect) {
    lastRefresh = rect;
    if (!quiet)
        PageRefresh(uint32_t(host.drawnFlagsSet.size()));
}

void ForgetExplorer() {
    joinMap = std::vector<uint16_t>();
    joinScratch = std::vector<uint32_t>();
    outline = std::vector<uint32_t>();
}

// One click as region_grow and the editor make it: the drawn flags clear, every paint of this
// click recorded. Every pixel the fill flags drawn is listed in the order painted, for the
// screen: a fill flags each pixel it paints at once, but for the one a full queue turns away.
void Click(int32_t x, int32_t y) {
    host.ResetDrawnFlags({});
    host.drawnFlagsLimit = host.pixels.size();
    // The list grows with what the fill paints: room made before it starts, so that a fill
    // never stops to grow the module's memory and copy the list (the first would run slower).
    host.drawnFlagsSet.reserve(host.pixels.size());
    host.ClearCounts();
    host.refreshCount = 0;
    host.messages.clear();
    host.painted.Start(host.pixels.size(), false);
    lastRefresh = {-1, -1, -1, -1};
    VXcDrawIt(host.View(), x, y, 0);
}

bool Overflowed() {
    for (const host_model::ShownMessage& message : host.messages)
        if (message.text == "Buffer over")
            return true;
    return false;
}

} // namespace

// ---- The platform's three calls ----------------------------------------------------------------

extern "C" {

HCURSOR LoadCursorA(HINSTANCE module, LPCSTR name) {
    return host_model::HostLoadCursor(module, name);
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR previous = host_model::HostSetCursor(cursor);
    if (!quiet && cursor != previous)
        PageCursor(host.currentCursor == host_model::WaitCursor ? 1 : 0);
    return previous;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    const int answer = host_model::HostMessageBox(owner, text, caption, type);
    if (!quiet)
        PageMessage(text, caption);
    return answer;
}
}

// ---- The picture -------------------------------------------------------------------------------

// Lets the current picture go and gives room for the next one's colour words (0xAARRGGBB, or
// 0x00RRGGBB without alpha), row by row.
PAGE_EXPORT("page_picture_buffer") uint32_t* page_picture_buffer(int32_t width, int32_t height) {
    host.Load(0, 0, {});
    before = std::vector<PackedColour>();
    history.Start(0);
    paintedMask = std::vector<uint8_t>();
    ForgetExplorer();
    opening.assign(size_t(width) * size_t(height), 0);
    return opening.data();
}

// Opens the picture written to the buffer, with an undo budget of `budgetBytes`.
PAGE_EXPORT("page_open") void page_open(int32_t width, int32_t height, uint32_t budgetBytes) {
    host.Load(width, height, std::move(opening));
    opening = std::vector<PackedColour>();
    host.MakeCurrent();
    host.keepRefreshes = false;
    host.onRefresh = OnRefresh;
    before = host.pixels;
    history.SetBudget(budgetBytes);
    history.Start(host.pixels.size());
}

PAGE_EXPORT("page_pixels") const uint32_t* page_pixels(void) {
    return host.pixels.data();
}

// ---- Texts: the tolerances as typed ------------------------------------------------------------

PAGE_EXPORT("page_text_buffer") char* page_text_buffer(uint32_t bytes) {
    text.assign(size_t(bytes) + 1, 0);
    return text.data();
}

// Parameter (2, index) becomes the `bytes` of the text buffer.
PAGE_EXPORT("page_set_parameter") void page_set_parameter(int32_t index, uint32_t bytes) {
    host.parameters[{2, index}] = std::string(text.data(), bytes);
}

// ---- Fills -------------------------------------------------------------------------------------

// Runs the tool at (x, y) in `paint` (0xRRGGBB). Returns the pixels painted; page_refreshes
// and page_overflowed tell the rest. page_keep_fill then keeps the change for Undo: apart, so
// that the time of the fill itself can be taken.
PAGE_EXPORT("page_fill") uint32_t page_fill(int32_t x, int32_t y, uint32_t paint) {
    host.paintColour = Opaque | (paint & 0xFFFFFFu);
    Click(x, y);
    return uint32_t(host.painted.count);
}

PAGE_EXPORT("page_keep_fill") void page_keep_fill(void) {
    if (host.painted.count > 0)
        history.Push(editor::RecordFill(host.painted.bits.data(), host.pixels.size(), before.data(),
                                        host.pixels.data()));
}

PAGE_EXPORT("page_refreshes") uint32_t page_refreshes(void) {
    return uint32_t(host.refreshCount);
}

PAGE_EXPORT("page_overflowed") int32_t page_overflowed(void) {
    return Overflowed() ? 1 : 0;
}

// The pixels the last fill flagged drawn, by index, in the order painted.
PAGE_EXPORT("page_painted_list") const uint32_t* page_painted_list(void) {
    return host.drawnFlagsSet.data();
}

// The pixel a full queue turned away (painted, never flagged), or -1: it lies in the last
// refresh request's box.
PAGE_EXPORT("page_unlisted_pixel") int32_t page_unlisted_pixel(void) {
    if (host.painted.count == host.drawnFlagsSet.size() || lastRefresh.left < 0)
        return -1;
    for (int32_t y = lastRefresh.top; y <= lastRefresh.bottom; ++y)
        for (int32_t x = lastRefresh.left; x <= lastRefresh.right; ++x) {
            const size_t pixel = host.IndexOf(x, y);
            if (host.painted.Painted(pixel) && (host.mask[pixel] & MaskDrawnBit) == 0)
                return int32_t(pixel);
        }
    return -1;
}

// Runs the fill at (x, y) with the tolerances set, shows and keeps nothing, and puts the
// picture back. Returns the pixels it painted; page_overflowed tells whether it stopped on a
// full queue.
PAGE_EXPORT("page_trial_fill") uint32_t page_trial_fill(int32_t x, int32_t y) {
    quiet = true;
    Click(x, y);
    quiet = false;
    if (host.painted.count > 0) {
        const editor::FillChange change = editor::RecordFill(
            host.painted.bits.data(), host.pixels.size(), before.data(), host.pixels.data());
        ApplyUndo(change, host.pixels.data());
        ApplyUndo(change, before.data());
    }
    return uint32_t(host.painted.count);
}

// ---- Undo and redo -----------------------------------------------------------------------------

// 1 when a level was applied; page_changed_box then holds the box it wrote.
PAGE_EXPORT("page_undo") int32_t page_undo(void) {
    const editor::FillChange* level = history.Undo(host.pixels.data(), before.data());
    if (level != nullptr)
        changed = BoxOf(*level, host.width);
    return level != nullptr ? 1 : 0;
}

PAGE_EXPORT("page_redo") int32_t page_redo(void) {
    const editor::FillChange* level = history.Redo(host.pixels.data(), before.data());
    if (level != nullptr)
        changed = BoxOf(*level, host.width);
    return level != nullptr ? 1 : 0;
}

PAGE_EXPORT("page_changed_box") const PixelBox* page_changed_box(void) {
    return &changed;
}

PAGE_EXPORT("page_can_undo") int32_t page_can_undo(void) {
    return history.CanUndo() ? 1 : 0;
}
PAGE_EXPORT("page_can_redo") int32_t page_can_redo(void) {
    return history.CanRedo() ? 1 : 0;
}
PAGE_EXPORT("page_state") uint32_t page_state(void) {
    return uint32_t(history.StateId());
}
PAGE_EXPORT("page_dropped_levels") uint32_t page_dropped_levels(void) {
    return uint32_t(history.DroppedLevels());
}
PAGE_EXPORT("page_undo_levels") uint32_t page_undo_levels(void) {
    return uint32_t(history.UndoLevels());
}
PAGE_EXPORT("page_history_bytes") uint32_t page_history_bytes(void) {
    return uint32_t(history.Bytes());
}

// One byte a pixel, 1 where a fill not undone painted: what the download writes as paint.
PAGE_EXPORT("page_painted_mask") const uint8_t* page_painted_mask(void) {
    const std::vector<uint8_t> bits = history.PaintedSinceStart();
    paintedMask.assign(host.pixels.size(), 0);
    for (size_t pixel = 0; pixel < paintedMask.size(); ++pixel)
        paintedMask[pixel] = bits[pixel >> 3] >> (pixel & 7) & 1;
    return paintedMask.data();
}

PAGE_EXPORT("page_release_painted_mask") void page_release_painted_mask(void) {
    paintedMask = std::vector<uint8_t>();
}

// ---- The tolerance explorer --------------------------------------------------------------------

// A text in the text buffer as the plug-in reads a tolerance.
PAGE_EXPORT("page_parse_tolerance") int32_t page_parse_tolerance(void) {
    return ParseToleranceText(text.data());
}

// The join tolerance map and the growth curve of a click at (x, y), with the seed tolerance
// set, on the picture as it is and with nothing flagged drawn, as at every click. Returns a
// JoinToleranceStatus.
PAGE_EXPORT("page_explore") int32_t page_explore(int32_t x, int32_t y) {
    ForgetExplorer();
    const size_t bytes = tolerance_explorer::JoinToleranceScratchBytes(host.width, host.height);
    if (bytes == 0)
        return tolerance_explorer::JoinToleranceBadPicture;
    joinScratch.assign((bytes + 3) / 4, 0);
    joinMap.assign(host.pixels.size(), tolerance_explorer::JoinNever);
    const tolerance_explorer::ExplorerPicture picture = {host.pixels.data(), nullptr, host.width,
                                                         host.height};
    const int32_t status =
        ComputeJoinTolerances(&picture, x, y, ParseToleranceText(host.Parameter(2, 1)),
                              joinScratch.data(), bytes, joinMap.data(), curve);
    joinScratch = std::vector<uint32_t>();
    if (status != tolerance_explorer::JoinToleranceDone) {
        ForgetExplorer();
        return status;
    }
    exploredX = x;
    exploredY = y;
    reached = {-1, -1, -1, -1};
    for (int32_t row = 0; row < host.height; ++row) {
        const uint16_t* values = joinMap.data() + size_t(row) * size_t(host.width);
        for (int32_t column = 0; column < host.width; ++column)
            if (values[column] != tolerance_explorer::JoinNever)
                Include(&reached, column, row, column, row);
    }
    return status;
}

PAGE_EXPORT("page_curve") const uint32_t* page_curve(void) {
    return curve;
}

// The outline of what `step` paints at the click explored: its pixels with a 4-neighbour
// outside it or on the picture's edge, listed by index. Returns how many.
PAGE_EXPORT("page_outline") uint32_t page_outline(int32_t step) {
    outline.clear();
    if (joinMap.empty())
        return 0;
    const int32_t width = host.width, height = host.height;
    if (step < 0) {
        outline.push_back(uint32_t(host.IndexOf(exploredX, exploredY)));
        return 1;
    }
    const uint16_t limit = uint16_t(step > 255 ? 255 : step);
    const uint16_t* map = joinMap.data();
    auto inside = [&](size_t pixel) { return map[pixel] <= limit; };
    for (int32_t y = reached.top; y <= reached.bottom; ++y) {
        const size_t row = size_t(y) * size_t(width);
        for (int32_t x = reached.left; x <= reached.right; ++x) {
            const size_t pixel = row + size_t(x);
            if (!inside(pixel))
                continue;
            if (x == 0 || y == 0 || x == width - 1 || y == height - 1 || !inside(pixel - 1) ||
                !inside(pixel + 1) || !inside(pixel - size_t(width)) ||
                !inside(pixel + size_t(width)))
                outline.push_back(uint32_t(pixel));
        }
    }
    return uint32_t(outline.size());
}

PAGE_EXPORT("page_outline_list") const uint32_t* page_outline_list(void) {
    return outline.data();
}

PAGE_EXPORT("page_pixels_at_step") uint32_t page_pixels_at_step(int32_t step) {
    return tolerance_explorer::PixelsPaintedAtStep(curve, step);
}

// Ranges as four words each (first, last, firstPixels, lastPixels) at page_ranges; returns how
// many.
PAGE_EXPORT("page_stable_ranges") int32_t page_stable_ranges(void) {
    return FindStableRanges(curve, ranges);
}
PAGE_EXPORT("page_ranges") const tolerance_explorer::StableRange* page_ranges(void) {
    return ranges;
}

// 1 with (from, to, addedPixels) at page_leak, or 0 when no leak lies above the step.
PAGE_EXPORT("page_next_leak") int32_t page_next_leak(int32_t step) {
    return FindNextLeak(curve, step, &leak) ? 1 : 0;
}
PAGE_EXPORT("page_leak") const tolerance_explorer::Leak* page_leak(void) {
    return &leak;
}

PAGE_EXPORT("page_suggest") int32_t page_suggest(void) {
    return tolerance_explorer::SuggestStepTolerance(curve);
}

// ---- The first fill ----------------------------------------------------------------------------

// Fills over a small picture of one colour, so that the engine has compiled the fill and the
// host's services for speed before the first click (it compiles a function for speed once it
// has run for a while, and a fill runs in one call). Leaves no picture open.
PAGE_EXPORT("page_warm_up") void page_warm_up(void) {
    const int32_t side = 512;
    page_picture_buffer(side, side);
    page_open(side, side, 0);
    quiet = true;
    for (int round = 0; round < 4; ++round)
        Click(side / 2, side / 2);
    quiet = false;
    page_picture_buffer(0, 0);
}
