// picture_formats.h - inside picture_input: each format's header reader and the checks and
// decoders behind PictureReader. Every function returns false with a reason (the part of the
// message after the picture's name) in *reason.
#ifndef TOOLS_PICTURE_FORMATS_H
#define TOOLS_PICTURE_FORMATS_H

#include <stdint.h>

#include <string>

#include "picture_input.h"
#include "picture_source.h"

// What a PNG's chunks before its image data say, beyond the header: what decoding needs.
struct PngLayout {
    int colourType = 0, bitDepth = 8;
    bool interlaced = false;
    int64_t firstDataChunk = 0; // offset of the first IDAT chunk's length word
    uint32_t palette[256] = {}; // colour words, alpha in bits 24-31
    int paletteSize = 0;
    bool transparencyKey = false; // grey or colour: samples equal to the key are transparent
    uint16_t key[3] = {};
    std::string damage; // why the chunks before the image data cannot be decoded, if they cannot
};

// What a BMP's header says that decoding needs.
struct BmpLayout {
    uint32_t headerSize = 0; // after the 14-byte file header: 12 (the oldest) to 124
    uint32_t bits = 0;       // a pixel
    uint32_t dataOffset = 0; // of the pixels, from the start of the file
    bool topDown = false;    // rows stored from the top (a negative height)
    int64_t bytesNeeded = 0; // the file's size as the header gives it, up to its last pixel
};

// Each reads its format's header from the start of `source`, whose first bytes carry that
// format's signature.
bool ReadPngHeader(PictureSource* source, PictureHeader* header, PngLayout* layout,
                   std::string* reason);
bool ReadJpegHeader(PictureSource* source, PictureHeader* header, std::string* reason);
bool ReadBmpHeader(PictureSource* source, PictureHeader* header, BmpLayout* layout,
                   std::string* reason);

// Decodes the PNG into `image`, whose pixels are already sized for it.
bool DecodePng(PictureSource* source, const PngLayout& layout, RgbImage* image,
               std::string* reason);

// Decodes a BMP of 1, 4 or 8 bits a pixel into `image`, whose pixels are already sized for it:
// its palette is what lies between its header and its pixels. A pixel whose index reaches past
// that palette makes the file damaged.
bool DecodeBmpPalette(PictureSource* source, const BmpLayout& layout, RgbImage* image,
                      std::string* reason);

// What stb_image's allocations hold before it writes them: zeros, unless a test or the fuzzer
// sets another byte, to find pictures that decode in part from memory the file never filled.
void SetDecoderMemoryFill(unsigned char byte);

// Whether a JPEG's Huffman table segment (its data, after the length) holds well-formed tables:
// each of at most 256 codes, the values there. The decoder trusts the counts and would write
// past its tables. Sets bit 4 * class + id of *defined for each table (class 0 DC, 1 AC).
bool HuffmanTablesValid(const unsigned char* data, size_t length, unsigned* defined);

// Walks a JPEG's segments and entropy-coded data from the start to its end-of-image marker:
// false when the file ends before it (a cut file), a Huffman table is malformed, a scan uses a
// Huffman or quantisation table not defined before it, a scan's data holds fewer restart
// markers than its restart interval needs, or a component gets no data from any scan (in a
// progressive JPEG, no first DC scan): the decoder would fill what is missing from memory it
// never wrote.
bool JpegIsWhole(PictureSource* source, std::string* reason);

#endif
