// Natively the plug-in's three window-system calls resolve to these definitions in the
// executable that loads it, and the simulated host records them.
#include "../host_api/platform_ui.h"
#include "simulated_host.h"

#define VX_PLATFORM_EXPORT __attribute__((visibility("default")))

extern "C" {

VX_PLATFORM_EXPORT HCURSOR LoadCursorA(HINSTANCE module, LPCSTR name) {
    return SimulatedLoadCursor(module, name);
}

VX_PLATFORM_EXPORT HCURSOR SetCursor(HCURSOR cursor) {
    return SimulatedSetCursor(cursor);
}

VX_PLATFORM_EXPORT int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return SimulatedMessageBox(owner, text, caption, type);
}
}
