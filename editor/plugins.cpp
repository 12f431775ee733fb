// The tools: every *.DLL in plugins\ is loaded as the editor loads its plug-ins, and those that
// say they are drawing tools get a toolbar button with their bitmap and a tooltip with their
// name. Anything else is skipped with the system's own reason; a DLL that faults while it is
// loaded or asked its codes is skipped too (fault_guard.h). Nothing here may bring the editor
// down. Names go through the wide-character API, so that the editor's folder may be named in
// any script.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "editor.h"
#include "fault_guard.h"
#include "wide_text.h"

namespace editor {

enum { ToolNameString = 100, ToolButtonBitmap = 102 };

static std::string ToolNameOf(HMODULE module) {
    wchar_t name[256] = {};
    int length = LoadStringW(module, ToolNameString, name, 256);
    return host_model::Utf8FromWide(name, length > 0 ? length : 0);
}

template <typename Fn> static bool Bind(HMODULE module, const char* name, Fn* entry) {
    *entry = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return *entry != nullptr;
}

namespace {
struct LoadCall {
    std::wstring path;
    HMODULE module = nullptr;
    DWORD error = 0;
};
struct CodesCall {
    const host_model::LoadedPlugin* plugin;
    int32_t interfaceCode = 0, infoCode = 0;
};
} // namespace

// Loads the DLL and binds its six entry points; false with the reason.
static bool LoadToolLibrary(const std::string& path, host_model::LoadedPlugin* plugin,
                            std::string* error) {
    *plugin = host_model::LoadedPlugin();
    LoadCall load;
    load.path = host_model::WideFromUtf8(path);
    PluginFault fault;
    bool returned = CallGuarded(
        [](void* context) {
            LoadCall* call = static_cast<LoadCall*>(context);
            call->module = LoadLibraryW(call->path.c_str());
            call->error = call->module == nullptr ? GetLastError() : 0;
        },
        &load, nullptr, &fault);
    if (!returned) {
        *error = "it failed while it was being loaded, with " + DescribeFault(fault);
        return false;
    }
    if (load.module == nullptr) {
        *error = "cannot load it: " + SystemMessage(load.error);
        return false;
    }
    host_model::LoadedPlugin loaded;
    loaded.library = load.module;
    const char* missing = nullptr;
    if (!Bind(load.module, "VXcGetDrawInterface", &loaded.getDrawInterface))
        missing = "VXcGetDrawInterface";
    else if (!Bind(load.module, "VXcGetDrawInfo", &loaded.getDrawInfo))
        missing = "VXcGetDrawInfo";
    else if (!Bind(load.module, "VXcSetPoint", &loaded.setPoint))
        missing = "VXcSetPoint";
    else if (!Bind(load.module, "VXcDrawGuideLine", &loaded.drawGuideLine))
        missing = "VXcDrawGuideLine";
    else if (!Bind(load.module, "VXcDrawIt", &loaded.drawIt))
        missing = "VXcDrawIt";
    else if (!Bind(load.module, "VXcCancelOne", &loaded.cancelOne))
        missing = "VXcCancelOne";
    if (missing != nullptr) {
        *error = std::string("plug-in lacks the export ") + missing;
        FreeLibrary(load.module);
        return false;
    }
    *plugin = loaded;
    return true;
}

// The DLLs in `folder`, by name, sorted: the same toolbar order on every file system.
static std::vector<std::string> LibrariesIn(const std::string& folder) {
    std::vector<std::string> files;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(host_model::WideFromUtf8(folder + "\\*.DLL").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                files.push_back(host_model::Utf8FromWide(found.cFileName));
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Loads the DLL `file` of `folder` as a tool: it must load, answer its codes without a fault,
// and say it is a drawing tool. False with the reason, the DLL unloaded again.
static bool LoadTool(const std::string& folder, const std::string& file, EditorTool* tool,
                     std::string* reason) {
    tool->fileName = file;
    tool->path = folder + "\\" + file;
    if (!LoadToolLibrary(tool->path, &tool->plugin, reason))
        return false;
    HMODULE module = static_cast<HMODULE>(tool->plugin.library);
    CodesCall codes;
    codes.plugin = &tool->plugin;
    PluginFault fault;
    if (!CallGuarded(
            [](void* context) {
                CodesCall* call = static_cast<CodesCall*>(context);
                call->interfaceCode = call->plugin->getDrawInterface();
                if (call->interfaceCode == ToolInterfaceCode)
                    call->infoCode = call->plugin->getDrawInfo();
            },
            &codes, module, &fault)) {
        *reason = "it failed when asked its codes, with " + DescribeFault(fault);
        host_model::UnloadPlugin(&tool->plugin);
        return false;
    }
    if (codes.interfaceCode != ToolInterfaceCode) {
        *reason = "interface " + std::to_string(codes.interfaceCode) + ", not a drawing tool";
        host_model::UnloadPlugin(&tool->plugin);
        return false;
    }
    tool->name = ToolNameOf(module);
    if (tool->name.empty())
        tool->name = file;
    tool->bitmap = LoadBitmapW(module, MAKEINTRESOURCEW(ToolButtonBitmap));
    return true;
}

void LoadTools(const std::string& folder) {
    std::vector<std::string> files = LibrariesIn(folder);
    // A DLL that cannot be loaded must not stop the editor with a system error box.
    UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    for (const std::string& file : files) {
        EditorTool tool;
        std::string reason;
        if (LoadTool(folder, file, &tool, &reason))
            TheEditor.tools.push_back(tool);
        else
            TheEditor.skippedPlugins.push_back("skipped " + file + ": " + reason);
    }
    SetErrorMode(previousMode);
}

bool ReloadTool(int index, std::string* error) {
    EditorTool& tool = TheEditor.tools[index];
    host_model::UnloadPlugin(&tool.plugin);
    if (LoadToolLibrary(tool.path, &tool.plugin, error))
        return true;
    if (tool.button != nullptr)
        EnableWindow(tool.button, FALSE);
    return false;
}

std::string SkippedPluginsText() {
    std::string text;
    for (const std::string& line : TheEditor.skippedPlugins)
        text += (text.empty() ? "" : "\n\n") + line;
    return text;
}

int ToolButtonsWidth() {
    return int(TheEditor.tools.size()) * (ToolButtonSize + 2);
}

void CreateToolButtons(HWND parent, int left, int top) {
    TheEditor.tooltip =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0,
                        0, parent, nullptr, TheEditor.instance, nullptr);
    for (size_t i = 0; i < TheEditor.tools.size(); ++i) {
        EditorTool& tool = TheEditor.tools[i];
        // A push-like radio button: it stays down while its tool is the selected one.
        DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHLIKE | BS_AUTORADIOBUTTON;
        style |= tool.bitmap != nullptr ? BS_BITMAP : 0;
        if (i == 0)
            style |= WS_GROUP;
        std::wstring name = host_model::WideFromUtf8(tool.name);
        tool.button = CreateWindowExW(
            0, L"BUTTON", name.c_str(), style, left + int(i) * (ToolButtonSize + 2), top,
            ToolButtonSize, ToolButtonSize, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(FirstToolCommand + int(i))),
            TheEditor.instance, nullptr);
        if (tool.bitmap != nullptr)
            SendMessageW(tool.button, BM_SETIMAGE, IMAGE_BITMAP,
                         reinterpret_cast<LPARAM>(tool.bitmap));
        if (TheEditor.tooltip != nullptr) {
            TOOLINFOW info = {};
            info.cbSize = sizeof info;
            info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            info.hwnd = parent;
            info.uId = reinterpret_cast<UINT_PTR>(tool.button);
            info.lpszText = &name[0];
            SendMessageW(TheEditor.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
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
    wchar_t text[256] = {};
    TOOLINFOW info = {};
    info.cbSize = sizeof info;
    info.hwnd = TheEditor.main;
    info.uId = reinterpret_cast<UINT_PTR>(TheEditor.tools[index].button);
    info.lpszText = text;
    SendMessageW(TheEditor.tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&info));
    return host_model::Utf8FromWide(text);
}

} // namespace editor
