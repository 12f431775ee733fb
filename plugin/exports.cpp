// The six entry points the host calls. Five answer fixed codes of the host's tool protocol and
// do nothing else; VXcDrawIt runs the fill. None keeps state of its own.
#include "../host_api/plugin_exports.h"
#include "../region_growing/region_growing.h"

#if defined(_WIN32)
#define VX_EXPORT
#else
#define VX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// Asked when the host loads the plug-in, to learn the tool's interface: it expects 2, and no
// call of its services.
VX_EXPORT int32_t VX_PLUGIN_CALL VXcGetDrawInterface(void) {
    return ToolInterfaceCode;
}

// Asked at loading too, for the tool's info code: the host expects 1, and no other effect.
VX_EXPORT int32_t VX_PLUGIN_CALL VXcGetDrawInfo(void) {
    return ToolInfoCode;
}

// A point handed to the tool while the user works with it. The host expects 4 (done) whatever
// the four words are; this tool needs no points beyond VXcDrawIt's, so they are ignored, and
// nothing changes that a later fill could see.
VX_EXPORT int32_t VX_PLUGIN_CALL VXcSetPoint(int32_t, int32_t, int32_t, int32_t) {
    return ToolDoneCode;
}

// The host's offer to let the tool draw a guide line. 1 tells it that this tool draws none;
// the six words are ignored and nothing is drawn.
VX_EXPORT int32_t VX_PLUGIN_CALL VXcDrawGuideLine(int32_t, int32_t, int32_t, int32_t, int32_t,
                                                  int32_t) {
    return ToolNoGuideLineCode;
}

// The click at (x, y) on the view: the host expects the whole operation done through its
// services before the call returns, and 4. The fill runs to its end, or to "Buffer over",
// inside this call, on the caller's thread; the last word is ignored.
VX_EXPORT int32_t VX_PLUGIN_CALL VXcDrawIt(ImageView* view, int32_t x, int32_t y, int32_t) {
    RegionGrowingFill(view, x, y);
    return ToolDoneCode;
}

// The host's request to cancel the tool's last step. The host expects 4 whatever the words
// are. A fill is over by the time VXcDrawIt returns and leaves nothing pending between calls,
// so there is nothing to undo here, and the call must not touch the fill's state.
VX_EXPORT int32_t VX_PLUGIN_CALL VXcCancelOne(int32_t, int32_t, int32_t) {
    return ToolDoneCode;
}
}
