// PNG through libpng, natively. Every colour type, bit depth and interlacing; 8-bit pictures
// are decoded straight into the colour words (libpng lays each pixel out as blue, green, red
// and alpha or a zero byte, which on a little-endian machine is the word), 16-bit ones into the
// deep samples, from whose high bytes the words follow, palette pictures into their indices,
// each looked up here so that one past the palette refuses the file.
//
// libpng is made strict: a checksum that fails in any chunk, data that goes on past the
// picture, a palette index past the palette and the other "benign" errors refuse the file.
// The colour chunks and eXIf are kept as libpng found them, unprocessed.
#include <png.h>
#include <setjmp.h>

#include <string>

#include "decoders.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "colour words are laid out little-endian");

namespace picture_io {
namespace {

// The chunks kept as they are: carried to the outputs, and the orientation.
const png_byte KeptChunks[] = "iCCP\0sRGB\0gAMA\0cHRM\0pHYs\0eXIf";
const int KeptChunkCount = 6;

struct PngDecoder : Reader::Decoder {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::string message; // libpng's, when it fails
    std::string warning; // libpng's last warning, which may say more than its error
    bool ended = false;  // the file ended early
    int colourType = 0, depth = 8;
    Metadata metadata;

    ~PngDecoder() override { png_destroy_read_struct(&png, &info, nullptr); }
    bool Decode(Picture* picture, std::string* reason) override;
    bool Failed(std::string* reason) const;
};

void OnError(png_structp png, png_const_charp message) {
    static_cast<PngDecoder*>(png_get_error_ptr(png))->message = message;
    png_longjmp(png, 1);
}

void OnWarning(png_structp png, png_const_charp message) {
    static_cast<PngDecoder*>(png_get_error_ptr(png))->warning = message;
}

void OnRead(png_structp png, png_bytep data, size_t length) {
    PngDecoder* decoder = static_cast<PngDecoder*>(png_get_io_ptr(png));
    if (decoder->input.Read(data, length) != length) {
        decoder->ended = !decoder->input.failed;
        png_error(png, decoder->input.failed ? "a read failed" : "the file ends early");
    }
}

bool PngDecoder::Failed(std::string* reason) const {
    if (input.failed)
        *reason = "a read failed";
    else if (message.find("out of memory") != std::string::npos ||
             message.find("Out of Memory") != std::string::npos)
        *reason = "not enough memory";
    else if (ended)
        *reason = "damaged PNG: the file ends early";
    else
        *reason = "damaged PNG: " + message + (warning.empty() ? "" : " (" + warning + ")");
    return false;
}

// Each step that can fail in libpng, in a function of its own, so that the jump back on an
// error leaves nothing behind but plain values.
bool ReadInfo(PngDecoder* d) {
    if (setjmp(png_jmpbuf(d->png)))
        return false;
    png_read_info(d->png, d->info);
    return true;
}

bool ReadImage(PngDecoder* d, png_bytepp rows) {
    if (setjmp(png_jmpbuf(d->png)))
        return false;
    png_read_image(d->png, rows);
    png_read_end(d->png, nullptr);
    return true;
}

bool Prepare(PngDecoder* d, bool deep, bool grey, bool alpha, size_t rowBytes) {
    if (setjmp(png_jmpbuf(d->png)))
        return false;
    if (d->colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_packing(d->png); // an index a byte; the colours are looked up here
    } else if (deep) {
        png_set_expand(d->png); // tRNS to alpha
        png_set_swap(d->png);   // samples in the machine's order
    } else {
        png_set_expand(d->png); // grey below 8 bits to 8, tRNS to alpha
        if (grey)
            png_set_gray_to_rgb(d->png);
        png_set_bgr(d->png);
        if (!alpha)
            png_set_filler(d->png, 0, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(d->png);
    png_read_update_info(d->png, d->info);
    if (png_get_rowbytes(d->png, d->info) != rowBytes)
        png_error(d->png, "decoded rows of an unexpected size");
    return true;
}

// Palette indices into colour words; false with the reason when one is past the palette.
bool LookUpColours(PngDecoder* d, const std::vector<uint8_t>& indices, Picture* picture,
                   std::string* reason) {
    png_colorp entries = nullptr;
    int count = 0;
    png_get_PLTE(d->png, d->info, &entries, &count);
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    png_color_16p key = nullptr;
    if (png_get_valid(d->png, d->info, PNG_INFO_tRNS))
        png_get_tRNS(d->png, d->info, &alphas, &alphaCount, &key);
    uint32_t colours[256] = {};
    for (int i = 0; i < count && i < 256; ++i) {
        const uint32_t alpha = !picture->hasAlpha ? 0 : i < alphaCount ? alphas[i] : 255;
        colours[i] = Word(entries[i].red, entries[i].green, entries[i].blue, alpha);
    }
    for (size_t i = 0; i < indices.size(); ++i) {
        if (indices[i] >= count) {
            *reason = "damaged PNG: a pixel takes colour " + std::to_string(indices[i]) +
                      " of a palette of " + std::to_string(count);
            return false;
        }
        picture->pixels[i] = colours[indices[i]];
    }
    return true;
}

// The kept chunks, from the file: eXIf gives the orientation, the rest go to the outputs.
void KeepChunks(PngDecoder* d) {
    png_unknown_chunkp chunks = nullptr;
    const int count = png_get_unknown_chunks(d->png, d->info, &chunks);
    for (int i = 0; i < count; ++i) {
        const std::string type(reinterpret_cast<const char*>(chunks[i].name), 4);
        const std::string data(reinterpret_cast<const char*>(chunks[i].data), chunks[i].size);
        if (type == "eXIf")
            d->metadata.orientation = ExifOrientation(chunks[i].data, chunks[i].size);
        else
            d->metadata.colour.push_back({type, data});
    }
}

} // namespace

std::unique_ptr<Reader::Decoder> OpenPng(Input input, Header* header, std::string* reason) {
    std::unique_ptr<PngDecoder> d(new PngDecoder);
    d->input = input;
    header->format = Format::Png;
    d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, d.get(), OnError, OnWarning);
    if (d->png != nullptr)
        d->info = png_create_info_struct(d->png);
    if (d->info == nullptr) {
        *reason = "not enough memory";
        return nullptr;
    }
    png_set_read_fn(d->png, d.get(), OnRead);
    png_set_benign_errors(d->png, 0);
    png_set_crc_action(d->png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_set_user_limits(d->png, 0x7FFFFFFF, 0x7FFFFFFF); // the caller's limit decides
    png_set_chunk_malloc_max(d->png, 0);                 // metadata of any size the file holds
    // Every chunk the pixels do not need (text, time, background...) is passed over unread but
    // for its checksum: none of them can make a picture refused, whatever it holds.
    png_set_keep_unknown_chunks(d->png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_keep_unknown_chunks(d->png, PNG_HANDLE_CHUNK_ALWAYS, KeptChunks, KeptChunkCount);
    if (!ReadInfo(d.get())) {
        d->Failed(reason);
        // A header that gave the size is judged by it first; the damage comes with decoding.
        if (png_get_image_width(d->png, d->info) == 0 || d->input.failed)
            return nullptr;
        d->deferred = *reason;
    }
    d->colourType = png_get_color_type(d->png, d->info);
    d->depth = png_get_bit_depth(d->png, d->info);
    const bool transparency = png_get_valid(d->png, d->info, PNG_INFO_tRNS) != 0;
    const bool grey = (d->colourType & PNG_COLOR_MASK_COLOR) == 0;
    const bool alpha = (d->colourType & PNG_COLOR_MASK_ALPHA) != 0 || transparency;
    KeepChunks(d.get());
    header->width = png_get_image_width(d->png, d->info);
    header->height = png_get_image_height(d->png, d->info);
    header->channels = (grey ? 1 : 3) + (alpha ? 1 : 0);
    header->bitDepth = d->depth == 16 ? 16 : 8;
    header->orientation = d->metadata.orientation;
    return d;
}

bool PngDecoder::Decode(Picture* picture, std::string* reason) {
    const bool deep = !picture->deep.empty(), palette = colourType == PNG_COLOR_TYPE_PALETTE;
    const size_t w = size_t(picture->width), h = size_t(picture->height);
    const size_t channels = size_t(picture->Channels());
    const size_t rowBytes = palette ? w : deep ? w * channels * 2 : w * 4;
    if (!Prepare(this, deep, picture->grey, picture->hasAlpha, rowBytes))
        return Failed(reason);
    std::vector<uint8_t> indices(palette ? w * h : 0);
    unsigned char* base = palette ? indices.data()
                          : deep  ? reinterpret_cast<unsigned char*>(picture->deep.data())
                                  : reinterpret_cast<unsigned char*>(picture->pixels.data());
    std::vector<png_bytep> rows(h);
    for (size_t y = 0; y < h; ++y)
        rows[y] = base + y * rowBytes;
    if (!ReadImage(this, rows.data()))
        return Failed(reason);
    if (palette && !LookUpColours(this, indices, picture, reason))
        return false;
    if (deep) {
        const uint16_t* s = picture->deep.data();
        for (uint32_t& word : picture->pixels) {
            const uint32_t r = s[0] >> 8;
            const uint32_t g = picture->grey ? r : s[1] >> 8, b = picture->grey ? r : s[2] >> 8;
            const uint32_t a = picture->hasAlpha ? s[channels - 1] >> 8 : 0;
            word = Word(r, g, b, a);
            s += channels;
        }
    }
    picture->colour = metadata.colour;
    return true;
}

} // namespace picture_io
