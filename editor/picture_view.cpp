// The picture view: the picture 1:1 at the scroll position, scrolled by its bars, the mouse
// wheel (Shift+wheel sideways) and the keyboard, and the tool applied where the user clicks.
//
// The view paints the host's picture as it is. During a fill the window repaints only what the
// fill asks for (fill.cpp), so a pixel shows its paint once a refresh request has covered it;
// a repaint for any other reason shows the picture as it is, as any editor's window does.
#include <stdio.h>

#include <algorithm>
#include <new>

#include "editor.h"

namespace editor {

static const wchar_t ViewClassName[] = L"VexraPictureView";

// The keyboard's point: the picture pixel Enter applies the tool at, moved by the arrow keys. It
// is drawn while the view has the focus from the keyboard (Tab, or a key used in the view), not
// after a click or the focus given at start-up, so that it never stands on a picture the mouse
// is used on.
static int32_t KeyX = 0, KeyY = 0;
static bool KeyPointShown = false;
enum { KeyPointReach = 4 }; // the box drawn around the point's pixel, in view pixels

static RECT KeyPointRect() {
    POINT at = PictureToView(KeyX, KeyY);
    // The middle of the pixel's view pixels, at any zoom.
    at.x += LONG((ViewStart(KeyX + 1, TheEditor.zoom) - ViewStart(KeyX, TheEditor.zoom)) / 2);
    at.y += LONG((ViewStart(KeyY + 1, TheEditor.zoom) - ViewStart(KeyY, TheEditor.zoom)) / 2);
    return RECT{at.x - KeyPointReach, at.y - KeyPointReach, at.x + KeyPointReach + 1,
                at.y + KeyPointReach + 1};
}

static void InvalidateKeyPoint() {
    RECT box = KeyPointRect();
    InvalidateRect(TheEditor.view, &box, FALSE);
}

void SetKeyPoint(int32_t x, int32_t y) {
    InvalidateKeyPoint();
    KeyX = x;
    KeyY = y;
    InvalidateKeyPoint();
}

// A black box inside a white one around the pixel, which itself stays visible: seen on any
// colour.
static void DrawKeyPoint(HDC dc) {
    RECT outer = KeyPointRect(), inner = outer;
    InflateRect(&inner, -1, -1);
    FrameRect(dc, &outer, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FrameRect(dc, &inner, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

POINT PictureToView(int32_t x, int32_t y) {
    return POINT{LONG(ViewStart(x, TheEditor.zoom) - TheEditor.scrollX),
                 LONG(ViewStart(y, TheEditor.zoom) - TheEditor.scrollY)};
}

bool ViewToPicture(int x, int y, int32_t* pictureX, int32_t* pictureY) {
    const int64_t px = PictureAt(int64_t(x) + TheEditor.scrollX, TheEditor.zoom);
    const int64_t py = PictureAt(int64_t(y) + TheEditor.scrollY, TheEditor.zoom);
    if (px < 0 || py < 0 || px >= TheEditor.host.width || py >= TheEditor.host.height)
        return false;
    *pictureX = int32_t(px);
    *pictureY = int32_t(py);
    return true;
}

// The zoomed picture's size in view pixels.
static int64_t ViewExtent(int32_t pixels) {
    return TheEditor.havePicture ? ViewStart(pixels, TheEditor.zoom) : 0;
}

void ShowWholePicture() {
    if (TheEditor.view != nullptr)
        InvalidateRect(TheEditor.view, nullptr, FALSE);
}

static void Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    const tool_host::ToolHost& host = TheEditor.host;
    RECT picture = {0, 0, 0, 0};
    if (TheEditor.havePicture) {
        // The part of the zoomed picture inside the update rectangle, through a small DIB: each
        // view pixel shows the picture pixel a click there lands on (PictureAt).
        picture = {LONG(-TheEditor.scrollX), LONG(-TheEditor.scrollY),
                   LONG(ViewExtent(host.width) - TheEditor.scrollX),
                   LONG(ViewExtent(host.height) - TheEditor.scrollY)};
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
            // Repaints during a fill come every 16 ms and may cover the view: the rows and the
            // picture column of each view column are kept between repaints. (The alpha byte is
            // ignored by a 32-bit BI_RGB DIB.)
            static std::vector<uint32_t> rows;
            static std::vector<int32_t> columns;
            try {
                rows.resize(size_t(w) * size_t(h));
                columns.resize(size_t(w));
            } catch (const std::bad_alloc&) {
                rows.clear(); // nothing shown this time; the status bar is not the place
                w = h = 0;
            }
            for (int x = 0; x < w; ++x)
                columns[size_t(x)] =
                    int32_t(PictureAt(int64_t(part.left + x) + TheEditor.scrollX, TheEditor.zoom));
            for (int y = 0; y < h; ++y) {
                const int32_t py =
                    int32_t(PictureAt(int64_t(part.top + y) + TheEditor.scrollY, TheEditor.zoom));
                const uint32_t* row = &host.pixels[host.IndexOf(0, py)];
                uint32_t* out = &rows[size_t(y) * size_t(w)];
                for (int x = 0; x < w; ++x)
                    out[x] = row[columns[size_t(x)]];
            }
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
    if (KeyPointShown && TheEditor.havePicture && GetFocus() == window)
        DrawKeyPoint(dc);
    EndPaint(window, &paint);
}

// Moves the view's scroll position on one axis to `position`, within the range.
static void ScrollTo(int bar, int position) {
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    info.nPos = position;
    SetScrollInfo(TheEditor.view, bar, &info, TRUE);
    GetScrollInfo(TheEditor.view, bar, &info); // clamped to the range
    (bar == SB_HORZ ? TheEditor.scrollX : TheEditor.scrollY) = info.nPos;
    InvalidateRect(TheEditor.view, nullptr, FALSE);
    if (TheEditor.reportFills) { // --report-layout
        printf("scroll %d %d\n", int(TheEditor.scrollX), int(TheEditor.scrollY));
        fflush(stdout);
    }
}

static int ScrollPosition(int bar) {
    return bar == SB_HORZ ? TheEditor.scrollX : TheEditor.scrollY;
}

// The wheel: the system's lines per notch, 16 pixels a line; Shift (or a sideways wheel)
// scrolls across.
static void Wheel(int bar, int delta) {
    UINT lines = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    if (lines == WHEEL_PAGESCROLL || lines > 100) {
        RECT client;
        GetClientRect(TheEditor.view, &client);
        lines = UINT((bar == SB_HORZ ? client.right : client.bottom) / 16);
    }
    ScrollTo(bar, ScrollPosition(bar) - delta * int(lines) * 16 / WHEEL_DELTA);
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
    case SB_TOP:
        position = info.nMin;
        break;
    case SB_BOTTOM:
        position = info.nMax;
        break;
    default:
        return;
    }
    ScrollTo(bar, position);
}

// Applies the selected tool at picture pixel (x, y), as a click there does.
static void ApplyToolAt(int32_t x, int32_t y) {
    // A click during a fill can only arrive from inside a message box's modal loop; the
    // plug-in runs one fill at a time.
    if (TheEditor.filling || !TheEditor.havePicture)
        return;
    if (TheEditor.selectedTool < 0) {
        SetStatusText("select a tool on the toolbar first");
        return;
    }
    if (TheEditor.host.Contains(x, y))
        ApplyTool(x, y);
}

// The arrow keys move the keyboard's point a pixel (with Shift ten), within the picture, and
// the view scrolls to show it; Enter applies the tool there. The status bar gives its pixel.
static bool PointKey(WPARAM key) {
    if (!TheEditor.havePicture)
        return false;
    const int32_t step = GetKeyState(VK_SHIFT) < 0 ? 10 : 1;
    int32_t x = KeyX, y = KeyY;
    switch (key) {
    case VK_LEFT:
        x -= step;
        break;
    case VK_RIGHT:
        x += step;
        break;
    case VK_UP:
        y -= step;
        break;
    case VK_DOWN:
        y += step;
        break;
    case VK_RETURN:
        KeyPointShown = true;
        ApplyToolAt(KeyX, KeyY);
        return true;
    default:
        return false;
    }
    KeyPointShown = true;
    SetKeyPoint(std::min(std::max(x, 0), TheEditor.host.width - 1),
                std::min(std::max(y, 0), TheEditor.host.height - 1));
    ScrollToShow(KeyX, KeyY);
    ShowPointer(KeyX, KeyY);
    return true;
}

// Keys while the view has the focus: Page Up/Down, Home/End scroll it.
static bool ScrollKey(WPARAM key) {
    bool shift = GetKeyState(VK_SHIFT) < 0;
    switch (key) {
    case VK_PRIOR:
        Scroll(shift ? SB_HORZ : SB_VERT, SB_PAGEUP);
        return true;
    case VK_NEXT:
        Scroll(shift ? SB_HORZ : SB_VERT, SB_PAGEDOWN);
        return true;
    case VK_HOME:
        Scroll(SB_VERT, SB_TOP);
        Scroll(SB_HORZ, SB_TOP);
        return true;
    case VK_END:
        Scroll(SB_VERT, SB_BOTTOM);
        Scroll(SB_HORZ, SB_BOTTOM);
        return true;
    }
    return false;
}

void UpdateViewScrollBars() {
    if (TheEditor.view == nullptr)
        return;
    RECT client;
    GetClientRect(TheEditor.view, &client);
    int extent[2] = {int(ViewExtent(TheEditor.host.width)), int(ViewExtent(TheEditor.host.height))};
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
    const int32_t vx = int32_t(ViewStart(x, TheEditor.zoom)),
                  vy = int32_t(ViewStart(y, TheEditor.zoom));
    if (vx < TheEditor.scrollX || vx >= TheEditor.scrollX + client.right)
        TheEditor.scrollX = vx - client.right / 2;
    if (vy < TheEditor.scrollY || vy >= TheEditor.scrollY + client.bottom)
        TheEditor.scrollY = vy - client.bottom / 2;
    UpdateViewScrollBars();
    UpdateWindow(TheEditor.view);
}

void SetZoom(Zoom zoom, int x, int y) {
    if (!TheEditor.havePicture || zoom.num <= 0 || zoom.den <= 0)
        return;
    // The picture point under (x, y), in picture pixels at a finer grain than one, stays there.
    const Zoom old = TheEditor.zoom;
    const int64_t fine = 64;
    const int64_t px = FloorDivide((int64_t(x) + TheEditor.scrollX) * old.den * fine, old.num),
                  py = FloorDivide((int64_t(y) + TheEditor.scrollY) * old.den * fine, old.num);
    TheEditor.zoom = zoom;
    TheEditor.scrollX = int32_t(FloorDivide(px * zoom.num, zoom.den * fine) - x);
    TheEditor.scrollY = int32_t(FloorDivide(py * zoom.num, zoom.den * fine) - y);
    UpdateViewScrollBars(); // clamps the scroll position to the new range
    InvalidateRect(TheEditor.view, nullptr, FALSE);
    ShowZoom();
}

void ZoomBy(bool in) {
    RECT client;
    GetClientRect(TheEditor.view, &client);
    SetZoom(NextZoom(TheEditor.zoom, in), client.right / 2, client.bottom / 2);
}

void ZoomToFit() {
    RECT client;
    GetClientRect(TheEditor.view, &client);
    TheEditor.scrollX = TheEditor.scrollY = 0;
    SetZoom(FitZoom(TheEditor.host.width, TheEditor.host.height, client.right, client.bottom), 0,
            0);
}

void ZoomActualSize() {
    RECT client;
    GetClientRect(TheEditor.view, &client);
    SetZoom(Zoom{}, client.right / 2, client.bottom / 2);
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
    case WM_MOUSEWHEEL:
        if (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) {
            // Ctrl+wheel zooms about the pointer (the message gives it in screen pixels).
            POINT at = {int16_t(LOWORD(lParam)), int16_t(HIWORD(lParam))};
            ScreenToClient(window, &at);
            SetZoom(NextZoom(TheEditor.zoom, GET_WHEEL_DELTA_WPARAM(wParam) > 0), at.x, at.y);
            return 0;
        }
        Wheel(GetKeyState(VK_SHIFT) < 0 ? SB_HORZ : SB_VERT, GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_MOUSEHWHEEL:
        Wheel(SB_HORZ, -GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_GETDLGCODE: {
        // The arrows and Enter are the view's; Tab and Shift+Tab still move on.
        const MSG* key = reinterpret_cast<const MSG*>(lParam);
        if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN)
            return DLGC_WANTARROWS | DLGC_WANTMESSAGE;
        return DLGC_WANTARROWS;
    }
    case WM_SETFOCUS:
        // From the keyboard (Tab): the point is shown at once.
        if (GetKeyState(VK_TAB) < 0)
            KeyPointShown = true;
        InvalidateKeyPoint();
        return 0;
    case WM_KILLFOCUS:
        KeyPointShown = false;
        InvalidateKeyPoint();
        return 0;
    case WM_KEYDOWN:
        if (PointKey(wParam) || ScrollKey(wParam))
            return 0;
        break;
    case WM_MOUSEMOVE: {
        int32_t x = -1, y = -1;
        ViewToPicture(int16_t(LOWORD(lParam)), int16_t(HIWORD(lParam)), &x, &y);
        ShowPointer(x, y);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        SetFocus(window);
        // Only what the view shows can be clicked; the keyboard's point follows the click,
        // hidden until a key is used.
        POINT at = {int16_t(LOWORD(lParam)), int16_t(HIWORD(lParam))};
        RECT client;
        GetClientRect(window, &client);
        int32_t x = -1, y = -1;
        if (!PtInRect(&client, at) || !ViewToPicture(at.x, at.y, &x, &y)) {
            if (TheEditor.selectedTool < 0 && !TheEditor.filling && TheEditor.havePicture)
                SetStatusText("select a tool on the toolbar first");
            return 0;
        }
        KeyPointShown = false;
        if (!TheEditor.filling)
            SetKeyPoint(x, y);
        ApplyToolAt(x, y);
        return 0;
    }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterViewClass(HINSTANCE instance) {
    WNDCLASSW viewClass = {};
    viewClass.lpfnWndProc = ViewProcedure;
    viewClass.hInstance = instance;
    viewClass.hCursor = LoadCursorA(nullptr, IDC_CROSS);
    viewClass.lpszClassName = ViewClassName;
    return RegisterClassW(&viewClass) != 0;
}

HWND CreatePictureView(HWND parent) {
    return CreateWindowExW(WS_EX_CLIENTEDGE, ViewClassName, nullptr,
                           WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL | WS_TABSTOP, 0, 0, 0, 0,
                           parent, nullptr, TheEditor.instance, nullptr);
}

} // namespace editor
