// Writing PNG files through stb_image_write (Debian's libstb-dev), whose implementation this
// file holds for the whole tool.
#include "image_files.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

#include "interrupt_cleanup.h"
#include "memory_exhaustion.h"
#include "tool_options.h" // Quoted
#include "tool_paths.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#define CurrentProcessId _getpid
#else
#include <unistd.h>
#define CurrentProcessId getpid
#endif

// The PNG rows are compressed by zlib at its fastest level, several times faster than stb's
// own compressor on a big picture and with smaller files. Its stream depends only on the bytes
// and zlib's version, so the native and the Windows builds (both zlib 1.2.13) write the same
// files.
static unsigned char* ZlibCompress(unsigned char* data, int length, int* outLength, int) {
    uLongf size = compressBound(uLong(length));
    unsigned char* stream = static_cast<unsigned char*>(AllocateOrExit(size));
    if (stream == nullptr || compress2(stream, &size, data, uLong(length), 1) != Z_OK) {
        free(stream);
        return nullptr;
    }
    *outLength = int(size);
    return stream;
}
#define STB_IMAGE_WRITE_IMPLEMENTATION
// Memory that runs out while encoding ends the run as anywhere else (memory_exhaustion.h).
#define STBIW_MALLOC(size) AllocateOrExit(size)
#define STBIW_REALLOC(pointer, size) ReallocateOrExit(pointer, size)
#define STBIW_FREE(pointer) free(pointer)
#define STBI_WRITE_NO_STDIO
#define STBIW_ZLIB_COMPRESS ZlibCompress
#include <stb_image_write.h>

bool SavePng(const std::string& path, const RgbImage& image, std::string* error) {
    PendingFile pending;
    return pending.Open(path, error) && pending.WritePng(image, error) && pending.Commit(error);
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

// ---- PendingFile -----------------------------------------------------------------------------

std::string TemporaryPathFor(const std::string& path) {
    return path + ".tmp-" + std::to_string(CurrentProcessId());
}

bool PendingFile::Open(const std::string& path, std::string* error) {
    path_ = path;
    OutputTarget target;
    if (!ResolveOutput(path, &target, error))
        return false;
    target_ = target.path;
    switch (target.kind) {
    case OutputKind::Directory:
        *error = "cannot write " + Quoted(path) + ": it is a directory";
        return false;
    case OutputKind::StandardOutput:
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY); // the same bytes on every platform
#endif
        file_ = stdout;
        standardOutput_ = true;
        return true;
    case OutputKind::Stream:
        file_ = fopen(target_.c_str(), "wb");
        break;
    case OutputKind::File: {
        // Created and registered as one step, so that an interruption finds it either way.
        CleanupHold hold;
        std::string temporaryPath = TemporaryPathFor(target_);
        RegisterTemporary(temporaryPath);
        file_ = fopen(temporaryPath.c_str(), "wb");
        if (file_ != nullptr)
            temporaryPath_ = temporaryPath;
        else
            UnregisterTemporary(temporaryPath);
        break;
    }
    }
    if (file_ == nullptr) {
        *error = "cannot write " + Quoted(path) + ": " + strerror(errno);
        return false;
    }
    return true;
}

static void WriteToFile(void* context, void* data, int size) {
    fwrite(data, 1, size_t(size), static_cast<FILE*>(context));
}

// Packs colour words into R, G, B (and A, with `channels` 4) bytes, from `words` to `bytes`,
// which may be the same memory: each pixel's bytes end no later than its word, so no word is
// overwritten before it is read.
static void PackSamples(const uint32_t* words, size_t count, size_t channels,
                        unsigned char* bytes) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t word = words[i];
        unsigned char* p = bytes + channels * i;
        p[0] = (word >> 16) & 0xFF;
        p[1] = (word >> 8) & 0xFF;
        p[2] = word & 0xFF;
        if (channels == 4)
            p[3] = (word >> 24) & 0xFF;
    }
}

static bool EncodePng(FILE* file, int32_t width, int32_t height, int channels,
                      const unsigned char* samples, const std::string& path, std::string* error) {
    // One filter for every row, the average of left and up: on photographs as small as stb's
    // choice per row, or smaller, and several times faster than trying all five per row. (The
    // choice per row also sums a row's samples in an int, which overflows on very wide rows.)
    stbi_write_force_png_filter = 3;
    if (stbi_write_png_to_func(WriteToFile, file, width, height, channels, samples,
                               width * channels) == 0) {
        *error = "cannot write " + Quoted(path) + ": encoding failed";
        return false;
    }
    return true;
}

bool PendingFile::WritePng(const RgbImage& image, std::string* error) {
    const size_t channels = image.hasAlpha ? 4 : 3;
    std::vector<unsigned char> samples(image.pixels.size() * channels);
    PackSamples(image.pixels.data(), image.pixels.size(), channels, samples.data());
    failed_ =
        !EncodePng(file_, image.width, image.height, int(channels), samples.data(), path_, error);
    return !failed_;
}

bool PendingFile::WritePng(RgbImage&& image, std::string* error) {
    const size_t channels = image.hasAlpha ? 4 : 3;
    std::vector<uint32_t> pixels = std::move(image.pixels);
    unsigned char* samples = reinterpret_cast<unsigned char*>(pixels.data());
    PackSamples(pixels.data(), pixels.size(), channels, samples);
    failed_ = !EncodePng(file_, image.width, image.height, int(channels), samples, path_, error);
    return !failed_;
}

bool PendingFile::Close(std::string* error) {
    if (file_ != nullptr) {
        bool written = !ferror(file_);
        if ((standardOutput_ ? fflush(file_) : fclose(file_)) != 0)
            written = false;
        file_ = nullptr;
        if (!written && !failed_) {
            *error = "cannot write " + Quoted(path_) + ": " + strerror(errno);
            failed_ = true;
        }
    }
    return !failed_;
}

bool PendingFile::Commit(std::string* error) {
    if (!Close(error))
        return false;
    if (temporaryPath_.empty())
        return true;
    // A replaced file keeps its permissions. The rename replaces it in one step, on Windows too,
    // and is one step with the end of the cleanup duty.
    std::error_code failure;
    fs::file_status previous = fs::status(target_, failure);
    if (fs::is_regular_file(previous))
        fs::permissions(temporaryPath_, previous.permissions(), failure);
    CleanupHold hold;
    fs::rename(temporaryPath_, target_, failure);
    if (failure) {
        *error = "cannot write " + Quoted(path_) + ": " + failure.message();
        return false;
    }
    UnregisterTemporary(temporaryPath_);
    temporaryPath_.clear();
    return true;
}

PendingFile::~PendingFile() {
    if (file_ != nullptr && !standardOutput_)
        fclose(file_);
    if (!temporaryPath_.empty()) {
        CleanupHold hold;
        remove(temporaryPath_.c_str());
        UnregisterTemporary(temporaryPath_);
    }
}
