// image_files.h - the tool's result pictures: saving one, and putting two side by side.
// Reading is picture_input.h; encoding is picture_io's WritePng.
//
// Writing never leaves a partial file under the final name: output_files.h.
#ifndef FILES_IMAGE_FILES_H
#define FILES_IMAGE_FILES_H

#include <stdint.h>

#include <string>

#include "picture_input.h"

namespace files {

// Writes a PNG that replaces `path` only when complete (output_files.h). On failure returns
// false with a reason.
bool SavePng(const std::string& path, const picture_io::Picture& image, std::string* error);

// `left` and `right` side by side, `gap` pixels of `gapColour` between them; the shorter is
// padded with the gap colour below. With alpha in either, the result has alpha and the gap is
// opaque. 8 bits a sample; the colour chunks are the left picture's.
picture_io::Picture SideBySide(const picture_io::Picture& left, const picture_io::Picture& right,
                               int32_t gap, uint32_t gapColour);

} // namespace files

#endif
