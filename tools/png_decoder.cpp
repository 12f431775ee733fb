// A PNG decoder that streams: the image data is inflated through zlib a row at a time and each
// row is unfiltered and converted straight into the picture's colour words. It needs two rows of
// memory besides the picture, so any picture within the limit decodes, 16-bit samples included,
// and it knows exactly when the data ends before the last row.
#include <string.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "picture_formats.h"

namespace {

// The image data chunks, one after another, as one stream of compressed bytes.
class DataChunks {
  public:
    DataChunks(PictureSource* source) : source_(source) {}
    // Up to `count` compressed bytes; 0 once the image data has ended.
    size_t Read(unsigned char* to, size_t count) {
        while (left_ == 0) {
            if (started_ && !source_->Skip(4)) // the CRC of the chunk just read
                return 0;
            unsigned char chunk[8];
            if (source_->Read(chunk, 8) != 8 || memcmp(chunk + 4, "IDAT", 4) != 0)
                return 0;
            left_ = BigEndian32(chunk);
            started_ = true;
        }
        const size_t n = source_->Read(to, count < left_ ? count : size_t(left_));
        left_ -= n;
        return n;
    }

  private:
    PictureSource* source_;
    uint32_t left_ = 0;
    bool started_ = false;
};

// Undoes the filter of one row (`filter` its type byte) against the previous row.
bool Unfilter(int filter, unsigned char* row, const unsigned char* previous, size_t length,
              size_t pixelBytes) {
    switch (filter) {
    case 0:
        return true;
    case 1:
        for (size_t i = pixelBytes; i < length; ++i)
            row[i] = uint8_t(row[i] + row[i - pixelBytes]);
        return true;
    case 2:
        for (size_t i = 0; i < length; ++i)
            row[i] = uint8_t(row[i] + previous[i]);
        return true;
    case 3:
        for (size_t i = 0; i < length; ++i) {
            const unsigned left = i >= pixelBytes ? row[i - pixelBytes] : 0;
            row[i] = uint8_t(row[i] + ((left + previous[i]) >> 1));
        }
        return true;
    case 4:
        for (size_t i = 0; i < length; ++i) {
            const int a = i >= pixelBytes ? row[i - pixelBytes] : 0, b = previous[i],
                      c = i >= pixelBytes ? previous[i - pixelBytes] : 0;
            const int p = a + b - c, pa = p > a ? p - a : a - p, pb = p > b ? p - b : b - p,
                      pc = p > c ? p - c : c - p;
            row[i] = uint8_t(row[i] + (pa <= pb && pa <= pc ? a : pb <= pc ? b : c));
        }
        return true;
    }
    return false;
}

// Sample `index` of a row at the picture's bit depth, at its full value.
inline unsigned Sample(const unsigned char* row, size_t index, int depth) {
    switch (depth) {
    case 16:
        return unsigned(row[2 * index]) << 8 | row[2 * index + 1];
    case 8:
        return row[index];
    default: {
        const size_t bit = index * size_t(depth);
        return (row[bit >> 3] >> (8 - depth - (bit & 7))) & ((1u << depth) - 1);
    }
    }
}

// A sample scaled to 8 bits: the top byte of 16, low depths stretched (a 1 becomes 255).
inline uint32_t Eight(unsigned sample, int depth) {
    switch (depth) {
    case 16:
        return sample >> 8;
    case 8:
        return sample;
    default:
        return sample * (255u / ((1u << depth) - 1));
    }
}

// Converts `count` pixels of an unfiltered row into colour words, every `step`-th of `out`.
// The common layouts, 8-bit samples without a transparency key, in tight loops.
bool ConvertEightBitRow(const PngLayout& png, const unsigned char* p, size_t count, uint32_t* out,
                        size_t step) {
    if (png.bitDepth != 8 || png.transparencyKey)
        return false;
    switch (png.colourType) {
    case 2:
        for (size_t x = 0; x < count; ++x, p += 3, out += step)
            *out = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        return true;
    case 6:
        for (size_t x = 0; x < count; ++x, p += 4, out += step)
            *out = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        return true;
    case 0:
        for (size_t x = 0; x < count; ++x, ++p, out += step)
            *out = uint32_t(p[0]) * 0x010101u;
        return true;
    case 4:
        for (size_t x = 0; x < count; ++x, p += 2, out += step)
            *out = uint32_t(p[1]) << 24 | uint32_t(p[0]) * 0x010101u;
        return true;
    case 3:
        for (size_t x = 0; x < count; ++x, ++p, out += step)
            *out = png.palette[*p];
        return true;
    }
    return false;
}

void ConvertRow(const PngLayout& png, const unsigned char* row, size_t count, uint32_t* out,
                size_t step) {
    if (ConvertEightBitRow(png, row, count, out, step))
        return;
    const int depth = png.bitDepth;
    for (size_t x = 0; x < count; ++x, out += step) {
        uint32_t word;
        switch (png.colourType) {
        case 0: {
            const unsigned grey = Sample(row, x, depth);
            const uint32_t g = Eight(grey, depth);
            word = g << 16 | g << 8 | g;
            if (png.transparencyKey)
                word |= grey == png.key[0] ? 0 : 0xFF000000u;
            break;
        }
        case 2: {
            const unsigned r = Sample(row, 3 * x, depth), g = Sample(row, 3 * x + 1, depth),
                           b = Sample(row, 3 * x + 2, depth);
            word = Eight(r, depth) << 16 | Eight(g, depth) << 8 | Eight(b, depth);
            if (png.transparencyKey)
                word |= r == png.key[0] && g == png.key[1] && b == png.key[2] ? 0 : 0xFF000000u;
            break;
        }
        case 3:
            word = png.palette[Sample(row, x, depth) & 0xFF];
            break;
        case 4: {
            const uint32_t g = Eight(Sample(row, 2 * x, depth), depth);
            word = Eight(Sample(row, 2 * x + 1, depth), depth) << 24 | g << 16 | g << 8 | g;
            break;
        }
        default:
            word = Eight(Sample(row, 4 * x + 3, depth), depth) << 24 |
                   Eight(Sample(row, 4 * x, depth), depth) << 16 |
                   Eight(Sample(row, 4 * x + 1, depth), depth) << 8 |
                   Eight(Sample(row, 4 * x + 2, depth), depth);
        }
        *out = word;
    }
}

struct Pass {
    int x0, y0, dx, dy;
};
const Pass Whole[1] = {{0, 0, 1, 1}};
const Pass Adam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                       {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

class Inflater {
  public:
    Inflater(PictureSource* source) : chunks_(source) {}
    ~Inflater() {
        if (started_)
            inflateEnd(&stream_);
    }
    bool Start(std::string* reason) {
        memset(&stream_, 0, sizeof stream_);
        if (inflateInit(&stream_) != Z_OK) {
            *reason = "not enough memory to decompress it";
            return false;
        }
        started_ = true;
        return true;
    }
    // Fills `row` with exactly `length` bytes of decompressed data.
    bool Fill(unsigned char* row, size_t length, std::string* reason) {
        stream_.next_out = row;
        stream_.avail_out = uInt(length);
        while (stream_.avail_out > 0) {
            if (stream_.avail_in == 0) {
                stream_.next_in = input_;
                stream_.avail_in = uInt(chunks_.Read(input_, sizeof input_));
            }
            if (stream_.avail_in == 0 || ended_) {
                *reason = "damaged PNG: its image data ends before its last row";
                return false;
            }
            const int status = inflate(&stream_, Z_NO_FLUSH);
            if (status == Z_STREAM_END)
                ended_ = true;
            else if (status == Z_MEM_ERROR) {
                *reason = "not enough memory to decompress it";
                return false;
            } else if (status != Z_OK && status != Z_BUF_ERROR) {
                *reason = std::string("damaged PNG: its image data is corrupt (") +
                          (stream_.msg != nullptr ? stream_.msg : "zlib") + ")";
                return false;
            }
        }
        return true;
    }

  private:
    DataChunks chunks_;
    z_stream stream_;
    bool started_ = false, ended_ = false;
    unsigned char input_[1 << 16];
};

} // namespace

bool DecodePng(PictureSource* source, const PngLayout& png, RgbImage* image, std::string* reason) {
    if (!source->Seek(png.firstDataChunk)) {
        *reason = "damaged PNG: the file ends before its image data";
        return false;
    }
    const size_t width = size_t(image->width), height = size_t(image->height);
    const size_t bitsPerPixel = size_t(png.bitDepth) * size_t(png.colourType == 2   ? 3
                                                              : png.colourType == 4 ? 2
                                                              : png.colourType == 6 ? 4
                                                                                    : 1);
    const size_t pixelBytes = (bitsPerPixel + 7) / 8;
    std::unique_ptr<Inflater> inflater(new (std::nothrow) Inflater(source));
    std::vector<unsigned char> row, previous;
    try {
        row.resize((width * bitsPerPixel + 7) / 8 + 1);
        previous.resize(row.size());
    } catch (const std::bad_alloc&) {
        *reason = "not enough memory for a row of it";
        return false;
    }
    if (inflater == nullptr || !inflater->Start(reason))
        return false;
    const Pass* passes = png.interlaced ? Adam7 : Whole;
    for (int p = 0; p < (png.interlaced ? 7 : 1); ++p) {
        const Pass pass = passes[p];
        if (width <= size_t(pass.x0) || height <= size_t(pass.y0))
            continue; // an empty pass has no rows, not even filter bytes
        const size_t columns = (width - size_t(pass.x0) + size_t(pass.dx) - 1) / size_t(pass.dx);
        const size_t rowBytes = (columns * bitsPerPixel + 7) / 8;
        std::fill(previous.begin(), previous.end(), 0);
        for (size_t y = size_t(pass.y0); y < height; y += size_t(pass.dy)) {
            if (!inflater->Fill(row.data(), rowBytes + 1, reason))
                return false;
            if (!Unfilter(row[0], row.data() + 1, previous.data() + 1, rowBytes, pixelBytes)) {
                *reason = "damaged PNG: unknown row filter " + std::to_string(row[0]);
                return false;
            }
            ConvertRow(png, row.data() + 1, columns,
                       image->pixels.data() + y * width + size_t(pass.x0), size_t(pass.dx));
            row.swap(previous);
        }
    }
    if (source->readFailed) {
        *reason = "read error";
        return false;
    }
    return true;
}
