#include "recorded_user32.h"

#include "host_picture.h"
#include "import_patch.h"

namespace window_system {

// Same signatures and convention (WINAPI, callee cleans) as the user32 functions they stand in
// for, so the DLL's calls land here unchanged.
static HCURSOR WINAPI RecordedLoadCursorA(HINSTANCE module, LPCSTR name) {
    return static_cast<HCURSOR>(host_model::HostLoadCursor(module, name));
}

static HCURSOR WINAPI RecordedSetCursor(HCURSOR cursor) {
    return static_cast<HCURSOR>(host_model::HostSetCursor(cursor));
}

static int WINAPI RecordedMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return host_model::HostMessageBox(owner, text, caption, type);
}

int RecordUser32CallsOf(HMODULE plugin) {
    int redirected = 0;
    redirected += ReplaceImport(plugin, "USER32.dll", "LoadCursorA",
                                reinterpret_cast<void*>(&RecordedLoadCursorA));
    redirected += ReplaceImport(plugin, "USER32.dll", "SetCursor",
                                reinterpret_cast<void*>(&RecordedSetCursor));
    redirected += ReplaceImport(plugin, "USER32.dll", "MessageBoxA",
                                reinterpret_cast<void*>(&RecordedMessageBoxA));
    return redirected;
}

} // namespace window_system
