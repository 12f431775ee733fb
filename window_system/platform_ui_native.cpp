// Natively the plug-in's three window-system calls resolve to these definitions in the
// executable that loads it, which hand them to the linked host's platform answers.
#include "host_picture.h"
#include "platform_ui.h"

namespace window_system {

#define VX_PLATFORM_EXPORT __attribute__((visibility("default")))

extern "C" {

VX_PLATFORM_EXPORT HCURSOR LoadCursorA(HINSTANCE module, LPCSTR name) {
    return host_model::HostLoadCursor(module, name);
}

VX_PLATFORM_EXPORT HCURSOR SetCursor(HCURSOR cursor) {
    return host_model::HostSetCursor(cursor);
}

VX_PLATFORM_EXPORT int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return host_model::HostMessageBox(owner, text, caption, type);
}
}

} // namespace window_system
