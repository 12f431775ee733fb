// picture_checks.h - region_grow's pictures, checked before they are decoded.
//
// The input's header (and the --drawn mask's) decides, before a buffer of the picture's size
// exists: the pixel limit (--max-pixels), the clicks (inside the picture) and the mask's size
// (the picture's). Then the pictures are decoded, the mask into the flags each click starts
// from.
#ifndef REGION_GROW_PICTURE_CHECKS_H
#define REGION_GROW_PICTURE_CHECKS_H

#include <stdint.h>

#include <string>
#include <vector>

#include "picture_input.h"
#include "tool_options.h"

namespace region_grow {

// Opens the input and, with --drawn, the mask into the readers, and checks them from their
// headers. Returns 0, or the exit status of the failure (1 a picture, 2 a click outside it)
// with its message in *error.
int CheckPicturesBeforeDecoding(const command_line::ToolOptions& options,
                                files::PictureReader* input, files::PictureReader* mask,
                                std::string* error);

// The flags each click starts from, MaskDrawnBit where the mask is not black; left empty (all
// clear) when no mask was opened. `image` is the decoded input.
bool LoadDrawnMask(files::PictureReader* maskFile, const picture_io::Picture& image,
                   std::vector<uint8_t>* mask, std::string* error);

} // namespace region_grow

#endif
