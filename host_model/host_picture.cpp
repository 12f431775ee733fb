#include "host_picture.h"

namespace host_model {

void HostPicture::LoadPicture(int32_t imageWidth, int32_t imageHeight,
                              std::vector<PackedColour>&& picture) {
    width = imageWidth;
    height = imageHeight;
    pixels = std::move(picture);
    mask.assign(pixels.size(), 0);
    WriteViewRecord(ownerWindow, &dib);
}

void HostPicture::SetTolerances(const std::string& step, const std::string& seed) {
    parameters[{2, 0}] = step;
    parameters[{2, 1}] = seed;
}

} // namespace host_model
