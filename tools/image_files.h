// image_files.h - writing the tool's results; reading its pictures is picture_input.h.
//
// Colour words are as picture_input.h reads them: a picture with alpha is written with it,
// one without as RGB. Writing produces PNG only.
//
// Writing never leaves a partial file under the final name: output_files.h.
#ifndef TOOLS_IMAGE_FILES_H
#define TOOLS_IMAGE_FILES_H

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "picture_input.h" // RgbImage, ReadPicture

// Writes a PNG that replaces `path` only when complete (output_files.h). On failure returns
// false with a reason.
bool SavePng(const std::string& path, const RgbImage& image, std::string* error);

// `left` and `right` side by side, `gap` pixels of `gapColour` between them; the shorter is
// padded with the gap colour below. With alpha in either, the result has alpha and the gap is
// opaque.
RgbImage SideBySide(const RgbImage& left, const RgbImage& right, int32_t gap, uint32_t gapColour);

#endif
