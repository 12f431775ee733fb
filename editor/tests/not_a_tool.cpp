// Libraries in plugins\ that must not become tools. Built twice:
//   INTERFACE_CODE 3: all six entry points, but not a drawing tool's interface (the tool
//                     protocol's drawing tools answer 2);
//   ONLY_INTERFACE:   the interface entry point alone, lacking the other five.
#include <stdint.h>

#define EXPORT extern "C" __declspec(dllexport)

EXPORT int32_t __stdcall VXcGetDrawInterface(void) {
#ifdef ONLY_INTERFACE
    return 2;
#else
    return INTERFACE_CODE;
#endif
}

#ifndef ONLY_INTERFACE
EXPORT int32_t __stdcall VXcGetDrawInfo(void) {
    return 1;
}
EXPORT int32_t __stdcall VXcSetPoint(int32_t, int32_t, int32_t, int32_t) {
    return 4;
}
EXPORT int32_t __stdcall VXcDrawGuideLine(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    return 1;
}
EXPORT int32_t __stdcall VXcDrawIt(void*, int32_t, int32_t, int32_t) {
    return 4;
}
EXPORT int32_t __stdcall VXcCancelOne(int32_t, int32_t, int32_t) {
    return 4;
}
#endif
