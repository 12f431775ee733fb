// vexra.exe, the editor stand-in: the main window, its menu and keys, and the start-up.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <stdio.h>

#include "editor.h"
#include "editor_options.h"
#include "script.h"

Editor TheEditor;

static const char MainClassName[] = "VexraEditor";
static const char WindowTitle[] = "vexra";

enum : UINT { CommandOpen = 1001, CommandSave, CommandExit, CommandUndo };

static HWND StepLabel, SeedLabel;

void SetStatusText(const std::string& text) {
    if (TheEditor.status != nullptr)
        SendMessageA(TheEditor.status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string FieldText(HWND field) {
    int length = GetWindowTextLengthA(field);
    std::string text(size_t(length) + 1, '\0');
    length = GetWindowTextA(field, &text[0], length + 1);
    text.resize(size_t(length > 0 ? length : 0));
    return text;
}

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

static HWND Child(const char* className, const char* text, DWORD style, DWORD exStyle = 0) {
    HWND window = CreateWindowExA(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0,
                                  0, TheEditor.main, nullptr, TheEditor.instance, nullptr);
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 TRUE);
    return window;
}

// The width of a label's text in its font.
static int TextWidth(HWND label) {
    std::string text = FieldText(label);
    HDC dc = GetDC(label);
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &size);
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
    SendMessageA(TheEditor.status, WM_SIZE, 0, 0);
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
    MoveWindow(TheEditor.view, 0, ToolbarHeight, client.right,
               client.bottom - ToolbarHeight - statusHeight, TRUE);
}

static std::string AskForFile(bool save) {
    char path[MAX_PATH] = {};
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = TheEditor.main;
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof path;
    if (save) {
        dialog.lpstrFilter = "PNG picture (*.png)\0*.png\0";
        dialog.lpstrDefExt = "png";
        dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
        return GetSaveFileNameA(&dialog) ? path : "";
    }
    dialog.lpstrFilter = "Pictures (*.png;*.jpg;*.jpeg;*.bmp)\0*.png;*.jpg;*.jpeg;*.bmp\0"
                         "All files\0*.*\0";
    dialog.Flags = OFN_FILEMUSTEXIST;
    return GetOpenFileNameA(&dialog) ? path : "";
}

static void Command(UINT id, UINT notification) {
    std::string error;
    if (id >= FirstToolCommand && id < FirstToolCommand + TheEditor.tools.size()) {
        if (notification == BN_CLICKED)
            SelectTool(int(id - FirstToolCommand));
        return;
    }
    switch (id) {
    case CommandOpen: {
        std::string path = AskForFile(false);
        if (!path.empty())
            SetStatusText(OpenPicture(path, &error) ? "opened " + path : error);
        break;
    }
    case CommandSave: {
        if (!TheEditor.havePicture)
            break;
        std::string path = AskForFile(true);
        if (!path.empty())
            SetStatusText(SavePicture(path, &error) ? "saved " + path : error);
        break;
    }
    case CommandUndo:
        UndoLastFill();
        break;
    case CommandExit:
        DestroyWindow(TheEditor.main);
        break;
    }
}

static LRESULT CALLBACK MainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        LayOut();
        return 0;
    case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static HMENU MakeMenu() {
    HMENU file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, CommandOpen, "&Open...");
    AppendMenuA(file, MF_STRING, CommandSave, "Save &As PNG...\tCtrl+S");
    AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(file, MF_STRING, CommandExit, "E&xit");
    HMENU edit = CreatePopupMenu();
    AppendMenuA(edit, MF_STRING, CommandUndo, "&Undo fill\tCtrl+Z");
    HMENU bar = CreateMenu();
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), "&Edit");
    return bar;
}

static std::string ExecutableFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, length);
    size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? "." : folder.substr(0, slash);
}

// A window large enough for the picture, within the screen.
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
    WNDCLASSA mainClass = {};
    mainClass.lpfnWndProc = MainProcedure;
    mainClass.hInstance = TheEditor.instance;
    mainClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    mainClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    mainClass.lpszClassName = MainClassName;
    if (!RegisterClassA(&mainClass) || !RegisterViewClass(TheEditor.instance))
        return false;
    TheEditor.main =
        CreateWindowExA(0, MainClassName, WindowTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                        640, 480, nullptr, MakeMenu(), TheEditor.instance, nullptr);
    if (TheEditor.main == nullptr)
        return false;
    CreateToolButtons(TheEditor.main, 6, (ToolbarHeight - ToolButtonSize) / 2);
    StepLabel = Child("STATIC", "Step tolerance", SS_RIGHT);
    TheEditor.stepField =
        Child("EDIT", options.stepText.c_str(), ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
    SeedLabel = Child("STATIC", "Seed tolerance", SS_RIGHT);
    TheEditor.seedField =
        Child("EDIT", options.seedText.c_str(), ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
    TheEditor.view = CreatePictureView(TheEditor.main);
    TheEditor.status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                       TheEditor.main, nullptr, TheEditor.instance, nullptr);
    return TheEditor.view != nullptr && TheEditor.status != nullptr;
}

static int Fail(int code, const std::string& message) {
    fprintf(stderr, "vexra: %s\n", message.c_str());
    return code;
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

int main(int argc, char** argv) {
    ConnectOutput();
    EditorOptions options;
    std::string error;
    if (!ParseEditorOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error))
        return Fail(2, error + " (see --help)");
    if (options.help) {
        fputs(EditorUsage, stdout);
        return 0;
    }
    TheEditor.instance = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    LoadTools(ExecutableFolder() + "\\plugins");
    if (!CreateMainWindow(options))
        return Fail(1, "cannot create the main window: error " + std::to_string(GetLastError()));
    if (!options.picturePath.empty() && !OpenPicture(options.picturePath, &error)) {
        if (options.HasScript())
            return Fail(1, error);
        SetStatusText(error);
    }
    TheEditor.host.honourDrawFlag = !options.forgetDrawn;
    SIZE size = InitialWindowSize();
    SetWindowPos(TheEditor.main, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOMOVE);
    ShowWindow(TheEditor.main, SW_SHOW);
    UpdateWindow(TheEditor.main);
    std::string skipped;
    for (const std::string& line : TheEditor.skippedPlugins)
        skipped += (skipped.empty() ? "" : "; ") + line;
    if (!skipped.empty())
        SetStatusText(skipped);
    else
        SetStatusText(TheEditor.tools.empty() ? "no drawing tools in plugins\\"
                                              : "select a tool, then click on the picture");

    if (options.reportLayout)
        ReportLayout();
    if (options.HasScript()) {
        int status = RunScript(options);
        if (status != 0 || options.quit)
            return status;
    }

    ACCEL keys[] = {{FCONTROL | FVIRTKEY, 'Z', CommandUndo},
                    {FCONTROL | FVIRTKEY, 'S', CommandSave},
                    {FCONTROL | FVIRTKEY, 'O', CommandOpen}};
    HACCEL accelerators = CreateAcceleratorTableA(keys, 3);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(TheEditor.main, accelerators, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return int(message.wParam);
}
