// Natively the plug-in's three window-system calls resolve to these definitions in the
// executable that loads it, which hand them to the linked host's platform answers.
#include "../host_api/platform_ui.h"
#include "host_picture.h"

#define VX_PLATFORM_EXPORT __attribute__((visibility("default")))

extern "C" {

VX_PLATFORM_EXPORT HCURSOR LoadCursorA(HINSTANCE module, LPCSTR name) {
    return HostLoadCursor(module, name);
}

VX_PLATFORM_EXPORT HCURSOR SetCursor(HCURSOR cursor) {
    return HostSetCursor(cursor);
}

VX_PLATFORM_EXPORT int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return HostMessageBox(owner, text, caption, type);
}
}
