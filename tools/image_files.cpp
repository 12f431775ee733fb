// Picture files through stb_image and stb_image_write (Debian's libstb-dev). This file holds
// their implementations for the whole tool.
#include "image_files.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define CurrentProcessId _getpid
#else
#include <unistd.h>
#define CurrentProcessId getpid
#endif

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include <stb_image.h>

// The PNG rows go through the tool's own zlib stream (png_deflate.h), much faster than stb's.
#include "png_deflate.h"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#define STBIW_ZLIB_COMPRESS PngDeflate
#include <stb_image_write.h>

bool ReadPicture(const std::string& path, RgbImage* image, std::string* error) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        *error = "cannot read image " + path + ": it is a directory";
        return false;
    }
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *error = "cannot read image " + path + ": " + strerror(errno);
        return false;
    }
    int width = 0, height = 0, channelsInFile = 0;
    unsigned char* rgb = stbi_load_from_file(file, &width, &height, &channelsInFile, 3);
    fclose(file);
    if (rgb == nullptr) {
        std::string reason = stbi_failure_reason();
        if (reason == "unknown image type")
            *error = "cannot read image " + path + ": not a PNG, JPEG or BMP picture";
        else
            *error = "cannot read image " + path + ": damaged or unsupported (" + reason + ")";
        return false;
    }
    image->width = width;
    image->height = height;
    image->pixels.resize(size_t(width) * size_t(height));
    for (size_t i = 0; i < image->pixels.size(); ++i) {
        const unsigned char* p = rgb + 3 * i;
        image->pixels[i] = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[2]);
    }
    stbi_image_free(rgb);
    return true;
}

bool SavePng(const std::string& path, const RgbImage& image, std::string* error) {
    PendingFile pending;
    return pending.Open(path, error) && pending.WritePng(image, error) && pending.Commit(error);
}

RgbImage SideBySide(const RgbImage& left, const RgbImage& right, int32_t gap, uint32_t gapColour) {
    RgbImage both;
    both.width = left.width + gap + right.width;
    both.height = left.height > right.height ? left.height : right.height;
    both.pixels.assign(size_t(both.width) * size_t(both.height), gapColour);
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

// ---- PendingFile -----------------------------------------------------------------------------

std::string TemporaryPathFor(const std::string& path) {
    return path + ".tmp-" + std::to_string(CurrentProcessId());
}

bool PendingFile::Open(const std::string& path, std::string* error) {
    path_ = path;
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        *error = "cannot write " + path + ": it is a directory";
        return false;
    }
    std::string temporaryPath = TemporaryPathFor(path);
    file_ = fopen(temporaryPath.c_str(), "wb"); // the same bytes on every platform
    if (file_ == nullptr) {
        *error = "cannot write " + path + ": " + strerror(errno);
        return false;
    }
    temporaryPath_ = temporaryPath;
    return true;
}

static void WriteToFile(void* context, void* data, int size) {
    fwrite(data, 1, size_t(size), static_cast<FILE*>(context));
}

// Packs colour words 0x00RRGGBB into R, G, B bytes, from `words` to `bytes`, which may be the
// same memory: each pixel's bytes end no later than its word, so no word is overwritten before
// it is read.
static void PackRgb(const uint32_t* words, size_t count, unsigned char* bytes) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t word = words[i];
        bytes[3 * i + 0] = (word >> 16) & 0xFF;
        bytes[3 * i + 1] = (word >> 8) & 0xFF;
        bytes[3 * i + 2] = word & 0xFF;
    }
}

static bool EncodePng(FILE* file, int32_t width, int32_t height, const unsigned char* rgb,
                      const std::string& path, std::string* error) {
    // One filter for every row, the average of left and up: on photographs as small as stb's
    // choice per row, or smaller, and several times faster than trying all five per row.
    stbi_write_force_png_filter = 3;
    if (stbi_write_png_to_func(WriteToFile, file, width, height, 3, rgb, width * 3) == 0) {
        *error = "cannot write " + path + ": encoding failed";
        return false;
    }
    return true;
}

bool PendingFile::WritePng(const RgbImage& image, std::string* error) {
    std::vector<unsigned char> rgb(image.pixels.size() * 3);
    PackRgb(image.pixels.data(), image.pixels.size(), rgb.data());
    failed_ = !EncodePng(file_, image.width, image.height, rgb.data(), path_, error);
    return !failed_;
}

bool PendingFile::WritePng(RgbImage&& image, std::string* error) {
    std::vector<uint32_t> pixels = std::move(image.pixels);
    unsigned char* rgb = reinterpret_cast<unsigned char*>(pixels.data());
    PackRgb(pixels.data(), pixels.size(), rgb);
    failed_ = !EncodePng(file_, image.width, image.height, rgb, path_, error);
    return !failed_;
}

bool PendingFile::Close(std::string* error) {
    if (file_ != nullptr) {
        bool written = !ferror(file_);
        if (fclose(file_) != 0)
            written = false;
        file_ = nullptr;
        if (!written && !failed_) {
            *error = "cannot write " + path_ + ": " + strerror(errno);
            failed_ = true;
        }
    }
    return !failed_;
}

bool PendingFile::Commit(std::string* error) {
    if (temporaryPath_.empty())
        return true;
    if (!Close(error))
        return false;
    // Replaces an existing file in one step, on Windows too.
    std::error_code renameError;
    std::filesystem::rename(temporaryPath_, path_, renameError);
    if (renameError) {
        *error = "cannot write " + path_ + ": " + renameError.message();
        return false;
    }
    temporaryPath_.clear();
    return true;
}

PendingFile::~PendingFile() {
    if (file_ != nullptr)
        fclose(file_);
    if (!temporaryPath_.empty())
        remove(temporaryPath_.c_str());
}
