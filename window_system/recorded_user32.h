// recorded_user32.h - keeps the plug-in's window-system calls inside the linked host.
//
// The DLL imports LoadCursorA, SetCursor and MessageBoxA from USER32.dll. In the test host and
// the Windows region_grow those imports are pointed at the linked host's platform answers, so a
// fill's cursor changes and its overflow message box are kept (in the test host, logged by the
// simulated host like its services), and no box waits for a click.
#ifndef WINDOW_SYSTEM_RECORDED_USER32_H
#define WINDOW_SYSTEM_RECORDED_USER32_H

#include <windows.h>

namespace window_system {

enum { RecordedUser32Calls = 3 };

// Redirects the three imports of `plugin`; returns how many were found and redirected.
int RecordUser32CallsOf(HMODULE plugin);

} // namespace window_system

#endif
