// The scripted mode (script.h): the command line's clicks through the editor's own window.
#include "script.h"

#include <shlobj.h>

#include <stdio.h>
#include <string.h>

#include <set>

#include "editor.h"
#include "image_files.h"
#include "program_messages.h"
#include "wide_text.h"

namespace editor {

// The timer that looks for message boxes to close, and how often it looks.
enum { MessageCloseTimer = 77, MessageCloseMilliseconds = 50 };

static std::string TextOf(HWND window) {
    return WindowText(window);
}

// ---- Message boxes ------------------------------------------------------------------------------

static std::set<HWND> ClosedBoxes;
static std::string AnswerButton = "Cancel"; // pressed in a box without OK

struct BoxContents {
    std::string text, buttons;
    HWND ok = nullptr, answer = nullptr, cancel = nullptr;
    bool icon = false;
    bool fields = false; // an edit or combo box: a dialog such as Open or Save As, no message
};

static std::string WithoutMnemonics(std::string text);

static BOOL CALLBACK ReadBoxControl(HWND control, LPARAM parameter) {
    BoxContents* box = reinterpret_cast<BoxContents*>(parameter);
    if (!IsWindowVisible(control))
        return TRUE;
    char className[32] = {};
    GetClassNameA(control, className, sizeof className);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    if (strcmp(className, "Button") == 0) {
        box->buttons += (box->buttons.empty() ? "" : ",") + TextOf(control);
        if (GetDlgCtrlID(control) == IDOK)
            box->ok = control;
        if (GetDlgCtrlID(control) == IDCANCEL)
            box->cancel = control;
        if (WithoutMnemonics(TextOf(control)) == AnswerButton)
            box->answer = control;
    } else if (strcmp(className, "Edit") == 0 || strcmp(className, "ComboBox") == 0) {
        box->fields = true;
    } else if (strcmp(className, "Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON)
            box->icon = box->icon || SendMessageA(control, STM_GETICON, 0, 0) != 0;
        else if (!TextOf(control).empty())
            box->text = TextOf(control);
    }
    return TRUE;
}

// The OK button's label loses its accelerator mark: "&OK" is what the user sees as "OK".
static std::string WithoutMnemonics(std::string text) {
    std::string plain;
    for (char c : text)
        if (c != '&')
            plain += c;
    return plain;
}

static BOOL CALLBACK CloseIfMessageBox(HWND window, LPARAM) {
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (strcmp(className, "#32770") != 0 || !IsWindowVisible(window) ||
        ClosedBoxes.count(window) != 0)
        return TRUE;
    ClosedBoxes.insert(window);
    BoxContents box;
    EnumChildWindows(window, ReadBoxControl, reinterpret_cast<LPARAM>(&box));
    HWND owner = GetWindow(window, GW_OWNER);
    const char* ownerName = owner == TheEditor.main ? "main window"
                            : owner == nullptr      ? "none"
                                                    : "another window";
    if (box.fields) {
        // A dialog that asks for something (a file, a colour): its visible buttons and check
        // boxes, and it is cancelled, as nothing typed into it could be asked for here.
        printf("dialog \"%s\", buttons %s, owner %s\n", TextOf(window).c_str(),
               WithoutMnemonics(box.buttons).c_str(), ownerName);
        fflush(stdout);
        if (box.cancel != nullptr)
            PostMessageW(box.cancel, BM_CLICK, 0, 0);
        else
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }
    printf("message \"%s\", caption \"%s\", buttons %s, icon %s, owner %s\n", box.text.c_str(),
           TextOf(window).c_str(), WithoutMnemonics(box.buttons).c_str(),
           box.icon ? "shown" : "none", ownerName);
    fflush(stdout);
    // Pressed as a user presses it: OK, or else the answer asked for; a box with neither is
    // told to close as by its Cancel.
    HWND button = box.ok != nullptr ? box.ok : box.answer;
    if (button != nullptr)
        PostMessageW(button, BM_CLICK, 0, 0);
    else
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

// Runs from the modal loop of a message box, which dispatches the editor's timer messages.
static void CALLBACK CloseMessageBoxes(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), CloseIfMessageBox, 0);
}

void StartClosingMessages(const std::string& answer) {
    AnswerButton = answer;
    SetTimer(TheEditor.main, MessageCloseTimer, MessageCloseMilliseconds, CloseMessageBoxes);
}

// ---- Clicks ------------------------------------------------------------------------------------

static const char* CursorName(HCURSOR cursor) {
    if (cursor == nullptr)
        return "none";
    if (cursor == LoadCursorA(nullptr, IDC_WAIT))
        return "wait";
    if (cursor == LoadCursorA(nullptr, IDC_CROSS))
        return "cross";
    if (cursor == LoadCursorA(nullptr, IDC_ARROW))
        return "arrow";
    return "other";
}

static std::string CursorReport(const FillOutcome& fill) {
    std::string during = fill.cursorLooks == 0 ? "not seen"
                         : fill.cursorLooksWait == fill.cursorLooks
                             ? "wait"
                             : "not wait at " +
                                   std::to_string(fill.cursorLooks - fill.cursorLooksWait) +
                                   " of " + std::to_string(fill.cursorLooks) + " looks";
    std::string after = fill.cursorAfter == fill.cursorBefore
                            ? std::string("as before (") + CursorName(fill.cursorBefore) + ")"
                            : std::string(CursorName(fill.cursorAfter)) + ", before " +
                                  CursorName(fill.cursorBefore);
    return "cursor during the fill: " + during + ", after: " + after;
}

std::string FillReportLine(const FillOutcome& fill) {
    char line[512], boxes[48] = "";
    if (fill.messagesShown > 0)
        snprintf(boxes, sizeof boxes, " (boxes open %.1f ms)", fill.boxMilliseconds);
    snprintf(line, sizeof line,
             "click %d %d: %llu pixels painted, %llu refresh requests, %d messages, %.1f ms%s; "
             "repaints %llu; %s; shown at repaints: %llu of %llu looked at",
             fill.x, fill.y, (unsigned long long)fill.pixelsPainted,
             (unsigned long long)fill.refreshRequests, fill.messagesShown, fill.milliseconds, boxes,
             (unsigned long long)fill.repaints, CursorReport(fill).c_str(),
             (unsigned long long)fill.repaintsShownRight,
             (unsigned long long)fill.repaintsLookedAt);
    return line;
}

// Posts the mouse messages of a click at picture pixel (x, y) and handles them: the fill runs,
// and ends, while its button-down message is dispatched. False if the click reached no tool.
static bool ClickAt(int32_t x, int32_t y) {
    ScrollToShow(x, y);
    POINT at = PictureToView(x, y);
    // The middle of the pixel's view pixels, as a user aims at it.
    at.x += LONG((ViewStart(x + 1, TheEditor.zoom) - ViewStart(x, TheEditor.zoom) - 1) / 2);
    at.y += LONG((ViewStart(y + 1, TheEditor.zoom) - ViewStart(y, TheEditor.zoom) - 1) / 2);
    LPARAM position = MAKELPARAM(at.x, at.y);
    uint32_t fillsBefore = TheEditor.fillNumber;
    PostMessageA(TheEditor.view, WM_MOUSEMOVE, 0, position);
    PostMessageA(TheEditor.view, WM_LBUTTONDOWN, MK_LBUTTON, position);
    PostMessageA(TheEditor.view, WM_LBUTTONUP, 0, position);
    PumpMessages();
    return TheEditor.fillNumber != fillsBefore;
}

// ---- The window as a picture -------------------------------------------------------------------

static bool Screenshot(const std::string& path, std::string* error) {
    RedrawWindow(TheEditor.main, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpMessages();
    // The menu bar and the client area: the caption and the frame belong to the window
    // manager, which may draw them elsewhere or not at all.
    RECT window, area;
    GetWindowRect(TheEditor.main, &window);
    GetClientRect(TheEditor.main, &area);
    MapWindowPoints(TheEditor.main, nullptr, reinterpret_cast<POINT*>(&area), 2);
    MENUBARINFO menu = {};
    menu.cbSize = sizeof menu;
    if (GetMenuBarInfo(TheEditor.main, OBJID_MENU, 0, &menu) && menu.rcBar.top < area.top)
        area.top = menu.rcBar.top;
    OffsetRect(&area, -window.left, -window.top);
    picture_io::Picture shot;
    shot.width = area.right - area.left;
    shot.height = area.bottom - area.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = GetWindowDC(TheEditor.main);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (bitmap != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, shot.width, shot.height, dc, area.left, area.top, SRCCOPY);
        GdiFlush();
        const uint32_t* pixels = static_cast<const uint32_t*>(bits);
        shot.pixels.assign(pixels, pixels + size_t(shot.width) * size_t(shot.height));
        for (uint32_t& pixel : shot.pixels)
            pixel &= 0x00FFFFFFu;
        SelectObject(memory, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(TheEditor.main, dc);
    if (!copied) {
        *error = "cannot capture the window: error " + std::to_string(GetLastError());
        return false;
    }
    return files::SavePng(path, shot, error);
}

// ---- The script --------------------------------------------------------------------------------

void ReportLayout() {
    for (const EditorTool& tool : TheEditor.tools) {
        RECT button;
        GetWindowRect(tool.button, &button);
        printf("button %s %ld %ld\n", tool.name.c_str(), (button.left + button.right) / 2,
               (button.top + button.bottom) / 2);
    }
    POINT origin = PictureToView(0, 0);
    ClientToScreen(TheEditor.view, &origin);
    printf("picture %ld %ld\n", origin.x, origin.y);
    fflush(stdout);
}

// The fields get their texts and the tool is selected through its button, as the user would:
// the fill reads the texts back from the fields. Returns 0, or the exit status.
static int SelectToolAsTheUserWould(const EditorOptions& options) {
    int tool = FindTool(options.toolName);
    if (tool < 0)
        return command_line::Fail(1, "no " + options.toolName + " tool in plugins\\");
    SetWindowTextUtf8(TheEditor.stepField, options.stepText);
    SetWindowTextUtf8(TheEditor.seedField, options.seedText);
    SendMessageW(TheEditor.tools[tool].button, BM_CLICK, 0, 0);
    PumpMessages();
    if (TheEditor.selectedTool != tool)
        return command_line::Fail(1,
                                  "pressing the " + options.toolName + " button did not select it");
    printf("tool %s from %s, tooltip \"%s\"\n", options.toolName.c_str(),
           TheEditor.tools[tool].fileName.c_str(), TooltipTextOf(tool).c_str());
    fflush(stdout);
    return 0;
}

// Each click through the view, and a line on what its fill did. Returns 0, or the exit status.
static int DeliverClicks(const std::vector<command_line::Click>& clicks, bool reportStatus) {
    const uint32_t fillsBefore = TheEditor.fillNumber;
    for (const command_line::Click& click : clicks) {
        if (!ClickAt(click.x, click.y))
            return command_line::Fail(1, "the click at " + std::to_string(click.x) + " " +
                                             std::to_string(click.y) + " did not reach the tool");
        PumpMessages(); // the input a fill threw away must not come back now
        const FillOutcome& fill = TheEditor.last;
        if (!TheEditor.reportFills) // else ApplyTool printed it
            printf("%s\n", FillReportLine(fill).c_str());
        if (fill.faulted)
            printf("fault: %s\n", fill.faultText.c_str());
        printf("status: %s\n", StatusText().c_str());
        if (reportStatus) {
            printf("progress: %llu updates, last \"%s\"\n", (unsigned long long)fill.progressShown,
                   fill.lastProgress.c_str());
            printf("status parts: \"%s\", \"%s\", \"%s\"\n", StatusPartText(StatusSize).c_str(),
                   StatusPartText(StatusPointer).c_str(), StatusPartText(StatusTolerances).c_str());
        }
        fflush(stdout);
    }
    if (!clicks.empty())
        printf("fills %u\n", TheEditor.fillNumber - fillsBefore);
    return 0;
}

// Each --key: pressed where the keyboard's focus is, with its modifiers held as the window
// system sees them while the key's messages are handled as the window's own loop handles them
// (the menu's keys included); then the status bar and the title.
static void PressKeys(const std::vector<KeyPress>& keys) {
    for (const KeyPress& press : keys) {
        BYTE held[256], saved[256];
        GetKeyboardState(saved);
        memcpy(held, saved, sizeof held);
        if (press.control)
            held[VK_CONTROL] = held[VK_LCONTROL] = 0x80;
        if (press.shift)
            held[VK_SHIFT] = held[VK_LSHIFT] = 0x80;
        SetKeyboardState(held);
        HWND target = GetFocus() != nullptr ? GetFocus() : TheEditor.view;
        PostMessageW(target, WM_KEYDOWN, press.key, 1);
        PumpMessagesWithKeys();
        PostMessageW(target, WM_KEYUP, press.key, LPARAM(0xC0000001u));
        PumpMessagesWithKeys();
        SetKeyboardState(saved);
        printf("key %s: status: %s; size \"%s\"; title \"%s\"\n", press.text.c_str(),
               StatusText().c_str(), StatusPartText(StatusSize).c_str(),
               WindowText(TheEditor.main).c_str());
        fflush(stdout);
    }
}

// Edit > Undo, then Edit > Redo, so many times, chosen as from the menu, which the editor
// keeps enabled only when it applies; then the two items' states and the title.
static void UndoAndRedo(const EditorOptions& options) {
    for (int32_t i = 0; i < options.undos + options.redos; ++i) {
        UINT command = i < options.undos ? CommandUndo : CommandRedo;
        UINT state = GetMenuState(GetMenu(TheEditor.main), command, MF_BYCOMMAND);
        SendMessageW(TheEditor.main, WM_COMMAND, command, 0);
        printf("%s (menu item %s): %s\n", command == CommandUndo ? "undo" : "redo",
               state & MF_GRAYED ? "disabled" : "enabled", StatusText().c_str());
    }
    if (TheEditor.havePicture) {
        UINT undo = GetMenuState(GetMenu(TheEditor.main), CommandUndo, MF_BYCOMMAND);
        UINT redo = GetMenuState(GetMenu(TheEditor.main), CommandRedo, MF_BYCOMMAND);
        printf("menu: undo %s, redo %s; title \"%s\"\n", undo & MF_GRAYED ? "off" : "on",
               redo & MF_GRAYED ? "off" : "on", WindowText(TheEditor.main).c_str());
    }
}

// Each --drop: the file dropped on the main window as a file manager drops it (a DROPFILES block
// with its full path, posted as WM_DROPFILES); then the status bar and the title.
static void DropFiles(const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        std::wstring wide = host_model::WideFromUtf8(file), full(32768, L'\0');
        DWORD length = GetFullPathNameW(wide.c_str(), DWORD(full.size()), &full[0], nullptr);
        full.resize(length > 0 && length < 32768 ? length : 0);
        HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + (full.size() + 2) * sizeof(wchar_t));
        if (block == nullptr || full.empty()) {
            printf("drop %s: cannot be made\n", file.c_str());
            continue;
        }
        DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(block));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), full.c_str(),
               full.size() * sizeof(wchar_t)); // the list's two terminating zeros are GHND's
        GlobalUnlock(block);
        PostMessageW(TheEditor.main, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
        PumpMessagesWithKeys();
        printf("drop %s: status: %s; title \"%s\"\n", file.c_str(), StatusText().c_str(),
               WindowText(TheEditor.main).c_str());
        fflush(stdout);
    }
}

// --save and --screenshot. Returns 0, or the exit status.
static int SaveAndCapture(const EditorOptions& options) {
    std::string error;
    if (!options.savePath.empty()) {
        if (!SavePicture(options.savePath, &error))
            return command_line::Fail(1, error);
        printf("saved %s\n", options.savePath.c_str());
    }
    if (!options.screenshotPath.empty()) {
        if (!Screenshot(options.screenshotPath, &error))
            return command_line::Fail(1, error);
        printf("screenshot %s\n", options.screenshotPath.c_str());
    }
    return 0;
}

// Closes the window as its close box does, which asks about unsaved changes.
static void CloseWindowAsItsBoxDoes() {
    printf("title \"%s\"\n", WindowText(TheEditor.main).c_str());
    fflush(stdout);
    SendMessageW(TheEditor.main, WM_CLOSE, 0, 0);
    PumpMessages();
    printf("window %s\n", IsWindow(TheEditor.main) ? "still open" : "closed");
}

int RunScript(const EditorOptions& options) {
    for (const command_line::Click& click : options.clicks)
        if (!TheEditor.host.Contains(click.x, click.y))
            return command_line::Fail(2, "click " + std::to_string(click.x) + " " +
                                             std::to_string(click.y) + " lies outside the " +
                                             std::to_string(TheEditor.host.width) + "x" +
                                             std::to_string(TheEditor.host.height) + " picture");
    for (const std::string& line : TheEditor.skippedPlugins)
        printf("%s\n", line.c_str());
    fflush(stdout);
    if (options.zoomPercent != 0) {
        if (options.zoomPercent < 0)
            ZoomToFit();
        else
            SetZoom(Zoom{options.zoomPercent, 100}, 0, 0);
        printf("zoom %lld%%, scroll %d %d\n", (long long)ZoomPercent(TheEditor.zoom),
               int(TheEditor.scrollX), int(TheEditor.scrollY));
    }
    if (!options.clicks.empty())
        if (int status = SelectToolAsTheUserWould(options))
            return status;
    if (int status = DeliverClicks(options.clicks, options.reportStatus))
        return status;
    printf("step field \"%s\"\n", WindowText(TheEditor.stepField).c_str());
    PressKeys(options.keys);
    UndoAndRedo(options);
    DropFiles(options.drops);
    if (int status = SaveAndCapture(options))
        return status;
    if (options.closeWindow)
        CloseWindowAsItsBoxDoes();
    fflush(stdout);
    return 0;
}

} // namespace editor
