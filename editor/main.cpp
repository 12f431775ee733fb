// vexra.exe, the editor stand-in: the main window, its menu and keys, and the start-up.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <stdio.h>

#include <algorithm>
#include <new>

#include "editor.h"
#include "editor_options.h"
#include "program_messages.h"
#include "recent_files.h"
#include "script.h"
#include "tolerance_text.h"
#include "utf8_files.h"
#include "wide_text.h"

namespace editor {

Editor TheEditor;

static const wchar_t MainClassName[] = L"VexraEditor";
enum { EditorIconResource = 1 };

static HWND StepLabel, SeedLabel;

static void SetStatusPart(int part, const std::string& text) {
    if (TheEditor.status != nullptr)
        SendMessageW(TheEditor.status, SB_SETTEXTW, WPARAM(part),
                     reinterpret_cast<LPARAM>(host_model::WideFromUtf8(text).c_str()));
}

std::string StatusPartText(int part) {
    if (TheEditor.status == nullptr)
        return "";
    int length = LOWORD(SendMessageW(TheEditor.status, SB_GETTEXTLENGTHW, WPARAM(part), 0));
    std::wstring text(size_t(length) + 1, L'\0');
    SendMessageW(TheEditor.status, SB_GETTEXTW, WPARAM(part), reinterpret_cast<LPARAM>(&text[0]));
    return host_model::Utf8FromWide(text.c_str());
}

void SetStatusText(const std::string& text) {
    SetStatusPart(StatusMessage, text);
}

std::string StatusText() {
    return StatusPartText(StatusMessage);
}

void ShowPictureSize() {
    std::string text;
    if (TheEditor.havePicture) {
        text = std::to_string(TheEditor.host.width) + " x " + std::to_string(TheEditor.host.height);
        if (TheEditor.zoom.num != TheEditor.zoom.den)
            text += ", " + std::to_string(ZoomPercent(TheEditor.zoom)) + "%";
    }
    SetStatusPart(StatusSize, text);
}

void ShowZoom() {
    ShowPictureSize();
}

void ShowPointer(int32_t x, int32_t y) {
    const tool_host::ToolHost& host = TheEditor.host;
    if (!TheEditor.havePicture || !host.Contains(x, y)) {
        SetStatusPart(StatusPointer, "");
        return;
    }
    char text[64];
    snprintf(text, sizeof text, "%d, %d  #%06X", int(x), int(y),
             unsigned(host.pixels[host.IndexOf(x, y)] & 0x00FFFFFFu));
    SetStatusPart(StatusPointer, text);
}

// The fields' texts go into the tool host's parameter store, which hands them to the plug-in;
// shown as the plug-in reads them (a text such as " 4294967302 px" is a step of 6). Not while a
// fill runs (a message box's loop may pass on typing): the store is the fill's until it ends,
// and the next fill puts the texts there again.
void ShowTolerances() {
    if (TheEditor.filling)
        return;
    tool_host::ToolHost& host = TheEditor.host;
    host.SetTolerances(WindowText(TheEditor.stepField), WindowText(TheEditor.seedField));
    SetStatusPart(StatusTolerances,
                  "step " + std::to_string(ParseToleranceText(host.Parameter(2, 0))) + ", seed " +
                      std::to_string(ParseToleranceText(host.Parameter(2, 1))));
}

void ShowMessage(const std::string& text, UINT icon) {
    MessageBoxW(TheEditor.main, host_model::WideFromUtf8(text).c_str(), L"vexra", MB_OK | icon);
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

static HWND Child(const wchar_t* className, const std::string& text, DWORD style,
                  DWORD exStyle = 0) {
    HWND window = CreateWindowExW(exStyle, className, host_model::WideFromUtf8(text).c_str(),
                                  WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, TheEditor.main,
                                  nullptr, TheEditor.instance, nullptr);
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 TRUE);
    return window;
}

// The width of a label's text in its font.
static int TextWidth(HWND label) {
    std::wstring text = host_model::WideFromUtf8(WindowText(label));
    HDC dc = GetDC(label);
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(label, dc);
    return size.cx + 4;
}

// Toolbar strip: the tool buttons, then the two labelled fields; the view below it and the
// status bar at the bottom.
static void LayOut() {
    if (TheEditor.status == nullptr)
        return; // not all made yet
    RECT client;
    GetClientRect(TheEditor.main, &client);
    SendMessageW(TheEditor.status, WM_SIZE, 0, 0);
    RECT statusRect;
    GetWindowRect(TheEditor.status, &statusRect);
    int statusHeight = statusRect.bottom - statusRect.top;
    int x = 6 + ToolButtonsWidth() + 12, y = (ToolbarHeight - 22) / 2;
    for (HWND label : {StepLabel, SeedLabel}) {
        HWND field = label == StepLabel ? TheEditor.stepField : TheEditor.seedField;
        int width = TextWidth(label);
        MoveWindow(label, x, y + 4, width, 16, TRUE);
        MoveWindow(field, x + width + 6, y, 56, 22, TRUE);
        x += width + 6 + 56 + 16;
    }
    // The status bar: the message takes what the picture's size, the pointer and the
    // tolerances leave.
    int edges[StatusParts];
    edges[StatusTolerances] = -1;
    edges[StatusPointer] = std::max<int>(client.right - 150, 0);
    edges[StatusSize] = std::max(edges[StatusPointer] - 170, 0);
    edges[StatusMessage] = std::max(edges[StatusSize] - 100, 0);
    SendMessageW(TheEditor.status, SB_SETPARTS, StatusParts, reinterpret_cast<LPARAM>(edges));
    MoveWindow(TheEditor.view, 0, ToolbarHeight, client.right,
               client.bottom - ToolbarHeight - statusHeight, TRUE);
}

static void OpenFromDialog() {
    if (!MayDiscardPicture())
        return;
    std::string path = AskForFile(false), error;
    if (path.empty())
        return;
    if (OpenPicture(path, &error)) {
        SetStatusText("opened \"" + path + "\"");
    } else {
        SetStatusText(error);
        ShowMessage(error, MB_ICONERROR);
    }
}

// Saves to `path`, saying in the status bar how it went, and in a box when it failed.
static void SaveAndReport(const std::string& path) {
    std::string error;
    if (SavePicture(path, &error)) {
        SetStatusText("saved \"" + path + "\"");
    } else {
        SetStatusText(error);
        ShowMessage(error, MB_ICONERROR);
    }
}

static void SaveFromDialog() {
    if (!TheEditor.havePicture || TheEditor.filling)
        return;
    std::string path = AskForFile(true);
    if (!path.empty())
        SaveAndReport(path);
}

// File > Save: over the file the picture came from when it is a PNG, else as Save As.
static void SaveInPlace() {
    if (!TheEditor.havePicture || TheEditor.filling)
        return;
    std::string path = SaveInPlaceTarget();
    if (path.empty())
        SaveFromDialog();
    else
        SaveAndReport(path);
}

// Edit > Paint colour: the system's colour dialog, starting from the colour in use; the choice
// holds for the rest of the session, for every picture opened.
static void ChoosePaintColour() {
    if (TheEditor.filling)
        return;
    static COLORREF custom[16] = {};
    const uint32_t paint = TheEditor.paintColour;
    CHOOSECOLORW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = TheEditor.main;
    dialog.rgbResult = RGB(paint >> 16 & 0xFF, paint >> 8 & 0xFF, paint & 0xFF);
    dialog.lpCustColors = custom;
    dialog.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!ChooseColorW(&dialog))
        return;
    SetPaintColour(uint32_t(GetRValue(dialog.rgbResult)) << 16 |
                   uint32_t(GetGValue(dialog.rgbResult)) << 8 | GetBValue(dialog.rgbResult));
    SetStatusText("paint colour " + PaintColourText());
}

static void Command(UINT id, UINT notification, HWND control) {
    if (notification == EN_CHANGE &&
        (control == TheEditor.stepField || control == TheEditor.seedField)) {
        ShowTolerances();
        return;
    }
    if (id >= FirstRecentCommand && id < FirstRecentCommand + RecentFilesKept) {
        const std::string path = RecentFile(id - FirstRecentCommand);
        if (!path.empty())
            OpenAskingFirst(path);
        return;
    }
    if (id >= FirstToolCommand && id < FirstToolCommand + TheEditor.tools.size()) {
        if (notification == BN_CLICKED)
            SelectTool(int(id - FirstToolCommand));
        return;
    }
    switch (id) {
    case CommandOpen:
        OpenFromDialog();
        break;
    case CommandSave:
        SaveInPlace();
        break;
    case CommandSaveAs:
        SaveFromDialog();
        break;
    case CommandPaintColour:
        ChoosePaintColour();
        break;
    case CommandZoomIn:
    case CommandZoomOut:
        ZoomBy(id == CommandZoomIn);
        break;
    case CommandZoomActual:
        ZoomActualSize();
        break;
    case CommandZoomFit:
        ZoomToFit();
        break;
    case CommandUndo:
        UndoFill();
        break;
    case CommandRedo:
        RedoFill();
        break;
    case CommandSkipped:
        if (!TheEditor.skippedPlugins.empty())
            ShowMessage(SkippedPluginsText(), MB_ICONINFORMATION);
        break;
    case CommandExit:
        PostMessageW(TheEditor.main, WM_CLOSE, 0, 0);
        break;
    }
}

static LRESULT CALLBACK MainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        LayOut();
        return 0;
    case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_MOUSEWHEEL: // from a field under the focus: the wheel scrolls the picture
    case WM_MOUSEHWHEEL:
        if (TheEditor.view != nullptr)
            return SendMessageW(TheEditor.view, message, wParam, lParam);
        return 0;
    case WM_DROPFILES: { // a picture dropped on the window is opened as File > Open opens it
        HDROP drop = reinterpret_cast<HDROP>(wParam);
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        std::wstring path;
        if (count > 0) {
            path.resize(DragQueryFileW(drop, 0, nullptr, 0) + 1);
            DragQueryFileW(drop, 0, &path[0], UINT(path.size()));
        }
        DragFinish(drop);
        if (!path.empty() && OpenAskingFirst(host_model::Utf8FromWide(path.c_str())) && count > 1)
            SetStatusText(StatusText() + " (the first of " + std::to_string(count) +
                          " files dropped)");
        return 0;
    }
    case WM_CLOSE:
        if (!TheEditor.filling && MayDiscardPicture())
            DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        if (TheEditor.reportFills) { // --report-layout: the state the user left, for the tests
            printf("at exit: step \"%s\", seed \"%s\", scroll %d %d, title \"%s\", status \"%s\"\n",
                   WindowText(TheEditor.stepField).c_str(), WindowText(TheEditor.seedField).c_str(),
                   int(TheEditor.scrollX), int(TheEditor.scrollY), WindowText(window).c_str(),
                   StatusText().c_str());
            fflush(stdout);
        }
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

static HMENU MakeMenu() {
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, CommandOpen, L"&Open...\tCtrl+O");
    AppendMenuW(file, MF_STRING, CommandSave, L"&Save\tCtrl+S");
    AppendMenuW(file, MF_STRING, CommandSaveAs, L"Save &As PNG...\tCtrl+Shift+S");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, CommandExit, L"E&xit\tAlt+F4");
    HMENU edit = CreatePopupMenu();
    AppendMenuW(edit, MF_STRING, CommandUndo, L"&Undo fill\tCtrl+Z");
    AppendMenuW(edit, MF_STRING, CommandRedo, L"&Redo fill\tCtrl+Y");
    AppendMenuW(edit, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(edit, MF_STRING, CommandPaintColour, L"&Paint colour...");
    HMENU view = CreatePopupMenu();
    AppendMenuW(view, MF_STRING, CommandZoomIn, L"Zoom &in\tCtrl++");
    AppendMenuW(view, MF_STRING, CommandZoomOut, L"Zoom &out\tCtrl+-");
    AppendMenuW(view, MF_STRING, CommandZoomActual, L"&Actual size\tCtrl+1");
    AppendMenuW(view, MF_STRING, CommandZoomFit, L"&Fit to window\tCtrl+0");
    HMENU tools = CreatePopupMenu();
    AppendMenuW(tools, MF_STRING, CommandSkipped, L"&Skipped plug-ins...");
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), L"&Edit");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), L"&View");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), L"&Tools");
    return bar;
}

// A window large enough for the picture, within the screen's work area.
static SIZE InitialWindowSize() {
    int width = 640, height = 480;
    if (TheEditor.havePicture) {
        RECT frame = {0, 0, TheEditor.host.width + 4 + GetSystemMetrics(SM_CXVSCROLL),
                      TheEditor.host.height + 4 + GetSystemMetrics(SM_CYHSCROLL) + ToolbarHeight +
                          24};
        AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, TRUE, 0);
        width = std::max<LONG>(width, frame.right - frame.left);
        height = std::max<LONG>(height, frame.bottom - frame.top);
    }
    width = std::min(width, GetSystemMetrics(SM_CXSCREEN));
    height = std::min(height, GetSystemMetrics(SM_CYSCREEN));
    return SIZE{width, height};
}

static bool CreateMainWindow(const EditorOptions& options) {
    WNDCLASSEXW mainClass = {};
    mainClass.cbSize = sizeof mainClass;
    mainClass.lpfnWndProc = MainProcedure;
    mainClass.hInstance = TheEditor.instance;
    mainClass.hIcon = LoadIconW(TheEditor.instance, MAKEINTRESOURCEW(EditorIconResource));
    mainClass.hIconSm = static_cast<HICON>(
        LoadImageW(TheEditor.instance, MAKEINTRESOURCEW(EditorIconResource), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    mainClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    mainClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    mainClass.lpszClassName = MainClassName;
    if (!RegisterClassExW(&mainClass) || !RegisterViewClass(TheEditor.instance))
        return false;
    // Where the system puts a new window; the size follows once the picture is known.
    TheEditor.main = CreateWindowExW(
        WS_EX_CONTROLPARENT, MainClassName, L"vexra", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
        CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr, MakeMenu(), TheEditor.instance, nullptr);
    if (TheEditor.main == nullptr)
        return false;
    CreateToolButtons(TheEditor.main, 6, (ToolbarHeight - ToolButtonSize) / 2);
    StepLabel = Child(L"STATIC", "Step tolerance", SS_RIGHT);
    TheEditor.stepField =
        Child(L"EDIT", options.stepText, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
    SeedLabel = Child(L"STATIC", "Seed tolerance", SS_RIGHT);
    TheEditor.seedField =
        Child(L"EDIT", options.seedText, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
    TheEditor.view = CreatePictureView(TheEditor.main);
    TheEditor.status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                       TheEditor.main, nullptr, TheEditor.instance, nullptr);
    DragAcceptFiles(TheEditor.main, TRUE);
    return TheEditor.view != nullptr && TheEditor.status != nullptr;
}

// Output for a program built for the window subsystem: started from a console on Windows, it
// writes to that console; under Wine, or redirected, it already has its handles.
static void ConnectOutput() {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((output == nullptr || output == INVALID_HANDLE_VALUE) &&
        AttachConsole(ATTACH_PARENT_PROCESS)) {
        freopen("CONOUT$", "w", stdout);
        freopen("CONOUT$", "w", stderr);
    }
}

// The start-up's line in the status bar: how to begin, or which plug-ins were skipped.
static std::string StartStatus() {
    if (!TheEditor.skippedPlugins.empty()) {
        std::string names;
        for (const std::string& line : TheEditor.skippedPlugins) {
            std::string file = line.substr(8, line.find(':') - 8); // "skipped FILE: ..."
            names += (names.empty() ? "" : ", ") + file;
        }
        return "skipped " + std::to_string(TheEditor.skippedPlugins.size()) + " plug-in" +
               (TheEditor.skippedPlugins.size() == 1 ? "" : "s") + ": " + names +
               " (Tools > Skipped plug-ins gives the reasons)";
    }
    return TheEditor.tools.empty() ? "no drawing tools in plugins\\"
                                   : "select a tool, then click on the picture";
}

// Ctrl+Z and Ctrl+Y belong to a field while it has the focus: they undo its typing there.
static bool KeyBelongsToField(const MSG& message) {
    if (message.message != WM_KEYDOWN || GetKeyState(VK_CONTROL) >= 0 ||
        (message.wParam != 'Z' && message.wParam != 'Y'))
        return false;
    HWND focus = GetFocus();
    return focus == TheEditor.stepField || focus == TheEditor.seedField;
}

// One message as the window's loop handles it: the menu's keys, then Tab and Shift+Tab, which
// move between the tool buttons, the fields and the view.
static void HandleMessage(MSG* message) {
    static const ACCEL keys[] = {{FCONTROL | FVIRTKEY, 'Z', CommandUndo},
                                 {FCONTROL | FVIRTKEY, 'Y', CommandRedo},
                                 {FCONTROL | FVIRTKEY, 'S', CommandSave},
                                 {FCONTROL | FSHIFT | FVIRTKEY, 'S', CommandSaveAs},
                                 {FCONTROL | FVIRTKEY, 'O', CommandOpen},
                                 {FCONTROL | FVIRTKEY, VK_OEM_PLUS, CommandZoomIn},
                                 {FCONTROL | FVIRTKEY, VK_ADD, CommandZoomIn},
                                 {FCONTROL | FVIRTKEY, VK_OEM_MINUS, CommandZoomOut},
                                 {FCONTROL | FVIRTKEY, VK_SUBTRACT, CommandZoomOut},
                                 {FCONTROL | FVIRTKEY, '1', CommandZoomActual},
                                 {FCONTROL | FVIRTKEY, '0', CommandZoomFit}};
    static HACCEL accelerators =
        CreateAcceleratorTableW(const_cast<ACCEL*>(keys), int(sizeof keys / sizeof keys[0]));
    if (!KeyBelongsToField(*message) &&
        TranslateAcceleratorW(TheEditor.main, accelerators, message))
        return;
    if (IsDialogMessageW(TheEditor.main, message))
        return;
    TranslateMessage(message);
    DispatchMessageW(message);
}

void PumpMessagesWithKeys() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        HandleMessage(&message);
}

// The window's messages until it quits; the exit status the quit gives.
static int RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        HandleMessage(&message);
    return int(message.wParam);
}

// The test options of one script, as the editor keeps them.
static void TakeTestOptions(const EditorOptions& options) {
    TheEditor.checkRepaints = options.checkRepaints;
    TheEditor.inputDuringFill = options.inputDuringFill;
    TheEditor.reportFills = options.reportLayout;
    TheEditor.host.honourDrawFlag = !options.forgetDrawn;
    // Each script (each line of a batch) starts from the default paint or its own --paint.
    SetPaintColour(options.paintColour);
}

// --batch: each line's picture opened and its script run in this window, in turn.
static int RunBatch(const std::string& path) {
    std::vector<files::BatchLine> lines;
    std::string error;
    if (!files::ReadBatchFile(path, &lines, &error))
        return command_line::Fail(1, error);
    for (const files::BatchLine& line : lines) {
        EditorOptions options;
        int status = 0;
        if (!ParseEditorOptions(line.arguments, &options, &error)) {
            status = command_line::Fail(2, error + " (see --help)");
        } else if (!OpenPicture(options.picturePath, &error)) {
            status = command_line::Fail(1, error);
            SetStatusText(error);
        } else {
            TakeTestOptions(options);
            if (options.closeMessages) // this line's own answer to the boxes
                StartClosingMessages(options.answer);
            status = RunScript(options);
        }
        ReportBatchLine(line, status);
        if (!IsWindow(TheEditor.main))
            break; // a script closed it
    }
    return 0;
}

static int Run(const EditorOptions& options) {
    TheEditor.instance = GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    LoadTools(files::Utf8FromPath(files::ExecutableFolder() / "plugins"));
    if (!CreateMainWindow(options))
        return command_line::Fail(1, "cannot create the main window: " +
                                         SystemMessage(GetLastError()));
    LoadRecentFiles(); // before the picture named here joins the list
    std::string openError;
    if (!options.picturePath.empty() && !OpenPicture(options.picturePath, &openError)) {
        int status = command_line::Fail(1, openError); // said on standard error; a script ends here
        if (options.HasScript())
            return status;
    }
    TakeTestOptions(options);
    SIZE size = InitialWindowSize();
    SetWindowPos(TheEditor.main, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOMOVE);
    UpdateTitleAndMenu();
    ShowWindow(TheEditor.main, SW_SHOW);
    UpdateWindow(TheEditor.main);
    SetFocus(TheEditor.view);
    SetStatusText(openError.empty() ? StartStatus() : openError);
    ShowPictureSize();
    ShowTolerances();

    if (options.reportLayout)
        ReportLayout();
    if (options.closeMessages)
        StartClosingMessages(options.answer);
    if (!openError.empty())
        ShowMessage(openError, MB_ICONERROR); // the status bar keeps it after the box
    if (!options.batchPath.empty())
        return RunBatch(options.batchPath);
    if (options.HasScript()) {
        int status = RunScript(options);
        if (status != 0 || options.quit || !IsWindow(TheEditor.main))
            return status;
    }

    return RunMessageLoop();
}

} // namespace editor

int main() {
    command_line::SetProgramName("vexra");
    editor::ConnectOutput();
    editor::EditorOptions options;
    std::string error;
    if (!editor::ParseEditorOptions(files::Utf8Arguments(0, nullptr), &options, &error))
        return command_line::Fail(2, error + " (see --help)");
    if (options.help) {
        fputs(editor::EditorUsage, stdout);
        return 0;
    }
    try {
        return editor::Run(options);
    } catch (const std::bad_alloc&) {
        // Opening, filling, undoing and saving catch their own; this is the last line.
        return command_line::Fail(1, "not enough memory");
    }
}
