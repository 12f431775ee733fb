// PNG written through libpng, natively: 8-bit colour straight from the colour words (libpng
// drops the zero byte of pictures without alpha), grey a row at a time, 16-bit from the deep
// samples. The colour chunks follow the header as the source file had them.
#include <errno.h>
#include <png.h>
#include <setjmp.h>
#include <string.h>

#include <string>
#include <vector>

#include "picture_io.h"

namespace picture_io {
namespace {

// zlib's level 1 and one filter for every row, the average of left and up: a 24-megapixel
// photograph is written in a third of the time libpng's choice per row takes at level 1 (and an
// eighth of level 6's), in files as small as that choice's at level 1, a few percent larger than
// level 6's.
const int CompressionLevel = 1;
const int RowFilter = PNG_FILTER_AVG;

struct Writer {
    png_structp png = nullptr;
    png_infop info = nullptr;
    FILE* file = nullptr;
    std::string message;
    int failure = 0; // errno of a failed write
    ~Writer() { png_destroy_write_struct(&png, &info); }
};

void OnError(png_structp png, png_const_charp message) {
    static_cast<Writer*>(png_get_error_ptr(png))->message = message;
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnWrite(png_structp png, png_bytep data, size_t length) {
    Writer* writer = static_cast<Writer*>(png_get_io_ptr(png));
    if (fwrite(data, 1, length, writer->file) != length) {
        writer->failure = errno != 0 ? errno : EIO;
        png_error(png, "a write failed");
    }
}

void OnFlush(png_structp) {}

// A grey row: one byte a pixel (and alpha), from the words' blue.
void GreyRow(const uint32_t* words, size_t w, bool alpha, unsigned char* out) {
    for (size_t x = 0; x < w; ++x) {
        *out++ = words[x] & 0xFF;
        if (alpha)
            *out++ = words[x] >> 24 & 0xFF;
    }
}

bool WriteAll(Writer* writer, const Picture& picture, std::vector<png_unknown_chunk>* chunks,
              unsigned char* greyRow) {
    png_structp png = writer->png;
    if (setjmp(png_jmpbuf(png)))
        return false;
    const bool deep = !picture.deep.empty();
    const int type = picture.grey
                         ? (picture.hasAlpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY)
                         : (picture.hasAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB);
    png_set_IHDR(png, writer->info, png_uint_32(picture.width), png_uint_32(picture.height),
                 deep ? 16 : 8, type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, CompressionLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, RowFilter);
    if (!chunks->empty()) {
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, nullptr, 0);
        png_set_unknown_chunks(png, writer->info, chunks->data(), int(chunks->size()));
    }
    png_write_info(png, writer->info);
    const size_t w = size_t(picture.width), channels = size_t(picture.Channels());
    if (deep)
        png_set_swap(png);
    else if (!picture.grey) {
        png_set_bgr(png);
        if (!picture.hasAlpha)
            png_set_filler(png, 0, PNG_FILLER_AFTER);
    }
    for (size_t y = 0; y < size_t(picture.height); ++y) {
        if (deep) {
            png_write_row(png, reinterpret_cast<png_const_bytep>(&picture.deep[y * w * channels]));
        } else if (picture.grey) {
            GreyRow(&picture.pixels[y * w], w, picture.hasAlpha, greyRow);
            png_write_row(png, greyRow);
        } else {
            png_write_row(png, reinterpret_cast<png_const_bytep>(&picture.pixels[y * w]));
        }
    }
    png_write_end(png, writer->info);
    return true;
}

} // namespace

bool WritePng(FILE* file, const Picture& picture, std::string* reason) {
    Writer writer;
    writer.file = file;
    writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &writer, OnError, OnWarning);
    if (writer.png != nullptr)
        writer.info = png_create_info_struct(writer.png);
    if (writer.info == nullptr) {
        *reason = "not enough memory";
        return false;
    }
    png_set_write_fn(writer.png, &writer, OnWrite, OnFlush);
    png_set_user_limits(writer.png, 0x7FFFFFFF, 0x7FFFFFFF); // any picture that was read
    std::vector<png_unknown_chunk> chunks(picture.colour.size());
    for (size_t i = 0; i < chunks.size(); ++i) {
        const Chunk& chunk = picture.colour[i];
        memset(&chunks[i], 0, sizeof chunks[i]);
        memcpy(chunks[i].name, chunk.type.data(), 4);
        chunks[i].data = reinterpret_cast<png_bytep>(const_cast<char*>(chunk.data.data()));
        chunks[i].size = chunk.data.size();
        chunks[i].location = PNG_HAVE_IHDR;
    }
    std::vector<unsigned char> greyRow(picture.grey ? size_t(picture.width) * 2 : 0);
    if (WriteAll(&writer, picture, &chunks, greyRow.data()))
        return true;
    *reason = writer.failure != 0 ? strerror(writer.failure) : "encoding failed: " + writer.message;
    return false;
}

} // namespace picture_io
