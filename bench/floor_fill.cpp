// The protocol floor: BreadthFirstFill with every read, paint and refresh made as the plug-in
// makes it, a call of the host's service. Built as a module of its own and loaded with dlopen,
// exactly like the plug-in: its calls to the _VXs services and the window-system calls are
// undefined symbols bound at load time to the bench executable's exports, so each goes through
// this module's PLT and GOT into the executable, the same kind of call, at the same cost, as
// the plug-in's. Same compiler, flags and visibility as the plug-in. What the plug-in spends
// beyond this module is what its own code adds to the protocol's price.
#include "breadth_first_fill.h"
#include "platform_ui.h"
#include "tolerance_text.h"

namespace {

struct HostCalls {
    ImageView* view;
    CDIB* dib;
    HCURSOR previousCursor;

    bool Read(int32_t x, int32_t y, PackedColour* colour) {
        return _VXsGetColorOnImage(dib->handleWords[0], dib->handleWords[1], x, y, colour) != 0;
    }
    bool Drawn(int32_t x, int32_t y) { return (_VXsGetMask(view, x, y) & MaskDrawnBit) != 0; }
    void Paint(int32_t x, int32_t y) {
        _VXsStartPset(view, x, y);
        _VXsPSet(view, x, y, 0);
    }
    void Flag(int32_t x, int32_t y) { _VXsSetDrawFlag(view, x, y, 1); }
    void Refresh(int32_t left, int32_t top, int32_t right, int32_t bottom) {
        _VXsUpdateImageWindow(view, left, top, right, bottom);
    }
    void Begin() { previousCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }
    void End() { SetCursor(previousCursor); }
    void Overflow() {
        MessageBoxA(static_cast<HWND>(ImageViewOwnerWindow(view)), "Buffer over", "Err", MB_OK);
    }
};

} // namespace

// Entered like VXcDrawIt, and makes the same host calls.
extern "C" __attribute__((visibility("default"))) int32_t FloorFill(ImageView* view, int32_t x,
                                                                    int32_t y, int32_t) {
    const int32_t stepTolerance = ParseToleranceText(_VXsGetParameter(2, 0));
    const int32_t seedTolerance = ParseToleranceText(_VXsGetParameter(2, 1));
    HostCalls host = {view, ImageViewCdib(view), nullptr};
    int32_t unusedInfo[3];
    _VXsGetCDIBinfo(host.dib, &unusedInfo[0], &unusedInfo[1], &unusedInfo[2]);
    _VXsStartOnImage(host.dib);
    bench::BreadthFirstFill(host, x, y, stepTolerance, seedTolerance);
    return 4;
}
