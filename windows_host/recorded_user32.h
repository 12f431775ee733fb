// recorded_user32.h - keeps the plug-in's window-system calls inside the simulated host.
//
// The DLL imports LoadCursorA, SetCursor and MessageBoxA from USER32.dll. In the test host
// those imports are pointed at recorders, so a fill's cursor changes and its overflow message
// box are logged by the simulated host like its services, and no box waits for a click.
#ifndef WINDOWS_HOST_RECORDED_USER32_H
#define WINDOWS_HOST_RECORDED_USER32_H

#include <windows.h>

enum { RecordedUser32Calls = 3 };

// Redirects the three imports of `plugin`; returns how many were found and redirected.
int RecordUser32CallsOf(HMODULE plugin);

#endif
