// plugin_exports.h - the six entry points the plug-in exports and the host calls.
//
// Each is exported under its plain name. On the host's 32-bit build they use the
// callee-cleans convention with exactly the argument words shown. Every result is a code of
// the host's tool protocol; the plug-in answers these values whatever the arguments are.
#ifndef HOST_API_PLUGIN_EXPORTS_H
#define HOST_API_PLUGIN_EXPORTS_H

#include <stdint.h>

#include "host_services.h"

#if defined(_WIN32) && !defined(_WIN64)
#define VX_PLUGIN_CALL __stdcall
#else
#define VX_PLUGIN_CALL
#endif

// Result codes of the host's tool protocol.
enum {
    ToolInfoCode = 1,        // VXcGetDrawInfo
    ToolNoGuideLineCode = 1, // VXcDrawGuideLine: the tool draws no guide line
    ToolInterfaceCode = 2,   // VXcGetDrawInterface
    ToolDoneCode = 4         // VXcSetPoint, VXcDrawIt, VXcCancelOne
};

#ifdef __cplusplus
extern "C" {
#endif

int32_t VX_PLUGIN_CALL VXcGetDrawInterface(void);                       // 2
int32_t VX_PLUGIN_CALL VXcGetDrawInfo(void);                            // 1
int32_t VX_PLUGIN_CALL VXcSetPoint(int32_t, int32_t, int32_t, int32_t); // 4
int32_t VX_PLUGIN_CALL VXcDrawGuideLine(int32_t, int32_t, int32_t, int32_t, int32_t,
                                        int32_t);                                 // 1
int32_t VX_PLUGIN_CALL VXcDrawIt(ImageView* view, int32_t x, int32_t y, int32_t); // 4, fills
int32_t VX_PLUGIN_CALL VXcCancelOne(int32_t, int32_t, int32_t);                   // 4

#ifdef __cplusplus
}
#endif

// Pointer types for a host that finds the entry points by name.
typedef int32_t(VX_PLUGIN_CALL* VXcGetDrawInterfaceFn)(void);
typedef int32_t(VX_PLUGIN_CALL* VXcGetDrawInfoFn)(void);
typedef int32_t(VX_PLUGIN_CALL* VXcSetPointFn)(int32_t, int32_t, int32_t, int32_t);
typedef int32_t(VX_PLUGIN_CALL* VXcDrawGuideLineFn)(int32_t, int32_t, int32_t, int32_t, int32_t,
                                                    int32_t);
typedef int32_t(VX_PLUGIN_CALL* VXcDrawItFn)(ImageView*, int32_t, int32_t, int32_t);
typedef int32_t(VX_PLUGIN_CALL* VXcCancelOneFn)(int32_t, int32_t, int32_t);

#endif
