// The tools: every *.DLL in plugins\ is loaded as the editor loads its plug-ins, and those that
// say they are drawing tools get a toolbar button with their bitmap and a tooltip with their
// name. Anything else is skipped with a line for the status bar; nothing here may bring the
// editor down.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "editor.h"

enum { ToolNameString = 100, ToolButtonBitmap = 102 };

static std::string ToolNameOf(HMODULE module) {
    char name[256] = {};
    int length = LoadStringA(module, ToolNameString, name, sizeof name);
    return std::string(name, length > 0 ? length : 0);
}

void LoadTools(const std::string& folder) {
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*.DLL").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                files.push_back(found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    std::sort(files.begin(), files.end()); // the same toolbar order on every file system

    // A DLL that cannot be loaded must not stop the editor with a system error box.
    UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    for (const std::string& file : files) {
        EditorTool tool;
        tool.fileName = file;
        std::string error;
        if (!LoadPlugin(folder + "\\" + file, &tool.plugin, &error)) {
            TheEditor.skippedPlugins.push_back("skipped " + file + ": " + error);
            continue;
        }
        HMODULE module = static_cast<HMODULE>(tool.plugin.library);
        int32_t interfaceCode = tool.plugin.getDrawInterface();
        if (interfaceCode != ToolInterfaceCode) {
            TheEditor.skippedPlugins.push_back("skipped " + file + ": interface " +
                                               std::to_string(interfaceCode) +
                                               ", not a drawing tool");
            UnloadPlugin(&tool.plugin);
            continue;
        }
        tool.name = ToolNameOf(module);
        if (tool.name.empty())
            tool.name = file;
        tool.bitmap = LoadBitmapA(module, MAKEINTRESOURCEA(ToolButtonBitmap));
        TheEditor.tools.push_back(tool);
    }
    SetErrorMode(previousMode);
}

int ToolButtonsWidth() {
    return int(TheEditor.tools.size()) * (ToolButtonSize + 2);
}

void CreateToolButtons(HWND parent, int left, int top) {
    TheEditor.tooltip =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0,
                        0, parent, nullptr, TheEditor.instance, nullptr);
    for (size_t i = 0; i < TheEditor.tools.size(); ++i) {
        EditorTool& tool = TheEditor.tools[i];
        // A push-like radio button: it stays down while its tool is the selected one.
        DWORD style = WS_CHILD | WS_VISIBLE | BS_PUSHLIKE | BS_AUTORADIOBUTTON;
        style |= tool.bitmap != nullptr ? BS_BITMAP : 0;
        if (i == 0)
            style |= WS_GROUP;
        tool.button = CreateWindowExA(
            0, "BUTTON", tool.name.c_str(), style, left + int(i) * (ToolButtonSize + 2), top,
            ToolButtonSize, ToolButtonSize, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(FirstToolCommand + int(i))),
            TheEditor.instance, nullptr);
        if (tool.bitmap != nullptr)
            SendMessageA(tool.button, BM_SETIMAGE, IMAGE_BITMAP,
                         reinterpret_cast<LPARAM>(tool.bitmap));
        if (TheEditor.tooltip != nullptr) {
            TOOLINFOA info = {};
            info.cbSize = sizeof info;
            info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            info.hwnd = parent;
            info.uId = reinterpret_cast<UINT_PTR>(tool.button);
            info.lpszText = const_cast<char*>(tool.name.c_str());
            SendMessageA(TheEditor.tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
        }
    }
}

int FindTool(const std::string& name) {
    for (size_t i = 0; i < TheEditor.tools.size(); ++i)
        if (TheEditor.tools[i].name == name)
            return int(i);
    return -1;
}

// Called when a tool's button is pressed (BN_CLICKED).
void SelectTool(int index) {
    if (index < 0 || index >= int(TheEditor.tools.size()))
        return;
    TheEditor.selectedTool = index;
    SetStatusText("tool: " + TheEditor.tools[index].name + " (" + TheEditor.tools[index].fileName +
                  "); click on the picture to apply it");
}

std::string TooltipTextOf(int index) {
    if (TheEditor.tooltip == nullptr || index < 0 || index >= int(TheEditor.tools.size()))
        return "";
    char text[256] = {};
    TOOLINFOA info = {};
    info.cbSize = sizeof info;
    info.hwnd = TheEditor.main;
    info.uId = reinterpret_cast<UINT_PTR>(TheEditor.tools[index].button);
    info.lpszText = text;
    SendMessageA(TheEditor.tooltip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
    return text;
}
