// host_services.h - what the host editor offers the plug-in, and what the plug-in may rely on.
//
// The host owns the image and its window. The plug-in reads and paints only through the nine
// services below, which the host exports under exactly these names with the caller-cleans
// convention. On Windows they are imported from the host executable; in the native build they
// are undefined symbols that the executable loading the plug-in provides.
//
// Every argument and result is a 32-bit value on the host's 32-bit build; x and y are signed
// pixel coordinates in the image's own coordinate system.
#ifndef HOST_API_HOST_SERVICES_H
#define HOST_API_HOST_SERVICES_H

#include <stdint.h>
#include <string.h>

#if defined(_WIN32) && !defined(_WIN64)
#define VX_HOST_CALL __cdecl
#else
#define VX_HOST_CALL
#endif

// A colour word: three 8-bit channels in bits 16-23, 8-15 and 0-7. Bits 24-31 carry nothing
// that a colour comparison may look at.
typedef uint32_t PackedColour;

// The one mask bit that matters: set once a pixel has been painted during this operation.
// The other bits of the mask belong to the host.
enum { MaskDrawnBit = 0x40 };

// The host's image object. Opaque, except that its first two 32-bit words are the handles the
// host wants back in every colour read. The host may change them at any time, so they are read
// afresh for each read.
typedef struct CDIB {
    uint32_t handleWords[2];
} CDIB;

// The host's record for an image window. Opaque: the plug-in reads two fields by byte offset
// and hands the record back unchanged to the services. The fields are 32 bits wide on the
// host's 32-bit build; a 64-bit build keeps the offsets and widens the fields to pointer size.
typedef struct ImageView ImageView;

enum {
    ImageViewOwnerWindowOffset = 672, // window that owns the plug-in's message boxes
    ImageViewCdibOffset = 684,        // the CDIB the view shows
    ImageViewMinimumSize = ImageViewCdibOffset + sizeof(void*)
};

static inline void* ImageViewOwnerWindow(const ImageView* view) {
    void* window;
    memcpy(&window, (const char*)view + ImageViewOwnerWindowOffset, sizeof window);
    return window;
}

static inline CDIB* ImageViewCdib(const ImageView* view) {
    CDIB* dib;
    memcpy(&dib, (const char*)view + ImageViewCdibOffset, sizeof dib);
    return dib;
}

#ifdef __cplusplus
extern "C" {
#endif

// Parameter text `index` of `group`, NUL-terminated. The tool's tolerances are group 2,
// indices 0 and 1. A host may return a null pointer for a missing entry.
const char* VX_HOST_CALL _VXsGetParameter(int32_t group, int32_t index);

// Opens an operation on `dib`; the three out-values mean nothing to the plug-in.
void VX_HOST_CALL _VXsGetCDIBinfo(CDIB* dib, int32_t* info0, int32_t* info1, int32_t* info2);

// Called right after _VXsGetCDIBinfo, before any colour read.
void VX_HOST_CALL _VXsStartOnImage(CDIB* dib);

// Reads the colour at (x, y) into *colour. Returns non-zero if read, zero outside the image:
// this failure is how the fill finds the image's edges.
int32_t VX_HOST_CALL _VXsGetColorOnImage(uint32_t handleWord0, uint32_t handleWord1, int32_t x,
                                         int32_t y, PackedColour* colour);

// The pixel's flags; only MaskDrawnBit is tested.
int32_t VX_HOST_CALL _VXsGetMask(ImageView* view, int32_t x, int32_t y);

// Prepares a paint at (x, y); called immediately before _VXsPSet of the same point.
void VX_HOST_CALL _VXsStartPset(ImageView* view, int32_t x, int32_t y);

// Paints (x, y) in the host's paint colour. The last argument is always 0.
void VX_HOST_CALL _VXsPSet(ImageView* view, int32_t x, int32_t y, int32_t zero);

// Flags (x, y) as drawn: from then on _VXsGetMask reports MaskDrawnBit there for the rest of
// the operation. The plug-in keeps no visited set; this flag alone keeps a pixel from being
// accepted twice. The last argument is always 1.
void VX_HOST_CALL _VXsSetDrawFlag(ImageView* view, int32_t x, int32_t y, int32_t one);

// Asks the host to repaint the inclusive rectangle; (-1, -1, -1, -1) is accepted too.
void VX_HOST_CALL _VXsUpdateImageWindow(ImageView* view, int32_t left, int32_t top, int32_t right,
                                        int32_t bottom);

#ifdef __cplusplus
}
#endif

#endif
