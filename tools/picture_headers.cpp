// The headers of PNG, JPEG and BMP files, read here rather than by the decoder, so that every
// picture is measured, and every header the decoders would misread is refused, before a byte
// of pixels is decoded.
#include <string.h>

#include <algorithm>
#include <vector>

#include "picture_formats.h"

static std::string Dimensions(int64_t width, int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// ---- PNG ----------------------------------------------------------------------------------------

// Channels per colour type (0 grey, 2 colour, 3 palette, 4 grey and alpha, 6 colour and alpha),
// and whether a bit depth is one the type allows.
static int PngSamplesPerPixel(int colourType) {
    switch (colourType) {
    case 0:
    case 3:
        return 1;
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    }
    return 0;
}

static bool PngDepthAllowed(int colourType, int depth) {
    switch (colourType) {
    case 0:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
        return depth == 8 || depth == 16;
    }
    return false;
}

// The signature and the IHDR chunk: the size, the bit depth and colour type, the interlacing.
static bool ReadPngImageHeader(PictureSource* source, PictureHeader* header, PngLayout* layout,
                               std::string* reason) {
    unsigned char bytes[33]; // signature, IHDR's length, type, 13 bytes of data and CRC
    if (source->Read(bytes, sizeof bytes) != sizeof bytes) {
        *reason = "damaged PNG: the file ends inside its header";
        return false;
    }
    if (BigEndian32(bytes + 8) != 13 || memcmp(bytes + 12, "IHDR", 4) != 0) {
        *reason = "damaged PNG: it does not start with a header chunk";
        return false;
    }
    const uint32_t width = BigEndian32(bytes + 16), height = BigEndian32(bytes + 20);
    layout->bitDepth = bytes[24];
    layout->colourType = bytes[25];
    header->format = PictureFormat::Png;
    header->width = width;
    header->height = height;
    header->bitsPerSample = layout->bitDepth;
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) {
        *reason = "damaged PNG: its header gives " + Dimensions(width, height) +
                  " (a picture has 1 to 2^31-1 pixels each way)";
        return false;
    }
    if (!PngDepthAllowed(layout->colourType, layout->bitDepth)) {
        *reason = "damaged PNG: colour type " + std::to_string(layout->colourType) +
                  " with bit depth " + std::to_string(layout->bitDepth) + " does not exist";
        return false;
    }
    if (bytes[26] != 0 || bytes[27] != 0 || bytes[28] > 1) {
        *reason = "damaged PNG: unknown compression, filter or interlace method";
        return false;
    }
    layout->interlaced = bytes[28] == 1;
    return true;
}

// A PLTE chunk's colours, or a tRNS chunk's transparency (of palette entries, or of one key
// colour), into the layout. True when the chunk makes the picture transparent.
static bool StorePngColourChunk(bool palette, const unsigned char* data, uint32_t length,
                                PngLayout* layout) {
    if (palette) {
        layout->paletteSize = int(length / 3);
        for (int i = 0; i < layout->paletteSize; ++i)
            layout->palette[i] = 0xFF000000u | uint32_t(data[3 * i]) << 16 |
                                 uint32_t(data[3 * i + 1]) << 8 | data[3 * i + 2];
        return false;
    }
    if (layout->colourType == 3) {
        for (uint32_t i = 0; i < length && i < 256; ++i)
            layout->palette[i] = (layout->palette[i] & 0x00FFFFFFu) | uint32_t(data[i]) << 24;
        return true;
    }
    if (layout->colourType == 0 && length >= 2) {
        layout->transparencyKey = true;
        layout->key[0] = uint16_t(BigEndian16(data));
        return true;
    }
    if (layout->colourType == 2 && length >= 6) {
        layout->transparencyKey = true;
        for (int c = 0; c < 3; ++c)
            layout->key[c] = uint16_t(BigEndian16(data + 2 * c));
        return true;
    }
    return false;
}

// The chunks up to the image data: the palette and the transparency, if any, and where the
// data starts. A file that ends before its data is damaged, but its header measures it: the
// damage goes into layout->damage, to be said on decoding, after the size has been checked.
// True when a chunk makes the picture transparent.
static bool ReadPngChunksBeforeData(PictureSource* source, PngLayout* layout) {
    const std::string cut = "damaged PNG: the file ends before its image data";
    bool transparency = false;
    for (;;) {
        unsigned char chunk[8];
        const int64_t at = source->position;
        if (source->Read(chunk, 8) != 8) {
            layout->damage = cut;
            break;
        }
        const uint32_t length = BigEndian32(chunk);
        if (length > INT32_MAX) {
            layout->damage = "damaged PNG: a chunk of " + std::to_string(length) + " bytes";
            break;
        }
        if (memcmp(chunk + 4, "IDAT", 4) == 0) {
            layout->firstDataChunk = at;
            break;
        }
        if (memcmp(chunk + 4, "IEND", 4) == 0) {
            layout->damage = "damaged PNG: it has no image data";
            break;
        }
        unsigned char data[768];
        const bool palette = memcmp(chunk + 4, "PLTE", 4) == 0;
        const bool trns = memcmp(chunk + 4, "tRNS", 4) == 0;
        if ((palette || trns) && length <= sizeof data) {
            if (source->Read(data, length) != length) {
                layout->damage = cut;
                break;
            }
            transparency |= StorePngColourChunk(palette, data, length, layout);
            if (!source->Skip(4)) { // CRC
                layout->damage = cut;
                break;
            }
        } else if (!source->Skip(int64_t(length) + 4)) {
            layout->damage = cut;
            break;
        }
    }
    return transparency;
}

bool ReadPngHeader(PictureSource* source, PictureHeader* header, PngLayout* layout,
                   std::string* reason) {
    if (!ReadPngImageHeader(source, header, layout, reason))
        return false;
    const bool transparency = ReadPngChunksBeforeData(source, layout);
    if (layout->colourType == 3 && layout->paletteSize == 0 && layout->damage.empty())
        layout->damage = "damaged PNG: a palette picture without a palette";
    // Without transparency, colour words carry no alpha. Indices past the palette are black.
    if (layout->colourType == 3 && !transparency)
        for (uint32_t& colour : layout->palette)
            colour &= 0x00FFFFFFu;
    const int samples = PngSamplesPerPixel(layout->colourType);
    header->channels = layout->colourType == 3 ? 3 : samples;
    if (transparency && (header->channels == 1 || header->channels == 3))
        ++header->channels;
    return true;
}

// ---- JPEG ---------------------------------------------------------------------------------------

static const char JpegCut[] = "damaged JPEG: the file ends before its frame header";

// The next marker's type, past the fill bytes (0xFF) that may stand before it.
static bool ReadJpegMarker(PictureSource* source, int* type, std::string* reason) {
    unsigned char marker[2];
    if (source->Read(marker, 2) != 2) {
        *reason = JpegCut;
        return false;
    }
    if (marker[0] != 0xFF) {
        *reason = "damaged JPEG: no marker where one belongs";
        return false;
    }
    while (marker[1] == 0xFF)
        if (source->Read(marker + 1, 1) != 1) {
            *reason = JpegCut;
            return false;
        }
    *type = marker[1];
    return true;
}

// A Huffman table segment of `length` bytes: checked before the decoder builds the tables.
static bool CheckJpegHuffmanTables(PictureSource* source, uint32_t length, std::string* reason) {
    std::vector<unsigned char> tables(length - 2);
    if (source->Read(tables.data(), tables.size()) != tables.size()) {
        *reason = JpegCut;
        return false;
    }
    unsigned defined = 0;
    if (!HuffmanTablesValid(tables.data(), tables.size(), &defined)) {
        *reason = "damaged JPEG: a malformed Huffman table";
        return false;
    }
    return true;
}

// A frame header (SOFn, marker `type`) of `length` bytes: the size, and whether the decoder
// reads this kind of JPEG (baseline or progressive, 8-bit, grey, colour or CMYK).
static bool ReadJpegFrameHeader(PictureSource* source, int type, uint32_t length,
                                PictureHeader* header, std::string* reason) {
    unsigned char sof[6]; // precision, height, width, components
    if (length < 8 || source->Read(sof, 6) != 6) {
        *reason = length < 8 ? "damaged JPEG: a frame header too short" : JpegCut;
        return false;
    }
    header->width = BigEndian16(sof + 3);
    header->height = BigEndian16(sof + 1);
    header->bitsPerSample = sof[0];
    const int components = sof[5];
    if (type != 0xC0 && type != 0xC1 && type != 0xC2) {
        *reason = std::string("unsupported JPEG: ") +
                  (type == 0xC3 || type == 0xC7 || type == 0xCB || type == 0xCF ? "lossless"
                   : type >= 0xC9                                               ? "arithmetic-coded"
                                                                                : "hierarchical") +
                  " (baseline and progressive JPEGs are read)";
        return false;
    }
    if (header->width == 0 || header->height == 0) {
        *reason =
            "unsupported JPEG: its frame header gives " + Dimensions(header->width, header->height);
        return false;
    }
    if (sof[0] != 8 || (components != 1 && components != 3 && components != 4)) {
        *reason = "unsupported JPEG: " + std::to_string(sof[0]) + "-bit samples in " +
                  std::to_string(components) + " components";
        return false;
    }
    header->channels = components == 1 ? 1 : 3; // CMYK comes out as colour
    return true;
}

// The segments after the start-of-image marker, up to the frame header, which ends the walk.
bool ReadJpegHeader(PictureSource* source, PictureHeader* header, std::string* reason) {
    header->format = PictureFormat::Jpeg;
    if (!source->Seek(2)) {
        *reason = JpegCut;
        return false;
    }
    for (;;) {
        int type;
        if (!ReadJpegMarker(source, &type, reason))
            return false;
        if (type == 0x01 || (type >= 0xD0 && type <= 0xD7))
            continue; // markers without a segment
        if (type == 0xD9 || type == 0xDA || type == 0xD8) {
            *reason = "damaged JPEG: no frame header before its image data";
            return false;
        }
        unsigned char lengthBytes[2];
        if (source->Read(lengthBytes, 2) != 2) {
            *reason = JpegCut;
            return false;
        }
        const uint32_t length = BigEndian16(lengthBytes); // its own two bytes included
        if (length < 2) {
            *reason = "damaged JPEG: a segment of " + std::to_string(length) + " bytes";
            return false;
        }
        // SOF0 to SOF15, but for DHT (C4), JPG (C8) and DAC (CC), which share the range.
        const bool frame =
            type >= 0xC0 && type <= 0xCF && type != 0xC4 && type != 0xC8 && type != 0xCC;
        if (frame)
            return ReadJpegFrameHeader(source, type, length, header, reason);
        if (type == 0xC4) {
            if (!CheckJpegHuffmanTables(source, length, reason))
                return false;
        } else if (!source->Skip(length - 2)) {
            *reason = JpegCut;
            return false;
        }
    }
}

// ---- BMP ----------------------------------------------------------------------------------------

// The size, planes, bits a pixel and compression, from whichever of the header's versions the
// file has (its size tells).
struct BmpFields {
    int64_t width, height; // a negative height: rows from the top down
    uint32_t planes, bits, compression = 0;
};

static bool ReadBmpFields(const unsigned char* bytes, uint32_t size, BmpFields* fields,
                          std::string* reason) {
    if (size == 12) { // the oldest header: 16-bit dimensions, no compression
        fields->width = LittleEndian16(bytes + 18);
        fields->height = LittleEndian16(bytes + 20);
        fields->planes = LittleEndian16(bytes + 22);
        fields->bits = LittleEndian16(bytes + 24);
        return true;
    }
    if (size == 40 || size == 56 || size == 108 || size == 124) {
        fields->width = int32_t(LittleEndian32(bytes + 18));
        fields->height = int32_t(LittleEndian32(bytes + 22));
        fields->planes = LittleEndian16(bytes + 26);
        fields->bits = LittleEndian16(bytes + 28);
        fields->compression = LittleEndian32(bytes + 30);
        return true;
    }
    *reason = "unsupported BMP: a header of " + std::to_string(size) +
              " bytes (12, 40, 56, 108 and 124 are read)";
    return false;
}

// Whether the decoder reads pixels so stored: one plane, a bit count it knows, no run-length
// or embedded picture, bit fields only for 16 and 32 bits.
static bool BmpEncodingReadable(const BmpFields& fields, std::string* reason) {
    const uint32_t bits = fields.bits, compression = fields.compression;
    if (fields.planes != 1) {
        *reason = "damaged BMP: " + std::to_string(fields.planes) + " planes";
        return false;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        *reason = "unsupported BMP: " + std::to_string(bits) + " bits a pixel";
        return false;
    }
    if (compression == 1 || compression == 2) {
        *reason = std::string("unsupported BMP: run-length encoded (") +
                  (compression == 1 ? "RLE8" : "RLE4") + "); uncompressed BMPs are read";
        return false;
    }
    if (compression == 4 || compression == 5) {
        *reason = std::string("unsupported BMP: a ") + (compression == 4 ? "JPEG" : "PNG") +
                  " inside a BMP; read that " + (compression == 4 ? "JPEG" : "PNG") + " itself";
        return false;
    }
    if (compression != 0 && !(compression == 3 && (bits == 16 || bits == 32))) {
        *reason = "unsupported BMP: compression " + std::to_string(compression) + " with " +
                  std::to_string(bits) + " bits a pixel";
        return false;
    }
    return true;
}

bool ReadBmpHeader(PictureSource* source, PictureHeader* header, BmpLayout* layout,
                   std::string* reason) {
    header->format = PictureFormat::Bmp;
    unsigned char bytes[54 + 16] = {};
    const size_t got = source->Read(bytes, sizeof bytes);
    const uint32_t dataOffset = LittleEndian32(bytes + 10), size = LittleEndian32(bytes + 14);
    if (got < 26 || (size != 12 && got < 54)) {
        *reason = "damaged BMP: the file ends inside its header";
        return false;
    }
    BmpFields fields;
    if (!ReadBmpFields(bytes, size, &fields, reason))
        return false;
    const int64_t width = fields.width, height = fields.height;
    header->width = width;
    header->height = height < 0 ? -height : height;
    header->bitsPerSample = 8;
    if (width <= 0 || height == 0 || height == INT32_MIN) {
        *reason = "damaged BMP: its header gives a width of " + std::to_string(width) +
                  " and a height of " + std::to_string(height);
        return false;
    }
    if (!BmpEncodingReadable(fields, reason))
        return false;
    // Whether 32-bit pixels carry alpha depends on masks the decoder reads: it says (see
    // PictureReader::Open).
    header->channels = fields.bits == 32 ? 4 : 3;
    // Rows are padded to 4 bytes. Pictures too large to count this way are refused by size.
    const int64_t rowBytes = (width * int64_t(fields.bits) + 31) / 32 * 4;
    layout->headerSize = size;
    layout->bits = fields.bits;
    layout->dataOffset = dataOffset;
    layout->topDown = height < 0;
    layout->bytesNeeded = header->height <= (int64_t(1) << 40) / rowBytes
                              ? int64_t(dataOffset) + rowBytes * header->height
                              : 0;
    if (dataOffset < 14 + size) {
        *reason = "damaged BMP: its pixels start at byte " + std::to_string(dataOffset) +
                  ", inside its header";
        return false;
    }
    return true;
}
