// bmp_exports.cpp - the native tools' BMP decoder as bmp.wasm, so that the page reads every BMP
// to the same pixels as region_grow: palettes, run-length data and the pixels it skips, bit
// fields, and 32-bit alpha decided as the native reader decides it.
//
// The page copies the file into memory from bmp_buffer(), calls bmp_decode() and reads the
// colour words (0xAARRGGBB, or 0x00RRGGBB when bmp_has_alpha() is 0) from bmp_pixels(), or
// the one-line reason from bmp_reason(). The file is read through a memory stream, exactly as
// the native reader reads a file; bmp_release() gives every buffer back.
#include <stdio.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "decoders.h"

#define BMP_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

unsigned char* file = nullptr;
picture_io::Picture picture;
std::string reason;

} // namespace

// Room for a file of `bytes`; null when there is no memory for it.
BMP_EXPORT unsigned char* bmp_buffer(uint32_t bytes) {
    free(file);
    file = static_cast<unsigned char*>(malloc(bytes > 0 ? bytes : 1));
    return file;
}

// Decodes the `bytes` of the file in the buffer: 1 with the picture, 0 with the reason, 2 when
// the header gives more than `maxPixels` pixels or more than `maxSide` a side (bmp_width() and
// bmp_height() then say its size): refused before any buffer of its size is made.
BMP_EXPORT int32_t bmp_decode(uint32_t bytes, uint32_t maxPixels, uint32_t maxSide) {
    using namespace picture_io;
    picture = Picture();
    Input input;
    input.file = fmemopen(file, bytes, "rb");
    input.size = bytes;
    if (input.file == nullptr) {
        reason = "not enough memory";
        return 0;
    }
    input.headSize = fread(input.head, 1, 2, input.file);
    if (input.headSize != 2 || input.head[0] != 'B' || input.head[1] != 'M') {
        fclose(input.file);
        reason = "not a BMP picture";
        return 0;
    }
    Header header;
    std::unique_ptr<Reader::Decoder> decoder = OpenBmp(input, &header, &reason);
    if (decoder == nullptr)
        return 0;
    picture.width = int32_t(header.width);
    picture.height = int32_t(header.height);
    if (header.width > maxSide || header.height > maxSide || header.Pixels() > maxPixels)
        return 2;
    if (!decoder->deferred.empty()) {
        reason = decoder->deferred;
        return 0;
    }
    picture.hasAlpha = header.HasAlpha();
    picture.pixels.resize(size_t(header.Pixels()));
    if (!decoder->Decode(&picture, &reason)) {
        picture = Picture();
        return 0;
    }
    return 1;
}

BMP_EXPORT int32_t bmp_width(void) {
    return picture.width;
}
BMP_EXPORT int32_t bmp_height(void) {
    return picture.height;
}
BMP_EXPORT int32_t bmp_has_alpha(void) {
    return picture.hasAlpha ? 1 : 0;
}
BMP_EXPORT const uint32_t* bmp_pixels(void) {
    return picture.pixels.data();
}
BMP_EXPORT const char* bmp_reason(void) {
    return reason.c_str();
}

BMP_EXPORT void bmp_release(void) {
    free(file);
    file = nullptr;
    picture = picture_io::Picture();
    std::string().swap(reason);
}
