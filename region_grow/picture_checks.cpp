#include "picture_checks.h"

#include "host_services.h" // MaskDrawnBit

namespace region_grow {

int CheckPicturesBeforeDecoding(const command_line::ToolOptions& options,
                                files::PictureReader* input, files::PictureReader* mask,
                                std::string* error) {
    if (!input->Open(options.inputPath, error) ||
        !files::CheckPictureSize(options.inputPath, input->Header(), options.maxPixels, error))
        return 1;
    const int64_t width = input->Header().width, height = input->Header().height;
    for (const command_line::Click& click : options.clicks)
        if (click.x < 0 || click.y < 0 || click.x >= width || click.y >= height) {
            *error = "click " + std::to_string(click.x) + " " + std::to_string(click.y) +
                     " lies outside the " + std::to_string(width) + "x" + std::to_string(height) +
                     " picture";
            return 2;
        }
    if (options.drawnMaskPath.empty())
        return 0;
    if (!mask->Open(options.drawnMaskPath, error) ||
        !files::CheckPictureSize(options.drawnMaskPath, mask->Header(), options.maxPixels, error))
        return 1;
    if (mask->Header().width != width || mask->Header().height != height) {
        *error = "drawn mask " + command_line::Quoted(options.drawnMaskPath) + " is " +
                 std::to_string(mask->Header().width) + "x" +
                 std::to_string(mask->Header().height) + ", the picture " + std::to_string(width) +
                 "x" + std::to_string(height);
        return 1;
    }
    return 0;
}

bool LoadDrawnMask(files::PictureReader* maskFile, const picture_io::Picture& image,
                   std::vector<uint8_t>* mask, std::string* error) {
    if (!maskFile->Opened())
        return true;
    picture_io::Picture picture;
    if (!maskFile->Decode(&picture, error))
        return false;
    mask->assign(image.pixels.size(), 0);
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        if ((picture.pixels[i] & ~picture_io::OpaqueAlpha) != 0) // not black, whatever its alpha
            (*mask)[i] = MaskDrawnBit;
    return true;
}

} // namespace region_grow
