// Reading a picture: the format from its first bytes, the header and then the pixels through
// that format's decoder, and the picture turned upright. Also what is the same for every
// format: the size limit, and the deep samples kept true to painted pixels.
#include "picture_io.h"

#include <string.h>
#include <sys/stat.h>

#include <new>

#include "decoders.h"

namespace picture_io {

const char* FormatName(Format format) {
    return format == Format::Png ? "PNG" : format == Format::Jpeg ? "JPEG" : "BMP";
}

// ---- Orientation -------------------------------------------------------------------------------

// Whether an orientation exchanges width and height (5 to 8 turn the picture a quarter).
static bool Turns(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

// `stored` (w x h as the file stores it, `channels` values a pixel) turned upright for
// `orientation`: each upright pixel (u, v) is taken from the stored pixel the EXIF rule maps it
// to. 2 mirrors, 3 turns half round, 4 flips; 5 is the transpose, 6 a quarter turn clockwise,
// 7 the transverse, 8 a quarter turn anticlockwise.
template <typename Sample>
static void TurnUpright(std::vector<Sample>* stored, size_t w, size_t h, size_t channels,
                        int orientation) {
    if (orientation <= 1 || orientation > 8 || stored->empty())
        return;
    const size_t uw = Turns(orientation) ? h : w, uh = Turns(orientation) ? w : h;
    std::vector<Sample> upright(stored->size());
    Sample* out = upright.data();
    const Sample* in = stored->data();
    for (size_t v = 0; v < uh; ++v)
        for (size_t u = 0; u < uw; ++u) {
            size_t x = u, y = v;
            switch (orientation) {
            case 2:
                x = w - 1 - u;
                break;
            case 3:
                x = w - 1 - u, y = h - 1 - v;
                break;
            case 4:
                y = h - 1 - v;
                break;
            case 5:
                x = v, y = u;
                break;
            case 6:
                x = v, y = h - 1 - u;
                break;
            case 7:
                x = w - 1 - v, y = h - 1 - u;
                break;
            case 8:
                x = w - 1 - v, y = u;
                break;
            }
            const Sample* from = in + (y * w + x) * channels;
            for (size_t c = 0; c < channels; ++c)
                *out++ = from[c];
        }
    stored->swap(upright);
}

// A regular file's size, which tells a cut file before its pixels are decoded; -1 otherwise.
static int64_t RegularFileSize(FILE* file) {
#ifdef _WIN32
    struct _stati64 status;
    if (_fstati64(_fileno(file), &status) == 0 && (status.st_mode & _S_IFREG) != 0)
        return status.st_size;
#else
    struct stat status;
    if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode))
        return status.st_size;
#endif
    return -1;
}

// ---- Reader ------------------------------------------------------------------------------------

Reader::Reader() = default;
Reader::~Reader() = default;

bool Reader::Open(FILE* file, std::string* reason) {
    header_ = Header();
    decoder_.reset();
    Input input;
    input.file = file;
    input.size = RegularFileSize(file);
    input.headSize = fread(input.head, 1, sizeof input.head, file);
    if (ferror(file)) {
        fclose(file);
        *reason = "a read failed";
        return false;
    }
    const unsigned char* s = input.head;
    const size_t got = input.headSize;
    if (got == 0) {
        fclose(file);
        *reason = "the file is empty";
        return false;
    }
    if (got == 8 && memcmp(s, "\x89PNG\r\n\x1a\n", 8) == 0) {
        decoder_ = OpenPng(input, &header_, reason);
    } else if (got >= 3 && s[0] == 0xFF && s[1] == 0xD8 && s[2] == 0xFF) {
        decoder_ = OpenJpeg(input, &header_, reason);
    } else if (got >= 2 && s[0] == 'B' && s[1] == 'M') {
        decoder_ = OpenBmp(input, &header_, reason);
    } else {
        fclose(file);
        *reason = "not a PNG, JPEG or BMP picture";
        return false;
    }
    if (decoder_ == nullptr) {
        header_.width = header_.height = 0;
        return false;
    }
    if (Turns(header_.orientation))
        std::swap(header_.width, header_.height);
    return true;
}

bool Reader::Decode(Picture* picture, std::string* reason) {
    *picture = Picture();
    if (decoder_ == nullptr) {
        *reason = "it was not opened";
        return false;
    }
    std::unique_ptr<Decoder> decoder = std::move(decoder_);
    const Header& h = header_;
    const std::string size = std::to_string(h.width) + " x " + std::to_string(h.height) + " pixels";
    if (h.Pixels() > MaxPixels) {
        *reason = size + " is too large (the limit is " + std::to_string(MaxPixels) + " pixels)";
        return false;
    }
    if (!decoder->deferred.empty()) {
        *reason = decoder->deferred;
        return false;
    }
    const bool turns = Turns(h.orientation);
    picture->width = int32_t(turns ? h.height : h.width);
    picture->height = int32_t(turns ? h.width : h.height);
    picture->hasAlpha = h.HasAlpha();
    picture->grey = h.channels <= 2;
    bool decoded = false;
    try {
        const size_t pixels = size_t(h.Pixels());
        picture->pixels.resize(pixels);
        if (h.bitDepth == 16)
            picture->deep.resize(pixels * size_t(h.channels));
        decoded = decoder->Decode(picture, reason);
        if (decoded && h.orientation != 1) {
            const size_t w = size_t(picture->width), hh = size_t(picture->height);
            TurnUpright(&picture->pixels, w, hh, 1, h.orientation);
            TurnUpright(&picture->deep, w, hh, size_t(h.channels), h.orientation);
            picture->width = int32_t(h.width);
            picture->height = int32_t(h.height);
            picture->orientation = h.orientation;
        }
    } catch (const std::bad_alloc&) {
        *reason = "not enough memory for " + size;
        decoded = false;
    }
    if (!decoded)
        *picture = Picture();
    return decoded;
}

bool CheckSize(const Header& header, int64_t maxPixels, const std::string& setBy,
               std::string* reason) {
    const int64_t limit = maxPixels < MaxPixels ? maxPixels : MaxPixels;
    if (header.Pixels() <= limit)
        return true;
    *reason = std::to_string(header.width) + " x " + std::to_string(header.height) +
              " pixels is too large (the limit is " + std::to_string(limit) + " pixels" +
              (maxPixels < MaxPixels && !setBy.empty() ? ", set by " + setBy : "") + ")";
    return false;
}

// ---- Painted pixels ----------------------------------------------------------------------------

static bool IsGrey(uint32_t colour) {
    const uint32_t r = colour >> 16 & 0xFF, g = colour >> 8 & 0xFF, b = colour & 0xFF;
    return r == g && g == b;
}

// Grey deep samples (1 or 2 a pixel) spread into colour ones (3 or 4).
static std::vector<uint16_t> GreyToColour(const std::vector<uint16_t>& grey, bool alpha) {
    const size_t in = alpha ? 2 : 1, out = alpha ? 4 : 3, pixels = grey.size() / in;
    std::vector<uint16_t> colour(pixels * out);
    for (size_t i = 0; i < pixels; ++i) {
        const uint16_t* g = &grey[i * in];
        uint16_t* c = &colour[i * out];
        c[0] = c[1] = c[2] = g[0];
        if (alpha)
            c[3] = g[1];
    }
    return colour;
}

void PaintDeep(Picture* picture, const std::vector<uint8_t>& painted, uint32_t paint) {
    bool any = false;
    for (size_t i = 0; i < painted.size() && !any; ++i)
        any = painted[i] != 0;
    if (!any)
        return;
    if (picture->grey && !IsGrey(paint)) {
        if (!picture->deep.empty())
            picture->deep = GreyToColour(picture->deep, picture->hasAlpha);
        picture->grey = false;
    }
    if (picture->deep.empty())
        return;
    const uint16_t r = uint16_t((paint >> 16 & 0xFF) * 257),
                   g = uint16_t((paint >> 8 & 0xFF) * 257), b = uint16_t((paint & 0xFF) * 257);
    const size_t channels = size_t(picture->Channels()), pixels = picture->pixels.size();
    for (size_t i = 0; i < pixels && (i >> 3) < painted.size(); ++i) {
        if ((painted[i >> 3] >> (i & 7) & 1) == 0)
            continue;
        uint16_t* s = &picture->deep[i * channels];
        if (picture->grey) {
            s[0] = r;
        } else {
            s[0] = r, s[1] = g, s[2] = b;
        }
        if (picture->hasAlpha)
            s[channels - 1] = 0xFFFF;
    }
}

} // namespace picture_io
