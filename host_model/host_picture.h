// host_picture.h - what every host in this project keeps for the plug-in, and the answers its
// services give from it: the picture, its pixel flags, the CDIB and the view record it hands
// out, the parameter store.
//
// Two hosts are built on it. The simulated host (simulated_host.h) logs every call for the
// tests; the tool host (tool_host/tool_host.h) keeps only what region_grow, the editor and the
// benchmarks read back. Both define the nine services under the names PAINT.DLL imports, so an
// executable links exactly one of them.
#ifndef HOST_MODEL_HOST_PICTURE_H
#define HOST_MODEL_HOST_PICTURE_H

#include <stdint.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host_services.h"
#include "image_view_record.h"

namespace host_model {

// How a host's executable exports its services to the plug-in it loads.
#if defined(_WIN32)
#define VX_HOST_EXPORT __declspec(dllexport)
#else
#define VX_HOST_EXPORT __attribute__((visibility("default")))
#endif

// The calls a host answers: the nine services, then the platform's three.
enum class HostCallKind : uint8_t {
    GetParameter,      // args: group, index
    GetCDIBinfo,       // args: none
    StartOnImage,      // args: none
    GetColorOnImage,   // args: handle word 0, handle word 1, x, y, result
    GetMask,           // args: x, y, result
    StartPset,         // args: x, y
    PSet,              // args: x, y, last argument
    SetDrawFlag,       // args: x, y, last argument
    UpdateImageWindow, // args: left, top, right, bottom
    LoadCursor,        // args: resource id (32514 for the wait cursor), 1 if a module was given
    SetCursor,         // args: cursor installed, cursor returned (see the Cursor constants)
    MessageBox,        // args: 1 if owned by the view's window, type; text and caption below
    Count
};

// Cursor handles the hosts' platform stand-ins hand out.
enum : int64_t { ArrowCursor = 0xA770, WaitCursor = 0x3A17 };

// A refresh request's rectangle, as requested: inclusive, (-1, -1, -1, -1) included.
struct RefreshRect {
    int32_t left, top, right, bottom;
};

struct ShownMessage {
    std::string text, caption;
};

struct HostPicture {
    // The image, row-major, and each pixel's flags as _VXsGetMask reports them.
    int32_t width = 0, height = 0;
    std::vector<PackedColour> pixels;
    std::vector<uint8_t> mask;
    PackedColour paintColour = 0x00FF00FFu;
    // false: a broken host whose mask ignores _VXsSetDrawFlag.
    bool honourDrawFlag = true;

    // Parameter store: (group, index) -> text. A missing entry yields a null pointer.
    std::map<std::pair<int32_t, int32_t>, std::string> parameters;

    // The CDIB the view shows (its handle words may be changed at any time) and the view
    // record, holding the owner window and the CDIB pointer at their offsets.
    CDIB dib = {{0x0D1B0001u, 0x0D1B0002u}};
    alignas(8) unsigned char viewRecord[ImageViewMinimumSize + 16] = {};
    void* ownerWindow = reinterpret_cast<void*>(static_cast<uintptr_t>(0x00B0A7D0u));

    // Takes over the picture, clears the mask and points the view record at this host's CDIB
    // and owner window.
    void LoadPicture(int32_t imageWidth, int32_t imageHeight, std::vector<PackedColour>&& picture);
    void SetTolerances(const std::string& step, const std::string& seed);
    ImageView* View() { return reinterpret_cast<ImageView*>(viewRecord); }
    // Rewrites the view record's two fields (for example to a null CDIB pointer).
    void WriteViewRecord(void* window, CDIB* image) {
        WriteImageViewFields(viewRecord, window, image);
    }

    bool Contains(int32_t x, int32_t y) const {
        return x >= 0 && y >= 0 && x < width && y < height;
    }
    size_t IndexOf(int32_t x, int32_t y) const { return size_t(y) * size_t(width) + size_t(x); }
    PackedColour& Pixel(int32_t x, int32_t y) { return pixels[IndexOf(x, y)]; }

    // The services' answers. A colour read fails outside the picture and with handle words
    // other than the CDIB's current ones, as with a stale handle.
    const char* Parameter(int32_t group, int32_t index) const {
        auto entry = parameters.find({group, index});
        return entry == parameters.end() ? nullptr : entry->second.c_str();
    }
    bool ReadColour(uint32_t handleWord0, uint32_t handleWord1, int32_t x, int32_t y,
                    PackedColour* colour) const {
        if (!Contains(x, y) || handleWord0 != dib.handleWords[0] ||
            handleWord1 != dib.handleWords[1])
            return false;
        *colour = pixels[IndexOf(x, y)];
        return true;
    }
    int32_t FlagsAt(int32_t x, int32_t y) const { return Contains(x, y) ? mask[IndexOf(x, y)] : 0; }
};

// The platform's three calls as the linked host answers them, never shown: LoadCursor hands out
// WaitCursor, SetCursor returns the cursor it replaces, MessageBox answers OK (1) at once.
// Natively they stand behind LoadCursorA, SetCursor and MessageBoxA (platform_ui_native.cpp); a
// Windows executable routes the plug-in's imports of those to them (windows_host/).
void* HostLoadCursor(void* module, const char* name);
void* HostSetCursor(void* cursor);
int HostMessageBox(void* owner, const char* text, const char* caption, unsigned type);

} // namespace host_model

#endif
