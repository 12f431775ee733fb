// The six entry points the host calls. Five answer fixed codes of the host's tool protocol and
// do nothing else; VXcDrawIt runs the fill.
#include "../host_api/plugin_exports.h"
#include "../region_growing/region_growing.h"

#if defined(_WIN32)
#define VX_EXPORT
#else
#define VX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

VX_EXPORT int32_t VX_PLUGIN_CALL VXcGetDrawInterface(void) {
    return ToolInterfaceCode;
}

VX_EXPORT int32_t VX_PLUGIN_CALL VXcGetDrawInfo(void) {
    return ToolInfoCode;
}

VX_EXPORT int32_t VX_PLUGIN_CALL VXcSetPoint(int32_t, int32_t, int32_t, int32_t) {
    return ToolDoneCode;
}

VX_EXPORT int32_t VX_PLUGIN_CALL VXcDrawGuideLine(int32_t, int32_t, int32_t, int32_t, int32_t,
                                                  int32_t) {
    return ToolNoGuideLineCode;
}

VX_EXPORT int32_t VX_PLUGIN_CALL VXcDrawIt(ImageView* view, int32_t x, int32_t y, int32_t) {
    RegionGrowingFill(view, x, y);
    return ToolDoneCode;
}

VX_EXPORT int32_t VX_PLUGIN_CALL VXcCancelOne(int32_t, int32_t, int32_t) {
    return ToolDoneCode;
}
}
