// image_files.h - reading the pictures the tool works on and writing its results.
//
// Reading accepts PNG, JPEG and BMP (through stb_image) and converts every pixel to a colour
// word: red in bits 16-23, green in 8-15, blue in 0-7, as the host's pixel word; a picture with
// an alpha channel (grey or colour) carries it in bits 24-31, which the plug-in ignores when it
// compares, and is written back with it. Without one, bits 24-31 stay 0 and the picture is
// written as RGB. Writing produces PNG only.
//
// A picture is refused before it is decoded when its header claims more than a given number of
// pixels (at most MaxPicturePixels), or buffers the decoder cannot allocate: one message, with
// "too large" in it.
//
// Writing never leaves a partial file under the final name: output_files.h.
#ifndef TOOLS_IMAGE_FILES_H
#define TOOLS_IMAGE_FILES_H

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

struct RgbImage {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels; // row-major, 0xAARRGGBB with alpha, else 0x00RRGGBB
    bool hasAlpha = false;
};

// The largest picture the tool takes, in pixels. Its working buffers take about 10 bytes a
// pixel for one click, and stb_image decodes at most 2^30 bytes of 8-bit samples: 2^28 RGBA pixels.
const int64_t MaxPicturePixels = int64_t(1) << 28;

// Alpha bits of an opaque pixel: painted pixels of a picture with alpha get them.
const uint32_t OpaqueAlpha = 0xFF000000u;

// Loads a PNG, JPEG or BMP file of at most maxPixels pixels. On failure returns false with a
// one-line reason in *error (missing or unreadable file, unsupported or damaged format, too
// large).
bool ReadPicture(const std::string& path, RgbImage* image, std::string* error,
                 int64_t maxPixels = MaxPicturePixels);

// Writes a PNG that replaces `path` only when complete (output_files.h). On failure returns
// false with a reason.
bool SavePng(const std::string& path, const RgbImage& image, std::string* error);

// `left` and `right` side by side, `gap` pixels of `gapColour` between them; the shorter is
// padded with the gap colour below. With alpha in either, the result has alpha and the gap is
// opaque.
RgbImage SideBySide(const RgbImage& left, const RgbImage& right, int32_t gap, uint32_t gapColour);

#endif
