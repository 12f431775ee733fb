// picture_input.h - reading the pictures the tool works on, and nothing that is not whole.
//
// Accepts PNG, JPEG and BMP, and converts every pixel to a colour word: red in bits 16-23, green
// in 8-15, blue in 0-7, as the host's pixel word; a picture with an alpha channel (an alpha
// sample, or a PNG's transparency chunk) carries it in bits 24-31, which the plug-in ignores when
// it compares, and is written back with it. Without one, bits 24-31 stay 0.
//
// Reading goes in two steps, so that a caller can refuse a picture before any buffer of its
// size exists:
//   1. PictureReader::Open() (or ReadPictureHeader()) reads the header of each format itself:
//      the format, the dimensions, the channels. A header that cannot describe a picture (no
//      pixels, a BMP height of -2^31, a malformed JPEG Huffman table) is "damaged"; a variant
//      the decoders do not read (RLE or embedded BMPs, lossless or arithmetic JPEGs) is named.
//      A file that ends after its header (a PNG without image data, a BMP without all its
//      pixels) passes this step, so that its size is judged first, and is "damaged" in step 2.
//      CheckPictureSize() then applies the pixel limit (inclusive).
//   2. PictureReader::Decode() decodes it. A picture whose data ends early (a cut file) or is
//      corrupt is refused as "damaged": never half a picture with the rest black. PNGs are
//      decoded here, a row at a time through zlib (any bit depth, interlaced or not, the limit's
//      full size even at 16 bits a sample); palette BMPs here too, each index checked against
//      the palette; JPEG and other BMPs through stb_image, after the file has been checked to
//      hold all of their data, and all that the decoder needs to write every pixel.
// A regular file is read through its own descriptor; a pipe, FIFO or device (`<(cat a.png)`) is
// read as it comes, keeping what was read, up to what a picture of the limit can need.
//
// Every message is one line: "cannot read image 'NAME': REASON". Failed allocations are
// reported ("not enough memory for W x H pixels"), never thrown.
//
// File names are UTF-8 on every platform, opened through utf8_files.h.
#ifndef TOOLS_PICTURE_INPUT_H
#define TOOLS_PICTURE_INPUT_H

#include <stdint.h>
#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

struct RgbImage {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels; // row-major, 0xAARRGGBB with alpha, else 0x00RRGGBB
    bool hasAlpha = false;
};

// The largest picture the tool takes, in pixels: 16384 x 16384. Its working buffers take about
// 10 bytes a pixel for one click.
const int64_t MaxPicturePixels = int64_t(1) << 28;

// Alpha bits of an opaque pixel: painted pixels of a picture with alpha get them.
const uint32_t OpaqueAlpha = 0xFF000000u;

enum class PictureFormat { Png, Jpeg, Bmp };

struct PictureHeader {
    PictureFormat format = PictureFormat::Png;
    int64_t width = 0, height = 0; // at least 1 each once a header has been read
    int channels = 0;              // 1 grey, 2 grey and alpha, 3 colour, 4 colour and alpha
    int bitsPerSample = 8;         // as stored (PNG: 1 to 16); pixels always come out 8-bit
    bool HasAlpha() const { return channels == 2 || channels == 4; }
    int64_t Pixels() const { return width * height; }
};

struct PictureSource; // picture_source.h
struct PngLayout;     // picture_formats.h
struct BmpLayout;

// One picture file, from its header to its pixels.
class PictureReader {
  public:
    PictureReader();
    ~PictureReader();
    PictureReader(const PictureReader&) = delete;
    PictureReader& operator=(const PictureReader&) = delete;

    // Opens `path` and reads its header. False with a reason in *error.
    bool Open(const std::string& path, std::string* error);
    const PictureHeader& Header() const { return header_; }
    // Decodes the picture opened (once). False with a reason in *error, *image left empty.
    bool Decode(RgbImage* image, std::string* error);

  private:
    std::string name_; // "image 'PATH'", as messages name it
    PictureHeader header_;
    std::unique_ptr<PictureSource> source_;
    std::unique_ptr<PngLayout> png_;
    std::unique_ptr<BmpLayout> bmp_;
    bool Refuse(const std::string& reason, std::string* error) const;
    // What the decoders would not notice: a BMP cut before its pixels end, a PNG found damaged
    // when its header was read, a cut JPEG. True with the reason in *reason.
    bool FindDamage(std::string* reason) const;
    // The reason a decoding failed, as the source explains it when it can: past the stream's
    // limit, a failed read, or memory.
    std::string FailureReason(const std::string& reason, const std::string& size) const;
};

// The header of the picture at `path`, without decoding it.
bool ReadPictureHeader(const std::string& path, PictureHeader* header, std::string* error);

// False, with a "too large" message naming `path`, when the header claims more than maxPixels
// pixels (or more than MaxPicturePixels, whatever maxPixels says). A picture of exactly the
// limit passes.
bool CheckPictureSize(const std::string& path, const PictureHeader& header, int64_t maxPixels,
                      std::string* error);
// The same, with the reason alone in *error ("W x H pixels is too large (the limit is ...)"),
// for a caller that names the picture in its own way.
bool CheckPictureSize(const PictureHeader& header, int64_t maxPixels, std::string* error);

// Open, CheckPictureSize and Decode in one.
bool ReadPicture(const std::string& path, RgbImage* image, std::string* error,
                 int64_t maxPixels = MaxPicturePixels);

#endif
