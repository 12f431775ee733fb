// Reading pictures: the file, its header, the limit, then the pixels (picture_input.h). This
// file holds stb_image's implementation for the whole tool; it decodes JPEG and BMP once the
// header readers here have measured them and found them whole.
#include "picture_input.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#ifdef _WIN32
#include <windows.h>
#endif

#include "picture_formats.h"
#include "picture_source.h"
#include "simulated_host/utf8_wide.h"
#include "tool_options.h" // Quoted
#include "utf8_files.h"

// stb's PNG decoder and its file functions are not used here, but kept for the tests, which
// check pictures with it.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_NO_LINEAR
#define STBI_NO_HDR
// The header readers and the tool's limit decide what is too large; stb's default would refuse
// a valid picture of more than 2^24 pixels in one direction.
#define STBI_MAX_DIMENSIONS (1 << 28)
// stb does not clear what it allocates. The checks before decoding refuse the files that would
// leave parts of its buffers unwritten; should one pass them, its pixels come out the same on
// every run (from zeros) rather than from whatever the memory held.
static unsigned char decoderMemoryFill = 0;
static void* FilledAllocation(size_t size) {
    if (decoderMemoryFill == 0)
        return calloc(1, size);
    void* memory = malloc(size);
    if (memory != nullptr)
        memset(memory, decoderMemoryFill, size);
    return memory;
}
#define STBI_MALLOC(size) FilledAllocation(size)
#define STBI_REALLOC(memory, size) realloc(memory, size)
#define STBI_FREE(memory) free(memory)
#include <stb_image.h>

void SetDecoderMemoryFill(unsigned char byte) {
    decoderMemoryFill = byte;
}

// What a stream may hold before its header has been read: any header with its metadata.
static const int64_t StreamHeaderBytes = int64_t(64) << 20;

// Windows cannot open a folder as a file; it says "Permission denied". Say what it is.
static bool NamesFolder(const std::string& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(WideFromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
    (void)path;
    return false;
#endif
}

// ---- stb_image over a PictureSource
// --------------------------------------------------------------

static int ReadBytes(void* user, char* data, int size) {
    return int(static_cast<PictureSource*>(user)->Read(data, size_t(size)));
}
static void SkipBytes(void* user, int count) {
    static_cast<PictureSource*>(user)->Skip(count);
}
static int AtEnd(void* user) {
    return static_cast<PictureSource*>(user)->AtEnd() ? 1 : 0;
}
static const stbi_io_callbacks SourceCallbacks = {ReadBytes, SkipBytes, AtEnd};

static const char* FormatName(PictureFormat format) {
    return format == PictureFormat::Png ? "PNG" : format == PictureFormat::Jpeg ? "JPEG" : "BMP";
}

// ---- PictureReader
// -------------------------------------------------------------------------------

PictureReader::PictureReader() = default;
PictureReader::~PictureReader() = default;

bool PictureReader::Refuse(const std::string& reason, std::string* error) const {
    *error = "cannot read " + name_ + ": " + reason;
    return false;
}

bool PictureReader::Open(const std::string& path, std::string* error) {
    name_ = "image " + Quoted(path);
    header_ = PictureHeader();
    png_.reset(new PngLayout);
    bmp_.reset(new BmpLayout);
    FILE* file = OpenUtf8(path, "rb");
    if (file == nullptr) {
        const int failure = errno;
        return Refuse(NamesFolder(path) ? "it is a directory" : strerror(failure), error);
    }
    source_.reset(new PictureSource);
    if (!source_->Start(file))
        return Refuse(strerror(errno), error);
    if (source_->directory)
        return Refuse("it is a directory", error);
    source_->SetStreamLimit(StreamHeaderBytes);

    unsigned char signature[8] = {};
    const size_t got = source_->Read(signature, sizeof signature);
    if (source_->readFailed)
        return Refuse("a read failed", error);
    if (got == 0)
        return Refuse("the file is empty", error);
    source_->Seek(0);
    std::string reason;
    bool read;
    if (got == 8 && memcmp(signature, "\x89PNG\r\n\x1a\n", 8) == 0) {
        read = ReadPngHeader(source_.get(), &header_, png_.get(), &reason);
    } else if (got >= 3 && signature[0] == 0xFF && signature[1] == 0xD8 && signature[2] == 0xFF) {
        read = ReadJpegHeader(source_.get(), &header_, &reason);
    } else if (got >= 2 && signature[0] == 'B' && signature[1] == 'M') {
        read = ReadBmpHeader(source_.get(), &header_, bmp_.get(), &reason);
    } else {
        return Refuse("not a PNG, JPEG or BMP picture", error);
    }
    if (!read)
        return Refuse(source_->readFailed ? std::string("a read failed") : reason, error);
    if (header_.format != PictureFormat::Png) {
        // Whether the decoder gives alpha, and whether it reads this header at all.
        int width = 0, height = 0, channels = 0;
        source_->Seek(0);
        if (!stbi_info_from_callbacks(&SourceCallbacks, source_.get(), &width, &height, &channels))
            return Refuse(std::string("unsupported ") + FormatName(header_.format) + " (" +
                              stbi_failure_reason() + ")",
                          error);
        header_.channels = channels;
    }
    return true;
}

// Converts stb's samples, `channels` a pixel, into colour words.
static void FromSamples(const unsigned char* samples, int channels, RgbImage* image) {
    for (size_t i = 0; i < image->pixels.size(); ++i) {
        const unsigned char* p = samples + size_t(channels) * i;
        const uint32_t alpha = channels == 4 ? uint32_t(p[3]) << 24 : 0;
        image->pixels[i] = alpha | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[2]);
    }
}

// Decodes a PNG through the tool's own decoder into *image, sized as its header gives.
static bool DecodeWholePng(PictureSource* source, const PngLayout& layout, RgbImage* image,
                           std::string* reason) {
    image->pixels.resize(size_t(image->width) * size_t(image->height));
    return DecodePng(source, layout, image, reason);
}

// Decodes a BMP of 1, 4 or 8 bits a pixel through the tool's own decoder: stb reads the
// palette of some (the oldest header's) short, and past its end takes colours it never read.
static bool DecodeWholeBmpPalette(PictureSource* source, const BmpLayout& layout, RgbImage* image,
                                  std::string* reason) {
    image->pixels.resize(size_t(image->width) * size_t(image->height));
    return DecodeBmpPalette(source, layout, image, reason);
}

// Decodes a JPEG or BMP through stb_image into *image, sized as its header gives. False with
// the reason in *reason; `size` is the picture's size as messages say it.
static bool DecodeWithStb(PictureSource* source, PictureFormat format, const std::string& size,
                          RgbImage* image, std::string* reason) {
    const int channels = image->hasAlpha ? 4 : 3;
    int width = 0, height = 0, inFile = 0;
    source->Seek(0);
    std::unique_ptr<unsigned char, void (*)(void*)> samples(
        stbi_load_from_callbacks(&SourceCallbacks, source, &width, &height, &inFile, channels),
        stbi_image_free);
    if (samples == nullptr) {
        const std::string why = stbi_failure_reason();
        *reason = why == "outofmem"
                      ? "not enough memory for " + size
                      : std::string("damaged ") + FormatName(format) + " (" + why + ")";
        return false;
    }
    if (width != image->width || height != image->height) {
        *reason = std::string("damaged ") + FormatName(format) +
                  ": decoded to another size than its header gives";
        return false;
    }
    image->pixels.resize(size_t(image->width) * size_t(image->height));
    FromSamples(samples.get(), channels, image);
    return true;
}

bool PictureReader::FindDamage(std::string* reason) const {
    if (header_.format == PictureFormat::Bmp && !source_->HasBytes(bmp_->bytesNeeded)) {
        *reason = "damaged BMP: the file ends at byte " +
                  std::to_string(source_->regular ? source_->size : int64_t(source_->kept.size())) +
                  ", its pixels at byte " + std::to_string(bmp_->bytesNeeded);
        return true;
    }
    if (header_.format == PictureFormat::Png && !png_->damage.empty()) {
        *reason = png_->damage;
        return true;
    }
    std::string cut; // JpegIsWhole says what it looked for even when it finds it
    if (header_.format == PictureFormat::Jpeg && !JpegIsWhole(source_.get(), &cut)) {
        *reason = cut;
        return true;
    }
    return false;
}

std::string PictureReader::FailureReason(const std::string& reason, const std::string& size) const {
    if (source_->overLimit)
        return "it goes on past " + std::to_string(source_->limit) +
               " bytes, more than a picture of " + size + " needs; give it as a regular file";
    if (source_->readFailed)
        return "a read failed";
    if (reason.find("not enough memory") != std::string::npos)
        return "not enough memory for " + size;
    return reason;
}

bool PictureReader::Decode(RgbImage* image, std::string* error) {
    *image = RgbImage();
    if (source_ == nullptr || header_.width == 0)
        return Refuse("it was not opened", error);
    const std::string size =
        std::to_string(header_.width) + " x " + std::to_string(header_.height) + " pixels";
    // Never more than the tool's own limit, whatever the caller checked: beyond it, sizes would
    // not fit the decoders' counts (nor a 32-bit process's).
    if (header_.Pixels() > MaxPicturePixels)
        return Refuse(size + " is too large (the limit is " + std::to_string(MaxPicturePixels) +
                          " pixels)",
                      error);
    // A stream holds what a picture of this size can need, and metadata besides.
    source_->SetStreamLimit(StreamHeaderBytes + 8 * header_.Pixels());
    image->width = int32_t(header_.width);
    image->height = int32_t(header_.height);
    image->hasAlpha = header_.HasAlpha();
    std::string reason;
    bool decoded = false;
    try {
        if (FindDamage(&reason))
            decoded = false;
        else if (header_.format == PictureFormat::Png)
            decoded = DecodeWholePng(source_.get(), *png_, image, &reason);
        else if (header_.format == PictureFormat::Bmp && bmp_->bits <= 8)
            decoded = DecodeWholeBmpPalette(source_.get(), *bmp_, image, &reason);
        else
            decoded = DecodeWithStb(source_.get(), header_.format, size, image, &reason);
    } catch (const std::bad_alloc&) {
        reason = "not enough memory for " + size;
    }
    if (decoded)
        return true;
    *image = RgbImage();
    return Refuse(FailureReason(reason, size), error);
}

bool ReadPictureHeader(const std::string& path, PictureHeader* header, std::string* error) {
    PictureReader reader;
    if (!reader.Open(path, error))
        return false;
    *header = reader.Header();
    return true;
}

bool CheckPictureSize(const PictureHeader& header, int64_t maxPixels, std::string* error) {
    const int64_t limit = maxPixels < MaxPicturePixels ? maxPixels : MaxPicturePixels;
    if (header.Pixels() <= limit)
        return true;
    *error = std::to_string(header.width) + " x " + std::to_string(header.height) +
             " pixels is too large (the limit is " + std::to_string(limit) + " pixels" +
             (maxPixels < MaxPicturePixels ? ", set by --max-pixels" : "") + ")";
    return false;
}

bool CheckPictureSize(const std::string& path, const PictureHeader& header, int64_t maxPixels,
                      std::string* error) {
    if (CheckPictureSize(header, maxPixels, error))
        return true;
    *error = "cannot read image " + Quoted(path) + ": " + *error;
    return false;
}

bool ReadPicture(const std::string& path, RgbImage* image, std::string* error, int64_t maxPixels) {
    PictureReader reader;
    return reader.Open(path, error) && CheckPictureSize(path, reader.Header(), maxPixels, error) &&
           reader.Decode(image, error);
}
