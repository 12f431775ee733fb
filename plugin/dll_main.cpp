// The library's load/unload entry. The plug-in has nothing to set up or tear down (its fill
// state is static and re-initialised by every fill), so it reports success for process and
// thread attach and detach alike. The DLL is linked without the C runtime's start-up code, so
// this function is the image's entry point itself and nothing runs before or after it.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
