// The picture view: the picture 1:1 at the scroll position, and the tool applied where the
// user clicks.
//
// The view shows `shown`, not the host's working picture: a fill paints the working picture
// through the services, and a pixel on screen changes only when a refresh request covers it.
// Each _VXsUpdateImageWindow copies its rectangle into `shown`, invalidates it in window
// coordinates and repaints it at once with UpdateWindow, so that the fill is seen growing
// although it holds the thread and runs no message loop.
#include <chrono>

#include "editor.h"

static const char ViewClassName[] = "VexraPictureView";

POINT PictureToView(int32_t x, int32_t y) {
    return POINT{x - TheEditor.scrollX, y - TheEditor.scrollY};
}

static void ShowAll() {
    TheEditor.shown = TheEditor.host.pixels;
    if (TheEditor.view != nullptr)
        InvalidateRect(TheEditor.view, nullptr, TRUE);
}

static void Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    const SimulatedHost& host = TheEditor.host;
    RECT picture = {0, 0, 0, 0};
    if (TheEditor.havePicture) {
        // Copy the part of the picture inside the update rectangle, through a small DIB.
        picture = {-TheEditor.scrollX, -TheEditor.scrollY, host.width - TheEditor.scrollX,
                   host.height - TheEditor.scrollY};
        RECT part;
        if (IntersectRect(&part, &picture, &paint.rcPaint)) {
            int w = part.right - part.left, h = part.bottom - part.top;
            BITMAPINFO info = {};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = w;
            info.bmiHeader.biHeight = -h; // top row first
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            std::vector<uint32_t> rows(size_t(w) * size_t(h));
            int x0 = part.left + TheEditor.scrollX, y0 = part.top + TheEditor.scrollY;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    rows[size_t(y) * w + x] = TheEditor.shown[host.IndexOf(x0 + x, y0 + y)];
            SetDIBitsToDevice(dc, part.left, part.top, w, h, 0, 0, 0, h, rows.data(), &info,
                              DIB_RGB_COLORS);
        }
    }
    // Everything else is the work-area colour.
    HRGN background = CreateRectRgnIndirect(&paint.rcPaint);
    HRGN image = CreateRectRgnIndirect(&picture);
    CombineRgn(background, background, image, RGN_DIFF);
    FillRgn(dc, background, GetSysColorBrush(COLOR_APPWORKSPACE));
    DeleteObject(image);
    DeleteObject(background);
    EndPaint(window, &paint);
}

// A refresh request from the fill: the rectangle is inclusive and may be (-1, -1, -1, -1).
static void Refresh(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    SimulatedHost& host = TheEditor.host;
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    if (right >= host.width)
        right = host.width - 1;
    if (bottom >= host.height)
        bottom = host.height - 1;
    if (left > right || top > bottom)
        return;
    for (int32_t y = top; y <= bottom; ++y)
        for (int32_t x = left; x <= right; ++x)
            TheEditor.shown[host.IndexOf(x, y)] = host.pixels[host.IndexOf(x, y)];
    POINT topLeft = PictureToView(left, top);
    RECT rect = {topLeft.x, topLeft.y, topLeft.x + (right - left + 1),
                 topLeft.y + (bottom - top + 1)};
    InvalidateRect(TheEditor.view, &rect, FALSE);
    UpdateWindow(TheEditor.view);
}

// Counts message boxes as they are created on this thread during a fill: the editor sees the
// plug-in's MessageBoxA only as a window of the dialog class appearing.
static LRESULT CALLBACK WatchDialogs(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        char className[32] = {};
        GetClassNameA(reinterpret_cast<HWND>(wParam), className, sizeof className);
        if (strcmp(className, "#32770") == 0)
            ++TheEditor.last.messagesShown;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Reads back from the view's own device context whether the window shows, at picture pixel
// (x, y), the working picture's colour. Pixels scrolled out of view are not looked at.
static void CheckShownAtOnce(int32_t x, int32_t y, FillOutcome* outcome) {
    POINT at = PictureToView(x, y);
    RECT client;
    GetClientRect(TheEditor.view, &client);
    if (!PtInRect(&client, at))
        return;
    ++outcome->refreshesLookedAt;
    HDC dc = GetDC(TheEditor.view);
    COLORREF shown = GetPixel(dc, at.x, at.y);
    ReleaseDC(TheEditor.view, dc);
    PackedColour colour = TheEditor.host.Pixel(x, y);
    if (shown == RGB(colour >> 16 & 0xFF, colour >> 8 & 0xFF, colour & 0xFF))
        ++outcome->refreshesShownAtOnce;
}

static std::string Plural(uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

static void ApplyTool(int32_t x, int32_t y) {
    SimulatedHost& host = TheEditor.host;
    const EditorTool& tool = TheEditor.tools[TheEditor.selectedTool];
    TheEditor.filling = true;
    TheEditor.undoPixels = host.pixels;
    // Each click is one operation: nothing is flagged drawn at its start.
    host.mask.assign(host.pixels.size(), 0);
    host.SetTolerances(FieldText(TheEditor.stepField), FieldText(TheEditor.seedField));
    host.ClearLog();

    FillOutcome& outcome = TheEditor.last;
    outcome = FillOutcome();
    outcome.x = x;
    outcome.y = y;
    uint32_t stamp = ++TheEditor.fillNumber;
    HCURSOR waitCursor = LoadCursorA(nullptr, IDC_WAIT);
    bool paintedSinceRefresh = false;
    int32_t lastX = 0, lastY = 0; // the last pixel painted, inside the next refresh request
    host.afterCall = [&](const HostCall& call) {
        if (call.kind == HostCallKind::PSet) {
            int32_t px = int32_t(call.args[0]), py = int32_t(call.args[1]);
            if (!host.Contains(px, py))
                return;
            if (TheEditor.paintStamp[host.IndexOf(px, py)] != stamp) {
                TheEditor.paintStamp[host.IndexOf(px, py)] = stamp;
                ++outcome.pixelsPainted;
            }
            paintedSinceRefresh = true;
            lastX = px;
            lastY = py;
        } else if (call.kind == HostCallKind::UpdateImageWindow) {
            ++outcome.refreshRequests;
            if (GetCursor() == waitCursor)
                ++outcome.refreshesUnderWaitCursor;
            int32_t left = int32_t(call.args[0]), top = int32_t(call.args[1]),
                    right = int32_t(call.args[2]), bottom = int32_t(call.args[3]);
            Refresh(left, top, right, bottom);
            if (paintedSinceRefresh && left <= lastX && lastX <= right && top <= lastY &&
                lastY <= bottom)
                CheckShownAtOnce(lastX, lastY, &outcome);
            paintedSinceRefresh = false;
        }
    };
    HHOOK hook = SetWindowsHookExA(WH_CBT, WatchDialogs, nullptr, GetCurrentThreadId());

    // The tool's cursor is up when the user clicks; the fill replaces it and must put it back.
    SetCursor(LoadCursorA(nullptr, IDC_CROSS));
    outcome.cursorBefore = GetCursor();
    auto start = std::chrono::steady_clock::now();
    tool.plugin.drawIt(host.View(), x, y, 0);
    outcome.milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    outcome.cursorAfter = GetCursor();

    if (hook != nullptr)
        UnhookWindowsHookEx(hook);
    host.afterCall = nullptr;
    TheEditor.canUndo = true;
    TheEditor.filling = false;
    char time[32];
    snprintf(time, sizeof time, "%.1f ms", outcome.milliseconds);
    SetStatusText(tool.name + " at " + std::to_string(x) + " " + std::to_string(y) + ": " +
                  Plural(outcome.pixelsPainted, "pixel", "pixels") + " painted, " +
                  Plural(outcome.refreshRequests, "refresh request", "refresh requests") + ", " +
                  time);
}

static void Scroll(int bar, WPARAM request) {
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(TheEditor.view, bar, &info);
    int position = info.nPos;
    switch (LOWORD(request)) {
    case SB_LINEUP:
        position -= 16;
        break;
    case SB_LINEDOWN:
        position += 16;
        break;
    case SB_PAGEUP:
        position -= int(info.nPage);
        break;
    case SB_PAGEDOWN:
        position += int(info.nPage);
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        position = info.nTrackPos;
        break;
    default:
        return;
    }
    info.fMask = SIF_POS;
    info.nPos = position;
    SetScrollInfo(TheEditor.view, bar, &info, TRUE);
    GetScrollInfo(TheEditor.view, bar, &info); // clamped to the range
    (bar == SB_HORZ ? TheEditor.scrollX : TheEditor.scrollY) = info.nPos;
    InvalidateRect(TheEditor.view, nullptr, FALSE);
}

void UpdateViewScrollBars() {
    if (TheEditor.view == nullptr)
        return;
    RECT client;
    GetClientRect(TheEditor.view, &client);
    int extent[2] = {TheEditor.havePicture ? TheEditor.host.width : 0,
                     TheEditor.havePicture ? TheEditor.host.height : 0};
    int page[2] = {client.right, client.bottom};
    int32_t* position[2] = {&TheEditor.scrollX, &TheEditor.scrollY};
    for (int axis = 0; axis < 2; ++axis) {
        SCROLLINFO info = {};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = 0;
        info.nMax = extent[axis] > 0 ? extent[axis] - 1 : 0;
        info.nPage = UINT(page[axis]);
        int largest = extent[axis] - page[axis];
        if (*position[axis] > largest)
            *position[axis] = largest;
        if (*position[axis] < 0)
            *position[axis] = 0;
        info.nPos = *position[axis];
        SetScrollInfo(TheEditor.view, axis == 0 ? SB_HORZ : SB_VERT, &info, TRUE);
    }
    InvalidateRect(TheEditor.view, nullptr, FALSE);
}

void ScrollToShow(int32_t x, int32_t y) {
    RECT client;
    GetClientRect(TheEditor.view, &client);
    if (x < TheEditor.scrollX || x >= TheEditor.scrollX + client.right)
        TheEditor.scrollX = x - client.right / 2;
    if (y < TheEditor.scrollY || y >= TheEditor.scrollY + client.bottom)
        TheEditor.scrollY = y - client.bottom / 2;
    UpdateViewScrollBars();
    UpdateWindow(TheEditor.view);
}

static LRESULT CALLBACK ViewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1; // Paint() covers every pixel
    case WM_SIZE:
        UpdateViewScrollBars();
        return 0;
    case WM_HSCROLL:
        Scroll(SB_HORZ, wParam);
        return 0;
    case WM_VSCROLL:
        Scroll(SB_VERT, wParam);
        return 0;
    case WM_LBUTTONDOWN: {
        // A click during a fill can only arrive from inside the overflow box's modal loop;
        // the plug-in runs one fill at a time.
        if (TheEditor.filling || !TheEditor.havePicture)
            return 0;
        if (TheEditor.selectedTool < 0) {
            SetStatusText("select a tool on the toolbar first");
            return 0;
        }
        // Only what the view shows can be clicked.
        POINT at = {int16_t(LOWORD(lParam)), int16_t(HIWORD(lParam))};
        RECT client;
        GetClientRect(window, &client);
        int32_t x = at.x + TheEditor.scrollX, y = at.y + TheEditor.scrollY;
        if (PtInRect(&client, at) && TheEditor.host.Contains(x, y))
            ApplyTool(x, y);
        return 0;
    }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterViewClass(HINSTANCE instance) {
    WNDCLASSA viewClass = {};
    viewClass.lpfnWndProc = ViewProcedure;
    viewClass.hInstance = instance;
    viewClass.hCursor = LoadCursorA(nullptr, IDC_CROSS);
    viewClass.lpszClassName = ViewClassName;
    return RegisterClassA(&viewClass) != 0;
}

HWND CreatePictureView(HWND parent) {
    return CreateWindowExA(WS_EX_CLIENTEDGE, ViewClassName, nullptr,
                           WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, 0, 0, 0, 0, parent,
                           nullptr, TheEditor.instance, nullptr);
}

bool OpenPicture(const std::string& path, std::string* error) {
    RgbImage picture;
    if (!ReadPicture(path, &picture, error))
        return false;
    SimulatedHost& host = TheEditor.host;
    // The view record names the editor's main window as the owner of the plug-in's boxes.
    host.ownerWindow = TheEditor.main;
    host.Reset(picture.width, picture.height);
    host.pixels = picture.pixels;
    host.logging = false; // the counts are enough; a big fill must not fill memory
    host.MakeCurrent();
    TheEditor.paintStamp.assign(host.pixels.size(), 0);
    TheEditor.havePicture = true;
    TheEditor.picturePath = path;
    SetWindowTextA(TheEditor.main, ("vexra - " + path).c_str());
    TheEditor.canUndo = false;
    TheEditor.scrollX = TheEditor.scrollY = 0;
    ShowAll();
    UpdateViewScrollBars();
    return true;
}

bool SavePicture(const std::string& path, std::string* error) {
    RgbImage picture;
    picture.width = TheEditor.host.width;
    picture.height = TheEditor.host.height;
    picture.pixels = TheEditor.host.pixels;
    return SavePng(path, picture, error);
}

void UndoLastFill() {
    if (!TheEditor.canUndo || TheEditor.filling)
        return;
    TheEditor.host.pixels = TheEditor.undoPixels;
    TheEditor.canUndo = false;
    ShowAll();
    SetStatusText("undone: the last fill");
}
