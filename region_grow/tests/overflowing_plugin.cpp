// A stand-in plug-in whose second and later fills end as a queue overflow ends: it paints the
// seed, requests a refresh of it, and shows the "Buffer over" message. So does its first fill
// when the step tolerance text is "overflow" (for a run of one click). A real overflow needs a
// picture far too big for a quick test; this lets the tests check how region_grow reports one.
#include <string.h>

#include "host_services.h"
#include "platform_ui.h"
#include "plugin_exports.h"

#define EXPORT __attribute__((visibility("default")))

static int FillsSoFar = 0;

extern "C" {

EXPORT int32_t VXcGetDrawInterface(void) {
    return ToolInterfaceCode;
}
EXPORT int32_t VXcGetDrawInfo(void) {
    return ToolInfoCode;
}
EXPORT int32_t VXcSetPoint(int32_t, int32_t, int32_t, int32_t) {
    return ToolDoneCode;
}
EXPORT int32_t VXcDrawGuideLine(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    return ToolNoGuideLineCode;
}
EXPORT int32_t VXcCancelOne(int32_t, int32_t, int32_t) {
    return ToolDoneCode;
}

EXPORT int32_t VXcDrawIt(ImageView* view, int32_t x, int32_t y, int32_t) {
    CDIB* image = ImageViewCdib(view);
    PackedColour colour;
    _VXsGetColorOnImage(image->handleWords[0], image->handleWords[1], x, y, &colour);
    _VXsStartPset(view, x, y);
    _VXsPSet(view, x, y, 0);
    _VXsSetDrawFlag(view, x, y, 1);
    _VXsUpdateImageWindow(view, x, y, x, y);
    const char* step = _VXsGetParameter(2, 0);
    if (++FillsSoFar >= 2 || (step != nullptr && strcmp(step, "overflow") == 0))
        MessageBoxA(static_cast<HWND>(ImageViewOwnerWindow(view)), "Buffer over", "Err", MB_OK);
    return ToolDoneCode;
}
}
