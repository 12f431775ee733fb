// platform_ui.h - the three window-system calls the plug-in makes: the wait cursor and the
// overflow message box.
//
// On Windows these are the system's own, from user32. Natively there is no window system, so
// this header declares the same three calls and the process that loads the plug-in provides
// them; a test host records them.
#ifndef HOST_API_PLATFORM_UI_H
#define HOST_API_PLATFORM_UI_H

#ifdef _WIN32
#include <windows.h>
#else

#include <stdint.h>

typedef void* HCURSOR;
typedef void* HINSTANCE;
typedef void* HWND;
typedef const char* LPCSTR;
typedef unsigned int UINT;

#define IDC_WAIT ((LPCSTR)(uintptr_t)32514)
#define MB_OK 0x00000000u

#ifdef __cplusplus
extern "C" {
#endif

HCURSOR LoadCursorA(HINSTANCE module, LPCSTR name);
HCURSOR SetCursor(HCURSOR cursor); // returns the cursor it replaced
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

#ifdef __cplusplus
}
#endif

#endif
#endif
