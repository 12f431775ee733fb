// The picture as the user's document: opening (refused from its header when this editor
// cannot hold it), saving as PNG at its own depth with its alpha and colour chunks, undo and
// redo, the title's mark of unsaved changes and the question before they are lost. No allocation
// failure gets out of here: the open picture stays as it was, and the user is told.
#include <windows.h>

#include <commdlg.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <new>

#include "editor.h"
#include "image_files.h"
#include "program_messages.h" // WithThousands
#include "recent_files.h"
#include "tool_options.h" // Quoted
#include "utf8_files.h"   // ExecutableFolder
#include "wide_text.h"

namespace editor {

// A path in a message: in double quotes, exactly as the user typed it.
static std::string Shown(const std::string& path) {
    return "\"" + path + "\"";
}

// A message from the shared output code (SavePng) names the path in its own quoting, which
// escapes backslashes: shown here as typed instead.
static std::string AsTyped(std::string message, const std::string& path) {
    const std::string quoted = command_line::Quoted(path);
    for (size_t at = message.find(quoted); at != std::string::npos;
         at = message.find(quoted, at + 1))
        message.replace(at, quoted.size(), Shown(path));
    return message;
}

static std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The extension in lower case, with its dot; "" when the name has none.
static std::string ExtensionOf(const std::string& path) {
    std::string name = FileNameOf(path);
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return "";
    std::string extension = name.substr(dot);
    for (char& c : extension)
        c = char(tolower(static_cast<unsigned char>(c)));
    return extension;
}

// Reads the picture as region_grow reads it, through picture_io, which gives the reason alone;
// the messages name the file. A picture larger than this editor takes is refused from its
// header, before any of its pixels is decoded.
static bool ReadDocument(const std::string& path, picture_io::Picture* picture,
                         picture_io::Format* format, std::string* error) {
    const std::wstring wide = host_model::WideFromUtf8(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        *error = "cannot read " + Shown(path) + ": it is a directory";
        return false;
    }
    FILE* file = _wfopen(wide.c_str(), L"rb");
    if (file == nullptr) {
        *error = "cannot read " + Shown(path) + ": " + strerror(errno);
        return false;
    }
    picture_io::Reader reader;
    std::string reason;
    if (!reader.Open(file, &reason)) {
        *error = "cannot read " + Shown(path) + ": " + reason;
        return false;
    }
    const picture_io::Header& header = reader.header();
    const std::string size = command_line::WithThousands(header.width) + " x " +
                             command_line::WithThousands(header.height);
    if (header.Pixels() > EditorMaxPixels) {
        *error = "cannot open " + Shown(path) + ": it is " + size + " pixels (" +
                 command_line::WithThousands(header.Pixels()) +
                 "), and this 32-bit editor takes pictures of at most " +
                 command_line::WithThousands(EditorMaxPixels) +
                 " pixels (for example 8,192 x 4,096)";
        return false;
    }
    *format = header.format;
    if (!reader.Decode(picture, &reason)) {
        *error =
            reason.compare(0, 17, "not enough memory") == 0
                ? "cannot open " + Shown(path) + ": not enough memory for its " + size + " pixels"
                : "cannot read " + Shown(path) + ": " + reason;
        return false;
    }
    return true;
}

// ---- Recent pictures ----------------------------------------------------------------------------

static std::vector<std::string> RecentFiles;

std::string RecentFilesPath() {
    const wchar_t* appData = _wgetenv(L"APPDATA");
    if (appData != nullptr && *appData != L'\0')
        return host_model::Utf8FromWide(appData) + "\\vexra\\recent.txt";
    return files::Utf8FromPath(files::ExecutableFolder() / "vexra-recent.txt");
}

std::string RecentFile(size_t index) {
    return index < RecentFiles.size() ? RecentFiles[index] : "";
}

// The File menu's recent items, between Save As and Exit, with a separator of their own.
static void UpdateRecentMenu() {
    if (TheEditor.main == nullptr)
        return;
    HMENU file = GetSubMenu(GetMenu(TheEditor.main), 0);
    for (UINT id = FirstRecentCommand; id < FirstRecentCommand + RecentFilesKept; ++id)
        DeleteMenu(file, id, MF_BYCOMMAND);
    DeleteMenu(file, CommandRecentSeparator, MF_BYCOMMAND);
    for (size_t i = 0; i < RecentFiles.size(); ++i) {
        std::string label = "&" + std::to_string(i + 1) + " ";
        for (char c : RecentFiles[i])
            label += c == '&' ? std::string("&&") : std::string(1, c);
        InsertMenuW(file, CommandExit, MF_BYCOMMAND | MF_STRING, FirstRecentCommand + i,
                    host_model::WideFromUtf8(label).c_str());
    }
    if (!RecentFiles.empty())
        InsertMenuW(file, CommandExit, MF_BYCOMMAND | MF_SEPARATOR, CommandRecentSeparator,
                    nullptr);
    DrawMenuBar(TheEditor.main);
}

void LoadRecentFiles() {
    std::string text;
    if (FILE* file = _wfopen(host_model::WideFromUtf8(RecentFilesPath()).c_str(), L"rb")) {
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() < 65536)
            text.append(buffer, got);
        fclose(file);
    }
    RecentFiles = ParseRecentFiles(text);
    UpdateRecentMenu();
}

// A picture opened or saved: first in the list, by its full path (a name typed relative to the
// current folder would name another file later). The list is written at once; a list that
// cannot be written is only not remembered.
static void RememberRecentFile(const std::string& path) {
    std::wstring wide = host_model::WideFromUtf8(path), full(32768, L'\0');
    DWORD length = GetFullPathNameW(wide.c_str(), DWORD(full.size()), &full[0], nullptr);
    AddRecentFile(&RecentFiles, length > 0 && length < full.size()
                                    ? host_model::Utf8FromWide(full.c_str())
                                    : path);
    UpdateRecentMenu();
    const std::string listPath = RecentFilesPath();
    const std::wstring folder =
        host_model::WideFromUtf8(listPath.substr(0, listPath.find_last_of('\\')));
    CreateDirectoryW(folder.c_str(), nullptr); // %APPDATA%\vexra, when it is not there yet
    if (FILE* file = _wfopen(host_model::WideFromUtf8(listPath).c_str(), L"wb")) {
        const std::string text = FormatRecentFiles(RecentFiles);
        fwrite(text.data(), 1, text.size(), file);
        fclose(file);
    }
}

// ---- Opening and saving ----------------------------------------------------------------------

bool OpenPicture(const std::string& path, std::string* error) {
    picture_io::Picture picture;
    picture_io::Format format = picture_io::Format::Png;
    std::vector<uint32_t> before;
    std::vector<uint8_t> mask, bits;
    try {
        if (!ReadDocument(path, &picture, &format, error))
            return false;
        // Everything the picture needs exists before the open one is let go; the history's
        // painted set last, since it forgets the open picture's levels.
        before = picture.pixels;
        mask.assign(picture.pixels.size(), 0);
        bits.assign((picture.pixels.size() + 7) / 8, 0);
        TheEditor.history.Start(picture.pixels.size());
    } catch (const std::bad_alloc&) {
        *error = "cannot open " + Shown(path) + ": not enough memory for its " +
                 command_line::WithThousands(picture.width) + " x " +
                 command_line::WithThousands(picture.height) + " pixels";
        return false;
    }
    tool_host::ToolHost& host = TheEditor.host;
    host.width = picture.width;
    host.height = picture.height;
    host.pixels.swap(picture.pixels);
    std::vector<uint32_t>().swap(picture.pixels); // the open picture's words go
    host.mask.swap(mask);
    host.painted.bits.swap(bits);
    // The view record names the editor's main window as the owner of the plug-in's boxes.
    host.ownerWindow = TheEditor.main;
    host.WriteViewRecord(host.ownerWindow, &host.dib);
    host.keepRefreshes = false; // the view repaints from onRefresh; nothing reads them later
    host.MakeCurrent();
    // Painted pixels are opaque in a picture with alpha; the plug-in never looks at alpha.
    host.paintColour = TheEditor.paintColour | (picture.hasAlpha ? picture_io::OpaqueAlpha : 0);
    TheEditor.before.swap(before);
    TheEditor.opened = std::move(picture);
    TheEditor.havePicture = true;
    TheEditor.picturePath = path;
    TheEditor.savedAsPng = format == picture_io::Format::Png;
    TheEditor.savedState = TheEditor.history.StateId();
    TheEditor.scrollX = TheEditor.scrollY = 0;
    TheEditor.zoom = Zoom{}; // each picture opens at 1:1
    UpdateTitleAndMenu();
    ShowPictureSize();
    ShowWholePicture();
    UpdateViewScrollBars();
    RememberRecentFile(path);
    return true;
}

void SetPaintColour(uint32_t colour) {
    TheEditor.paintColour = colour & 0x00FFFFFFu;
    TheEditor.host.paintColour =
        TheEditor.paintColour | (TheEditor.opened.hasAlpha ? picture_io::OpaqueAlpha : 0);
}

std::string PaintColourText() {
    char text[8];
    snprintf(text, sizeof text, "%06X", unsigned(TheEditor.paintColour));
    return text;
}

// The deep samples and the grey flag of the pixels the fills on show painted: each took the
// paint of its own fill, which its colour word still holds (the paint may have changed between
// fills), so the painted pixels are given to PaintDeep one paint colour at a time.
static void PaintDeepByColour(picture_io::Picture* picture) {
    std::vector<uint8_t> painted = TheEditor.history.PaintedSinceStart();
    std::vector<uint8_t> ofColour(painted.size());
    const std::vector<uint32_t>& pixels = picture->pixels;
    for (;;) {
        size_t first = 0;
        while (first < pixels.size() && (painted[first >> 3] >> (first & 7) & 1) == 0)
            ++first;
        if (first == pixels.size())
            return;
        const uint32_t paint = pixels[first] & 0x00FFFFFFu;
        std::fill(ofColour.begin(), ofColour.end(), 0);
        for (size_t i = first; i < pixels.size(); ++i) {
            const uint8_t bit = uint8_t(1u << (i & 7));
            if ((painted[i >> 3] & bit) != 0 && (pixels[i] & 0x00FFFFFFu) == paint) {
                ofColour[i >> 3] |= bit;
                painted[i >> 3] &= uint8_t(~bit);
            }
        }
        picture_io::PaintDeep(picture, ofColour, paint);
    }
}

// A write that failed for a full disk: the C runtime maps ERROR_DISK_FULL to ENOSPC, but has
// no errno for ERROR_HANDLE_DISK_FULL (which a full share or removable drive may give) and says
// "Invalid argument" for it. The system's own words for the code it kept replace the reason.
static std::string WithDiskFullWords(const std::string& message) {
    const unsigned long code = _doserrno;
    if (code != ERROR_DISK_FULL && code != ERROR_HANDLE_DISK_FULL)
        return message;
    const size_t reason = message.rfind(": ");
    return (reason == std::string::npos ? message : message.substr(0, reason)) + ": " +
           SystemMessage(DWORD(code));
}

bool SavePicture(const std::string& path, std::string* error) {
    std::string extension = ExtensionOf(path);
    if (!extension.empty() && extension != ".png") {
        *error = "cannot save " + Shown(path) + ": this editor writes PNG pictures only; " +
                 "name the file with .png";
        return false;
    }
    try {
        picture_io::Picture picture = TheEditor.opened;
        picture.pixels = TheEditor.host.pixels;
        PaintDeepByColour(&picture);
        _doserrno = 0;
        if (!files::SavePng(path, picture, error)) {
            *error = AsTyped(WithDiskFullWords(*error), path);
            return false;
        }
    } catch (const std::bad_alloc&) {
        *error = "cannot save " + Shown(path) +
                 ": not enough memory to encode the picture; the picture is still open";
        return false;
    }
    TheEditor.picturePath = path;
    TheEditor.savedAsPng = true;
    TheEditor.savedState = TheEditor.history.StateId();
    UpdateTitleAndMenu();
    RememberRecentFile(path);
    return true;
}

bool OpenAskingFirst(const std::string& path) {
    if (TheEditor.filling || !MayDiscardPicture())
        return false;
    std::string error;
    if (!OpenPicture(path, &error)) {
        SetStatusText(error);
        ShowMessage(error, MB_ICONERROR);
        return false;
    }
    SetStatusText("opened " + Shown(path));
    return true;
}

std::string SaveInPlaceTarget() {
    return TheEditor.havePicture && TheEditor.savedAsPng ? TheEditor.picturePath : "";
}

bool HasUnsavedChanges() {
    return TheEditor.havePicture && TheEditor.history.StateId() != TheEditor.savedState;
}

// Gives the Yes and No buttons of the question their real names, as the box appears.
static LRESULT CALLBACK NameSaveButtons(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        SetDlgItemTextW(box, IDYES, L"&Save");
        SetDlgItemTextW(box, IDNO, L"Do&n't Save");
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool MayDiscardPicture() {
    if (!HasUnsavedChanges())
        return true;
    std::wstring text =
        host_model::WideFromUtf8("Save the changes to " + FileNameOf(TheEditor.picturePath) + "?");
    HHOOK hook = SetWindowsHookExW(WH_CBT, NameSaveButtons, nullptr, GetCurrentThreadId());
    int answer = MessageBoxW(TheEditor.main, text.c_str(), L"vexra",
                             MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON1);
    if (hook != nullptr)
        UnhookWindowsHookEx(hook);
    if (answer == IDNO)
        return true;
    if (answer != IDYES)
        return false;
    std::string path = AskForFile(true);
    if (path.empty())
        return false;
    std::string error;
    if (!SavePicture(path, &error)) {
        SetStatusText(error);
        ShowMessage(error, MB_ICONERROR);
        return false;
    }
    SetStatusText("saved " + Shown(path));
    return true;
}

static void AfterUndoOrRedo(const char* done) {
    ShowWholePicture();
    UpdateTitleAndMenu();
    const UndoHistory& history = TheEditor.history;
    SetStatusText(std::string(done) + " one fill; " + std::to_string(history.UndoLevels()) +
                  " to undo, " + std::to_string(history.RedoLevels()) + " to redo");
}

void UndoFill() {
    if (TheEditor.filling)
        return;
    try {
        if (TheEditor.history.Undo(TheEditor.host.pixels.data(), TheEditor.before.data()))
            AfterUndoOrRedo("undone:");
    } catch (const std::bad_alloc&) {
        SetStatusText("not enough memory to undo; the picture is unchanged");
    }
}

void RedoFill() {
    if (TheEditor.filling)
        return;
    try {
        if (TheEditor.history.Redo(TheEditor.host.pixels.data(), TheEditor.before.data()))
            AfterUndoOrRedo("redone:");
    } catch (const std::bad_alloc&) {
        SetStatusText("not enough memory to redo; the picture is unchanged");
    }
}

void UpdateTitleAndMenu() {
    std::string title = "vexra";
    if (TheEditor.havePicture)
        title = (HasUnsavedChanges() ? "*" : "") + FileNameOf(TheEditor.picturePath) + " - vexra";
    if (TheEditor.main == nullptr)
        return;
    SetWindowTextUtf8(TheEditor.main, title);
    HMENU menu = GetMenu(TheEditor.main);
    auto enable = [menu](UINT command, bool on) {
        EnableMenuItem(menu, command, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
    };
    const bool idle = !TheEditor.filling;
    enable(CommandSave, TheEditor.havePicture && idle);
    enable(CommandSaveAs, TheEditor.havePicture && idle);
    enable(CommandUndo, TheEditor.history.CanUndo() && idle);
    enable(CommandRedo, TheEditor.history.CanRedo() && idle);
    enable(CommandSkipped, !TheEditor.skippedPlugins.empty());
    DrawMenuBar(TheEditor.main);
}

std::string AskForFile(bool save) {
    std::wstring path(32768, L'\0');
    if (save && TheEditor.havePicture) {
        // The picture's own name, as a PNG.
        std::string name = FileNameOf(TheEditor.picturePath);
        size_t dot = name.find_last_of('.');
        std::wstring suggested = host_model::WideFromUtf8(name.substr(0, dot) + ".png");
        std::copy(suggested.begin(), suggested.end(), path.begin());
    }
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = TheEditor.main;
    dialog.lpstrFile = &path[0];
    dialog.nMaxFile = DWORD(path.size());
    BOOL chosen;
    if (save) {
        dialog.lpstrFilter = L"PNG picture (*.png)\0*.png\0";
        dialog.lpstrDefExt = L"png";
        dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
        chosen = GetSaveFileNameW(&dialog);
    } else {
        dialog.lpstrFilter = L"Pictures (*.png;*.jpg;*.jpeg;*.bmp)\0*.png;*.jpg;*.jpeg;*.bmp\0"
                             L"All files\0*.*\0";
        // The editor has no read-only mode: the box would change nothing.
        dialog.Flags = OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
        chosen = GetOpenFileNameW(&dialog);
    }
    return chosen ? host_model::Utf8FromWide(path.c_str()) : "";
}

} // namespace editor
