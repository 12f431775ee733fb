// One click with the selected tool: the fill through the tool host, the view repainted at the
// display's pace, message boxes timed apart, a plug-in fault survived, the change kept for Undo,
// and input that arrived meanwhile thrown away.
#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <new>

#include "editor.h"
#include "fault_guard.h"
#include "script.h"
#include "wide_text.h"

namespace editor {

using Clock = std::chrono::steady_clock;

// How long a fill may paint before the view is repainted: about one frame of the display.
static const Clock::duration RepaintInterval = std::chrono::milliseconds(16);

namespace {

// The fill in progress.
struct FillState {
    FillOutcome* outcome = nullptr;
    HCURSOR waitCursor = nullptr;
    RECT pending = {0, 0, 0, 0}; // the invalid area not yet repainted, in view coordinates
    RECT client = {0, 0, 0, 0};  // the view's, which does not change while the fill holds it
    Clock::time_point lastRepaint;
    bool inputPosted = false;
    // Message boxes: when the open one appeared.
    HWND box = nullptr;
    Clock::time_point boxOpened;
};

FillState Fill;

// The rectangle's pixels inside the picture and the view, in view coordinates.
bool VisiblePart(const host_model::RefreshRect& rect, RECT* part) {
    const tool_host::ToolHost& host = TheEditor.host;
    RECT picture = {std::max(rect.left, 0), std::max(rect.top, 0),
                    std::min(rect.right, host.width - 1) + 1,
                    std::min(rect.bottom, host.height - 1) + 1};
    if (picture.left >= picture.right || picture.top >= picture.bottom)
        return false;
    // Its view pixels at the zoom: from the first of its first pixel to the last of its last.
    const POINT topLeft = PictureToView(picture.left, picture.top),
                bottomRight = PictureToView(picture.right, picture.bottom);
    RECT view = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    if (view.right == view.left) // zoomed out: the view pixel it shares with others
        ++view.right;
    if (view.bottom == view.top)
        ++view.bottom;
    return IntersectRect(part, &view, &Fill.client) != 0;
}

// --check-repaints: reads back from the window a pixel the fill has painted inside the area
// just repainted (view coordinates), and counts whether the window shows its colour.
void CheckRepaint(const RECT& repainted) {
    const tool_host::ToolHost& host = TheEditor.host;
    for (LONG y = repainted.bottom - 1; y >= repainted.top; --y)
        for (LONG x = repainted.right - 1; x >= repainted.left; --x) {
            int32_t px = 0, py = 0;
            if (!ViewToPicture(x, y, &px, &py))
                continue;
            size_t index = host.IndexOf(px, py);
            if (!host.painted.Painted(index))
                continue;
            ++Fill.outcome->repaintsLookedAt;
            HDC dc = GetDC(TheEditor.view);
            COLORREF shown = GetPixel(dc, x, y);
            ReleaseDC(TheEditor.view, dc);
            PackedColour colour = host.pixels[index];
            if (shown == RGB(colour >> 16 & 0xFF, colour >> 8 & 0xFF, colour & 0xFF))
                ++Fill.outcome->repaintsShownRight;
            return;
        }
}

void Repaint() {
    if (!IsRectEmpty(&Fill.pending)) {
        const RECT repainted = Fill.pending;
        InvalidateRect(TheEditor.view, &repainted, FALSE);
        SetRectEmpty(&Fill.pending);
        UpdateWindow(TheEditor.view);
        ++Fill.outcome->repaints;
        if (TheEditor.checkRepaints)
            CheckRepaint(repainted);
    }
    Fill.lastRepaint = Clock::now();
}

// The pixels painted so far, as the paint record counts them, in the status bar, repainted at
// once: the fill holds the thread, so nothing else would repaint it.
void ShowProgress() {
    FillOutcome& outcome = *Fill.outcome;
    outcome.lastProgress = TheEditor.tools[TheEditor.selectedTool].name + " at " +
                           std::to_string(outcome.x) + " " + std::to_string(outcome.y) + ": " +
                           std::to_string(TheEditor.host.painted.count) + " pixels painted so far";
    ++outcome.progressShown;
    SetStatusText(outcome.lastProgress);
    UpdateWindow(TheEditor.status);
}

// --input-during-fill: a click on the view and a key typed into the step field, arriving while
// the fill runs, as a user's impatient input would.
void PostInputDuringFill() {
    Fill.inputPosted = true;
    LPARAM at = MAKELPARAM(1, 1);
    PostMessageW(TheEditor.view, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(TheEditor.view, WM_LBUTTONUP, 0, at);
    PostMessageW(TheEditor.stepField, WM_KEYDOWN, '7', 0);
    PostMessageW(TheEditor.stepField, WM_CHAR, '7', 0);
    PostMessageW(TheEditor.stepField, WM_KEYUP, '7', 0);
}

// A refresh request: its rectangle joins the invalid area; a repaint comes when it is due.
void OnRefresh(const host_model::RefreshRect& rect) {
    ++Fill.outcome->refreshRequests;
    RECT part;
    if (VisiblePart(rect, &part))
        UnionRect(&Fill.pending, &Fill.pending, &part);
    if (TheEditor.inputDuringFill && !Fill.inputPosted)
        PostInputDuringFill();
    // The clock is read at every 8th request only (each covers 200 pixels, a few microseconds
    // of fill): reading it may be a system call, and a fill makes tens of thousands of requests.
    const bool due = Fill.outcome->refreshRequests % 8 == 0 &&
                     Clock::now() - Fill.lastRepaint >= RepaintInterval;
    // The cursor the plug-in set, looked at while it is busy: at every request when a test asks
    // (a call into the window system each time), else once a repaint is due.
    if (TheEditor.checkRepaints || due) {
        ++Fill.outcome->cursorLooks;
        if (GetCursor() == Fill.waitCursor)
            ++Fill.outcome->cursorLooksWait;
    }
    if (due) {
        Repaint();
        ShowProgress();
    }
}

// The text of a message box: its one static control with text.
BOOL CALLBACK FindBoxText(HWND control, LPARAM parameter) {
    wchar_t className[16] = {};
    GetClassNameW(control, className, 16);
    LONG style = GetWindowLongW(control, GWL_STYLE);
    std::string text = WindowText(control);
    if (_wcsicmp(className, L"Static") == 0 && (style & SS_TYPEMASK) != SS_ICON && !text.empty()) {
        *reinterpret_cast<std::string*>(parameter) = text;
        return FALSE;
    }
    return TRUE;
}

// Message boxes the fill shows, seen as dialog windows appearing on this thread: counted, the
// first one's text kept, and the time each stays open left out of the fill's time.
LRESULT CALLBACK WatchBoxes(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND || code == HCBT_ACTIVATE || code == HCBT_DESTROYWND) {
        wchar_t className[16] = {};
        GetClassNameW(window, className, 16);
        if (wcscmp(className, L"#32770") == 0) {
            if (code == HCBT_CREATEWND && Fill.box == nullptr) {
                ++Fill.outcome->messagesShown;
                Fill.box = window;
                Fill.boxOpened = Clock::now();
            } else if (code == HCBT_ACTIVATE && window == Fill.box &&
                       Fill.outcome->firstMessage.empty() && Fill.outcome->messagesShown == 1) {
                EnumChildWindows(window, FindBoxText,
                                 reinterpret_cast<LPARAM>(&Fill.outcome->firstMessage));
            } else if (code == HCBT_DESTROYWND && window == Fill.box) {
                Fill.outcome->boxMilliseconds +=
                    std::chrono::duration<double, std::milli>(Clock::now() - Fill.boxOpened)
                        .count();
                Fill.box = nullptr;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct DrawCall {
    const EditorTool* tool;
    int32_t x, y;
};

void CallDrawIt(void* context) {
    DrawCall* call = static_cast<DrawCall*>(context);
    call->tool->plugin.drawIt(TheEditor.host.View(), call->x, call->y, 0);
}

// Mouse and keyboard messages waiting now arrived while the fill held the thread: none of them
// may start another fill or reach a field.
void DiscardInput() {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
    while (PeekMessageW(&message, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {
    }
}

std::string Plural(uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// After a fault the picture goes back to what it was before the fill, and the plug-in is loaded
// afresh.
void RecoverFromFault(int toolIndex, const PluginFault& fault, FillOutcome* outcome) {
    tool_host::ToolHost& host = TheEditor.host;
    std::copy(TheEditor.before.begin(), TheEditor.before.end(), host.pixels.begin());
    ShowWholePicture();
    SetCursor(outcome->cursorBefore);
    EditorTool& tool = TheEditor.tools[toolIndex];
    std::string reload;
    bool reloaded = ReloadTool(toolIndex, &reload);
    outcome->faulted = true;
    outcome->faultText = "the plug-in " + tool.name + " (" + tool.fileName + ") failed with " +
                         DescribeFault(fault) +
                         " during the fill. The picture is as it was before the fill" +
                         (reloaded ? "; the plug-in has been loaded again."
                                   : "; the plug-in could not be loaded again: " + reload);
}

// Keeps the fill's change for Undo; without the memory for it, the fill stays and the earlier
// levels go, and the user is told. A fill that changed nothing (it painted pixels that had the
// paint colour already) gets no level: Undo would seem to do nothing, and the title no mark.
void KeepForUndo(FillOutcome* outcome) {
    tool_host::ToolHost& host = TheEditor.host;
    try {
        // A 16-bit picture saves a painted pixel's samples as the paint's: a pixel of the paint
        // colour that no fill on show painted still changes.
        std::vector<uint8_t> shown;
        if (!TheEditor.opened.deep.empty())
            shown = TheEditor.history.PaintedSinceStart();
        if (!FillChangedDocument(host.painted.bits.data(), host.pixels.size(),
                                 TheEditor.before.data(), host.pixels.data(),
                                 shown.empty() ? nullptr : shown.data())) {
            outcome->changedNothing = true;
            return;
        }
        TheEditor.history.Push(RecordFill(host.painted.bits.data(), host.pixels.size(),
                                          TheEditor.before.data(), host.pixels.data()));
    } catch (const std::bad_alloc&) {
        std::copy(host.pixels.begin(), host.pixels.end(), TheEditor.before.begin());
        TheEditor.history.ChangedWithoutUndo(host.painted.bits.data());
        outcome->undoNote = "not enough memory to keep this fill for Undo; earlier fills can no "
                            "longer be undone";
    }
}

// The host and the fill's state before a click: one operation, with nothing flagged drawn or
// painted at its start, the tolerances as the fields hold them, and the view's repaints and
// message boxes watched. Returns the hook that watches the boxes.
HHOOK StartFill(int32_t x, int32_t y) {
    tool_host::ToolHost& host = TheEditor.host;
    std::fill(host.mask.begin(), host.mask.end(), 0);
    host.painted.Start(host.pixels.size(), false);
    host.SetTolerances(WindowText(TheEditor.stepField), WindowText(TheEditor.seedField));
    host.ClearCounts();
    host.onRefresh = OnRefresh;

    FillOutcome& outcome = TheEditor.last;
    outcome = FillOutcome();
    outcome.x = x;
    outcome.y = y;
    Fill = FillState();
    Fill.outcome = &outcome;
    Fill.waitCursor = LoadCursorA(nullptr, IDC_WAIT);
    SetRectEmpty(&Fill.pending);
    GetClientRect(TheEditor.view, &Fill.client);
    return SetWindowsHookExW(WH_CBT, WatchBoxes, nullptr, GetCurrentThreadId());
}

// Calls the plug-in, guarded against its faults, and measures the fill: its time without the
// message boxes' and the cursor before and after. Returns false when the plug-in faulted.
bool RunFill(const EditorTool& tool, int32_t x, int32_t y, FillOutcome* outcome,
             PluginFault* fault) {
    // The tool's cursor is up when the user clicks; the fill replaces it and must put it back.
    SetCursor(LoadCursorA(nullptr, IDC_CROSS));
    outcome->cursorBefore = GetCursor();
    Fill.lastRepaint = Clock::now();
    const auto start = Fill.lastRepaint;
    DrawCall call = {&tool, x, y};
    const bool finished =
        CallGuarded(CallDrawIt, &call, static_cast<HMODULE>(tool.plugin.library), fault);
    outcome->milliseconds =
        std::chrono::duration<double, std::milli>(Clock::now() - start).count() -
        outcome->boxMilliseconds;
    outcome->cursorAfter = GetCursor();
    return finished;
}

// The status bar's line for a fill that did not fault.
std::string FillStatus(const EditorTool& tool, const FillOutcome& outcome) {
    char time[32];
    snprintf(time, sizeof time, "%.1f ms", outcome.milliseconds);
    std::string status =
        tool.name + " at " + std::to_string(outcome.x) + " " + std::to_string(outcome.y) + ": " +
        Plural(outcome.pixelsPainted, "pixel", "pixels") + " painted, " +
        Plural(outcome.refreshRequests, "refresh request", "refresh requests") + ", " + time;
    if (outcome.messagesShown > 0)
        status += "; stopped on \"" + outcome.firstMessage + "\"";
    if (outcome.changedNothing)
        status += "; nothing changed, no undo level";
    if (!outcome.undoNote.empty())
        status += "; " + outcome.undoNote;
    return status;
}

} // namespace

void ApplyTool(int32_t x, int32_t y) {
    const int toolIndex = TheEditor.selectedTool;
    const EditorTool& tool = TheEditor.tools[toolIndex];
    if (tool.plugin.library == nullptr) {
        SetStatusText(tool.name +
                      " is not loaded (it failed before and could not be loaded again)");
        return;
    }
    TheEditor.filling = true;
    ++TheEditor.fillNumber;
    HHOOK hook = StartFill(x, y);
    FillOutcome& outcome = TheEditor.last;
    PluginFault fault;
    const bool finished = RunFill(tool, x, y, &outcome, &fault);
    if (hook != nullptr)
        UnhookWindowsHookEx(hook);
    TheEditor.host.onRefresh = nullptr;
    Repaint(); // every requested rectangle is shown by the end
    outcome.pixelsPainted = TheEditor.host.painted.count;

    if (!finished)
        RecoverFromFault(toolIndex, fault, &outcome);
    else if (outcome.pixelsPainted > 0)
        KeepForUndo(&outcome);
    DiscardInput();
    TheEditor.filling = false;
    UpdateTitleAndMenu();

    SetStatusText(outcome.faulted ? outcome.faultText : FillStatus(tool, outcome));
    if (TheEditor.reportFills) {
        printf("%s\n", FillReportLine(outcome).c_str());
        fflush(stdout);
    }
    if (outcome.faulted)
        ShowMessage(outcome.faultText, MB_ICONERROR);
    else if (!outcome.undoNote.empty())
        ShowMessage("The fill is done, but there was " + outcome.undoNote + ".", MB_ICONWARNING);
}

} // namespace editor
