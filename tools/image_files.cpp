// Picture files through stb_image (Debian's libstb-dev). This file holds its implementation
// for the whole tool; writing is in output_files.cpp.
#include "image_files.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

#include "tool_options.h" // Quoted

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_NO_LINEAR
#define STBI_NO_HDR
// The tool's own limit (MaxPicturePixels) decides what is too large; stb's default would refuse
// a valid picture of more than 2^24 pixels in one direction.
#define STBI_MAX_DIMENSIONS (1 << 28)
#include <stb_image.h>

// Whether stb_image can allocate what decoding a picture of this header takes: it sizes its
// buffers in int, at 2 bytes a sample for 16-bit PNGs, and a PNG's decompressed rows (one
// filter byte each) in one buffer as well.
static bool DecoderCanHold(int64_t width, int64_t height, int64_t channels, bool sixteenBit) {
    const int64_t sampleBytes = sixteenBit ? 2 : 1, channelsOut = 4; // at most RGBA
    return width * height * std::max(channels, channelsOut) * sampleBytes + height <= INT32_MAX;
}

// The dimensions in a PNG's header; left as they are for any other file.
static void PngHeaderDimensions(FILE* file, int* width, int* height) {
    unsigned char header[24];
    rewind(file);
    if (fread(header, 1, sizeof header, file) != sizeof header ||
        memcmp(header, "\x89PNG\r\n\x1a\n", 8) != 0 || memcmp(header + 12, "IHDR", 4) != 0)
        return;
    auto word = [&header](int at) {
        return uint32_t(header[at]) << 24 | uint32_t(header[at + 1]) << 16 |
               uint32_t(header[at + 2]) << 8 | uint32_t(header[at + 3]);
    };
    if (word(16) <= INT32_MAX && word(20) <= INT32_MAX) {
        *width = int(word(16));
        *height = int(word(20));
    }
}

bool ReadPicture(const std::string& path, RgbImage* image, std::string* error, int64_t maxPixels) {
    const std::string name = "image " + Quoted(path);
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        *error = "cannot read " + name + ": it is a directory";
        return false;
    }
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *error = "cannot read " + name + ": " + strerror(errno);
        return false;
    }
    // The header alone first: its dimensions decide whether the picture is decoded at all.
    // stb_image refuses some headers itself (PNGs of more than 2^30 bytes): read those here.
    int width = 0, height = 0, channelsInFile = 0;
    unsigned char* samples = nullptr;
    bool known = stbi_info_from_file(file, &width, &height, &channelsInFile) != 0;
    if (!known)
        PngHeaderDimensions(file, &width, &height);
    const int64_t pixels = int64_t(width) * int64_t(height);
    const bool withAlpha = channelsInFile == 2 || channelsInFile == 4;
    bool tooLarge =
        pixels > maxPixels || (known && !DecoderCanHold(width, height, channelsInFile,
                                                        stbi_is_16_bit_from_file(file) != 0));
    if (known && !tooLarge)
        samples = stbi_load_from_file(file, &width, &height, &channelsInFile, withAlpha ? 4 : 3);
    fclose(file);
    std::string reason = samples == nullptr && !tooLarge ? stbi_failure_reason() : "";
    if (tooLarge || reason == "too large") {
        *error = "cannot read " + name + ": " + std::to_string(width) + " x " +
                 std::to_string(height) + " pixels is too large (the limit is " +
                 std::to_string(std::min(maxPixels, MaxPicturePixels)) + " pixels" +
                 (maxPixels < MaxPicturePixels ? ", set by --max-pixels" : "") + ")";
        return false;
    }
    if (reason == "outofmem") {
        *error = "cannot read " + name + ": not enough memory for " + std::to_string(width) +
                 " x " + std::to_string(height) + " pixels";
        return false;
    }
    if (samples == nullptr) {
        if (reason == "unknown image type")
            *error = "cannot read " + name + ": not a PNG, JPEG or BMP picture";
        else
            *error = "cannot read " + name + ": damaged or unsupported (" + reason + ")";
        return false;
    }
    image->width = width;
    image->height = height;
    image->hasAlpha = withAlpha;
    image->pixels.resize(size_t(width) * size_t(height));
    const size_t step = withAlpha ? 4 : 3;
    for (size_t i = 0; i < image->pixels.size(); ++i) {
        const unsigned char* p = samples + step * i;
        uint32_t alpha = withAlpha ? uint32_t(p[3]) << 24 : 0;
        image->pixels[i] = alpha | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[2]);
    }
    stbi_image_free(samples);
    return true;
}

RgbImage SideBySide(const RgbImage& left, const RgbImage& right, int32_t gap, uint32_t gapColour) {
    RgbImage both;
    both.width = left.width + gap + right.width;
    both.height = left.height > right.height ? left.height : right.height;
    both.hasAlpha = left.hasAlpha || right.hasAlpha;
    both.pixels.assign(size_t(both.width) * size_t(both.height),
                       both.hasAlpha ? gapColour | OpaqueAlpha : gapColour);
    for (int32_t y = 0; y < both.height; ++y) {
        uint32_t* row = &both.pixels[size_t(y) * size_t(both.width)];
        if (y < left.height)
            std::copy_n(&left.pixels[size_t(y) * size_t(left.width)], left.width, row);
        if (y < right.height)
            std::copy_n(&right.pixels[size_t(y) * size_t(right.width)], right.width,
                        row + left.width + gap);
    }
    return both;
}
