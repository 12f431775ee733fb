// picture_io.h - pictures in and out: PNG, JPEG and BMP read whole, exact and upright, and PNG
// written at the picture's own depth with its colour information.
//
// The programs around the plug-in (region_grow, the editor, the benchmarks, the fuzzers) read
// and write every picture through this library, so that each sees the same pixels at the same
// coordinates. It decodes through well-kept libraries and never by hand, but for BMP:
//
//   format  natively                      on Windows
//   PNG     libpng                        the Windows Imaging Component (WIC)
//   JPEG    libjpeg-turbo                 WIC
//   BMP     this library's own decoder    this library's own decoder
//
// Reading
//   1. Reader::Open() takes an open file (a regular file, a pipe, a descriptor: read straight
//      through, never rewound) and reads the picture's header: its format, size, channels and
//      depth, and its EXIF orientation where the file gives it before its pixels. Nothing of
//      the picture's size is allocated yet, so that a caller can refuse it first (CheckSize).
//   2. Reader::Decode() decodes the pixels. A picture is accepted only whole: a cut file, a
//      checksum that does not match, a bad compressed stream, a palette index past the palette,
//      data left over, a JPEG the library warns about ("corrupt data"): each is refused as
//      "damaged FORMAT: REASON", never half a picture. A kind the decoder does not read is
//      "unsupported FORMAT: ...".
//   Every failure is one line, the reason alone; the caller names the file.
//
// What a decoded Picture holds
//   - pixels: one colour word a pixel, row-major, as the host's colour word: red in bits
//     16-23, green 8-15, blue 0-7, and alpha in 24-31 when the picture has an alpha channel
//     (an alpha sample, or a PNG's transparency chunk); 0 there when it has none. At 16 bits a
//     sample the words hold each sample's high byte, which is what the plug-in compares.
//   - deep: for 16-bit pictures, every sample exactly as the file stores it, Channels() a
//     pixel; empty for 8-bit ones. Writing uses these, so that no sample loses its low byte.
//   - grey: the file stores grey (PNG grey types, grey JPEGs, BMPs never).
//   - colour: the file's colour information as PNG chunks, carried unchanged into every PNG
//     written from the picture: a PNG's iCCP, sRGB, gAMA, cHRM and pHYs, a JPEG's ICC profile
//     as an iCCP chunk. Pixels are never converted between colour spaces.
//   - orientation: the EXIF orientation (1 to 8; JPEG APP1, PNG eXIf) that was applied. The
//     picture comes out upright, as a viewer shows it: width, height, pixels and deep samples
//     are all in the upright picture's coordinates, and no output carries the tag again.
//
// Writing
//   WritePng() writes PNG: 16-bit when the picture has deep samples, grey when it is grey,
//   with alpha when it has alpha, its colour chunks right after the header. PaintDeep() keeps
//   the deep samples and the grey flag true to the pixels after a host painted some of them.
//
// On Windows
//   The whole file is read into memory first. Its header, colour chunks and orientation come
//   from its own bytes (file_scan.h), as the native readers find them; only the pixels come
//   from WIC. A PNG is held to the native reader's checks of its checksums, its chunks' order
//   and its pixel data's stream; ancillary chunks besides the colour ones and eXIf are not
//   looked into. A JPEG's segments, restart markers and end are checked, but damage inside a
//   scan's compressed data is decoded as WIC decodes it. WIC decodes JPEG with a library of
//   its own: its pixels may differ from libjpeg-turbo's by a few levels where rounding differs,
//   and a CMYK JPEG without an Adobe segment is taken as YCCK. WritePng writes a grey picture
//   with alpha as colour and alpha, which reads back as the same pixels (WIC's PNG encoder has
//   no grey-and-alpha format).
//
// The library allocates its buffers as std::vector; a failed allocation is reported as
// "not enough memory for W x H pixels", never thrown at the caller.
#ifndef PICTURE_IO_PICTURE_IO_H
#define PICTURE_IO_PICTURE_IO_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

namespace picture_io {

enum class Format { Png, Jpeg, Bmp };
const char* FormatName(Format format); // "PNG", "JPEG", "BMP"

// The largest picture read, in pixels: 16384 x 16384. Beyond it sizes would not fit the
// decoders' counts, nor a 32-bit process.
const int64_t MaxPixels = int64_t(1) << 28;

// Alpha bits of an opaque pixel.
const uint32_t OpaqueAlpha = 0xFF000000u;

// A PNG chunk as stored: its four-letter type and its data (without length and checksum).
struct Chunk {
    std::string type, data;
    bool operator==(const Chunk& other) const { return type == other.type && data == other.data; }
};

// What a picture's header says, in the upright picture's terms.
struct Header {
    Format format = Format::Png;
    int64_t width = 0, height = 0; // upright; at least 1 each once read
    int channels = 0;              // 1 grey, 2 grey and alpha, 3 colour, 4 colour and alpha
    int bitDepth = 8;              // of the decoded samples: 8, or 16 for 16-bit PNGs
    int orientation = 1;           // the EXIF orientation to be applied (1: as stored)
    bool HasAlpha() const { return channels == 2 || channels == 4; }
    int64_t Pixels() const { return width * height; }
};

struct Picture {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels; // row-major colour words, 0xAARRGGBB with alpha, else 0x00RRGGBB
    bool hasAlpha = false;
    bool grey = false;
    std::vector<uint16_t> deep; // 16-bit pictures: Channels() samples a pixel; else empty
    std::vector<Chunk> colour;  // iCCP, sRGB, gAMA, cHRM, pHYs, as the file gave them
    int orientation = 1;        // the EXIF orientation applied in reading

    int Channels() const { return (grey ? 1 : 3) + (hasAlpha ? 1 : 0); }
    int BitDepth() const { return deep.empty() ? 8 : 16; }
};

// One picture file, from its header to its pixels.
class Reader {
  public:
    Reader();
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Takes `file` over (it is closed here) and reads the header. False with the reason.
    bool Open(FILE* file, std::string* reason);
    const Header& header() const { return header_; }
    // Decodes the picture opened, once. False with the reason, *picture left empty.
    bool Decode(Picture* picture, std::string* reason);

    struct Decoder; // each format's, in the library's sources

  private:
    Header header_;
    std::unique_ptr<Decoder> decoder_;
};

// False with the reason ("W x H pixels is too large (the limit is N pixels)") when the header
// gives more than `maxPixels` pixels, or more than MaxPixels whatever `maxPixels` says. A
// picture of exactly the limit passes. `setBy` names what set a limit below MaxPixels, for the
// reason ("--max-pixels"); empty, it is not named.
bool CheckSize(const Header& header, int64_t maxPixels, const std::string& setBy,
               std::string* reason);

// Writes `picture` as a PNG into `file`, as described above. False with the reason.
bool WritePng(FILE* file, const Picture& picture, std::string* reason);

// After a host painted the pixels set in `painted` (bit i % 8 of byte i / 8, row-major) with
// `paint` (a colour word, alpha bits ignored): a grey picture stays grey unless a pixel was
// painted with a paint that is not grey, and the deep samples of painted pixels become the paint
// scaled to 16 bits (opaque where the picture has alpha). Unpainted pixels keep their samples
// exactly.
void PaintDeep(Picture* picture, const std::vector<uint8_t>& painted, uint32_t paint);

// The EXIF orientation (1 to 8) that a TIFF structure (an EXIF block after its "Exif\0\0"
// header, as a PNG's eXIf chunk holds it) gives in its first directory; 1 when it gives none
// or a value out of range.
int ExifOrientation(const unsigned char* tiff, size_t size);

} // namespace picture_io

#endif
