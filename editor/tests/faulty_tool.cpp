// Plug-ins that fault, for the editor's tests. Built three times:
//   FAULT_IN_LOAD:   the load entry writes through a null pointer at process attach;
//   FAULT_IN_QUERY:  VXcGetDrawInterface does;
//   otherwise:       a drawing tool whose VXcDrawIt paints the seed and the pixel to its right
//                    through the host's services, asks for their refresh, then faults. Like a
//                    real tool it keeps a static flag while a fill runs and refuses to start
//                    another while it is set: a fault leaves it set, so only a fresh load of
//                    the DLL paints again.
//   OVERFLOW_STACK:  the same tool, whose fill overflows the stack instead of faulting;
//   RAISE_EXCEPTION: the same tool, whose fill raises a software exception: the one an
//                    uncaught C++ throw raises in a plug-in built with another compiler.
#include <windows.h>

#include <stdint.h>

#define EXPORT extern "C" __declspec(dllexport)

// A write the processor refuses, which the compiler may not remove.
[[maybe_unused]] static void Fault() {
    *static_cast<volatile int*>(nullptr) = 1;
}

// Recursion without end (the depth never falls below 0, which the compiler cannot know), each
// level holding a page of stack the compiler may not remove.
static int Overflow(volatile int depth) {
    volatile char page[4096];
    page[0] = char(depth);
    if (depth < 0)
        return 0;
    return Overflow(depth + 1) + page[0];
}

// How the fill ends.
static void FailTheFill() {
#if defined(OVERFLOW_STACK)
    Overflow(0);
#elif defined(RAISE_EXCEPTION)
    RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 0, nullptr);
#else
    Fault();
#endif
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
#ifdef FAULT_IN_LOAD
    if (reason == DLL_PROCESS_ATTACH)
        Fault();
#else
    (void)reason;
#endif
    return TRUE;
}

EXPORT int32_t __stdcall VXcGetDrawInterface(void) {
#ifdef FAULT_IN_QUERY
    Fault();
#endif
    return 2;
}
EXPORT int32_t __stdcall VXcGetDrawInfo(void) {
    return 1;
}
EXPORT int32_t __stdcall VXcSetPoint(int32_t, int32_t, int32_t, int32_t) {
    return 4;
}
EXPORT int32_t __stdcall VXcDrawGuideLine(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    return 1;
}
EXPORT int32_t __stdcall VXcCancelOne(int32_t, int32_t, int32_t) {
    return 4;
}

typedef void(__cdecl* PointService)(void*, int32_t, int32_t, int32_t);
typedef void(__cdecl* RefreshService)(void*, int32_t, int32_t, int32_t, int32_t);

static volatile bool Busy = false;

EXPORT int32_t __stdcall VXcDrawIt(void* view, int32_t x, int32_t y, int32_t) {
    if (Busy)
        return 4;
    Busy = true;
    // The host's services, found in the host executable by name.
    HMODULE host = GetModuleHandleW(nullptr);
    PointService startPset = reinterpret_cast<PointService>(
        reinterpret_cast<void*>(GetProcAddress(host, "_VXsStartPset")));
    PointService pset =
        reinterpret_cast<PointService>(reinterpret_cast<void*>(GetProcAddress(host, "_VXsPSet")));
    RefreshService refresh = reinterpret_cast<RefreshService>(
        reinterpret_cast<void*>(GetProcAddress(host, "_VXsUpdateImageWindow")));
    if (startPset != nullptr && pset != nullptr && refresh != nullptr) {
        for (int32_t dx = 0; dx < 2; ++dx) {
            startPset(view, x + dx, y, 0);
            pset(view, x + dx, y, 0);
        }
        refresh(view, x, y, x + 1, y);
    }
    FailTheFill();
    Busy = false;
    return 4;
}
