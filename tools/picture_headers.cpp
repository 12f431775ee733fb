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

bool ReadPngHeader(PictureSource* source, PictureHeader* header, PngLayout* layout,
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

    // The chunks up to the image data: the palette and the transparency, if any. A file that
    // ends before its data is damaged, but its header measures it: that is said on decoding,
    // after the size has been checked.
    bool transparency = false;
    for (;;) {
        unsigned char chunk[8];
        const int64_t at = source->position;
        if (source->Read(chunk, 8) != 8) {
            layout->damage = "damaged PNG: the file ends before its image data";
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
                layout->damage = "damaged PNG: the file ends before its image data";
                break;
            }
            if (palette) {
                layout->paletteSize = int(length / 3);
                for (int i = 0; i < layout->paletteSize; ++i)
                    layout->palette[i] = 0xFF000000u | uint32_t(data[3 * i]) << 16 |
                                         uint32_t(data[3 * i + 1]) << 8 | data[3 * i + 2];
            } else if (layout->colourType == 3) {
                transparency = true;
                for (uint32_t i = 0; i < length && i < 256; ++i)
                    layout->palette[i] = (layout->palette[i] & 0x00FFFFFFu) | uint32_t(data[i])
                                                                                  << 24;
            } else if (layout->colourType == 0 && length >= 2) {
                transparency = layout->transparencyKey = true;
                layout->key[0] = uint16_t(BigEndian16(data));
            } else if (layout->colourType == 2 && length >= 6) {
                transparency = layout->transparencyKey = true;
                for (int c = 0; c < 3; ++c)
                    layout->key[c] = uint16_t(BigEndian16(data + 2 * c));
            }
            if (!source->Skip(4)) { // CRC
                layout->damage = "damaged PNG: the file ends before its image data";
                break;
            }
        } else if (!source->Skip(int64_t(length) + 4)) {
            layout->damage = "damaged PNG: the file ends before its image data";
            break;
        }
    }
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

bool ReadJpegHeader(PictureSource* source, PictureHeader* header, std::string* reason) {
    header->format = PictureFormat::Jpeg;
    const std::string cut = "damaged JPEG: the file ends before its frame header";
    if (!source->Seek(2)) {
        *reason = cut;
        return false;
    }
    for (;;) {
        unsigned char marker[2];
        if (source->Read(marker, 2) != 2) {
            *reason = cut;
            return false;
        }
        if (marker[0] != 0xFF) {
            *reason = "damaged JPEG: no marker where one belongs";
            return false;
        }
        while (marker[1] == 0xFF) // fill bytes
            if (source->Read(marker + 1, 1) != 1) {
                *reason = cut;
                return false;
            }
        const int type = marker[1];
        if (type == 0x01 || (type >= 0xD0 && type <= 0xD7))
            continue; // markers without a segment
        if (type == 0xD9 || type == 0xDA || type == 0xD8) {
            *reason = "damaged JPEG: no frame header before its image data";
            return false;
        }
        unsigned char lengthBytes[2];
        if (source->Read(lengthBytes, 2) != 2) {
            *reason = cut;
            return false;
        }
        const uint32_t length = BigEndian16(lengthBytes);
        if (length < 2) {
            *reason = "damaged JPEG: a segment of " + std::to_string(length) + " bytes";
            return false;
        }
        const bool frame =
            type >= 0xC0 && type <= 0xCF && type != 0xC4 && type != 0xC8 && type != 0xCC;
        if (type == 0xC4) { // Huffman tables: checked before the decoder builds them
            std::vector<unsigned char> tables(length - 2);
            if (source->Read(tables.data(), tables.size()) != tables.size()) {
                *reason = cut;
                return false;
            }
            unsigned defined = 0;
            if (!HuffmanTablesValid(tables.data(), tables.size(), &defined)) {
                *reason = "damaged JPEG: a malformed Huffman table";
                return false;
            }
            continue;
        }
        if (!frame) {
            if (!source->Skip(length - 2)) {
                *reason = cut;
                return false;
            }
            continue;
        }
        unsigned char sof[6]; // precision, height, width, components
        if (length < 8 || source->Read(sof, 6) != 6) {
            *reason = length < 8 ? "damaged JPEG: a frame header too short" : cut;
            return false;
        }
        header->width = BigEndian16(sof + 3);
        header->height = BigEndian16(sof + 1);
        header->bitsPerSample = sof[0];
        const int components = sof[5];
        if (type != 0xC0 && type != 0xC1 && type != 0xC2) {
            *reason = std::string("unsupported JPEG: ") +
                      (type == 0xC3 || type == 0xC7 || type == 0xCB || type == 0xCF ? "lossless"
                       : type >= 0xC9 ? "arithmetic-coded"
                                      : "hierarchical") +
                      " (baseline and progressive JPEGs are read)";
            return false;
        }
        if (header->width == 0 || header->height == 0) {
            *reason = "unsupported JPEG: its frame header gives " +
                      Dimensions(header->width, header->height);
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
}

// ---- BMP ----------------------------------------------------------------------------------------

bool ReadBmpHeader(PictureSource* source, PictureHeader* header, int64_t* bytesNeeded,
                   std::string* reason) {
    header->format = PictureFormat::Bmp;
    unsigned char bytes[54 + 16] = {};
    const size_t got = source->Read(bytes, sizeof bytes);
    const uint32_t dataOffset = LittleEndian32(bytes + 10), size = LittleEndian32(bytes + 14);
    if (got < 26 || (size != 12 && got < 54)) {
        *reason = "damaged BMP: the file ends inside its header";
        return false;
    }
    int64_t width, height;
    uint32_t planes, bits, compression = 0;
    if (size == 12) { // the oldest header: 16-bit dimensions, no compression
        width = LittleEndian16(bytes + 18);
        height = LittleEndian16(bytes + 20);
        planes = LittleEndian16(bytes + 22);
        bits = LittleEndian16(bytes + 24);
    } else if (size == 40 || size == 56 || size == 108 || size == 124) {
        width = int32_t(LittleEndian32(bytes + 18));
        height = int32_t(LittleEndian32(bytes + 22)); // negative: rows from the top down
        planes = LittleEndian16(bytes + 26);
        bits = LittleEndian16(bytes + 28);
        compression = LittleEndian32(bytes + 30);
    } else {
        *reason = "unsupported BMP: a header of " + std::to_string(size) +
                  " bytes (12, 40, 56, 108 and 124 are read)";
        return false;
    }
    header->width = width;
    header->height = height < 0 ? -height : height;
    header->bitsPerSample = 8;
    if (width <= 0 || height == 0 || height == INT32_MIN) {
        *reason = "damaged BMP: its header gives a width of " + std::to_string(width) +
                  " and a height of " + std::to_string(height);
        return false;
    }
    if (planes != 1) {
        *reason = "damaged BMP: " + std::to_string(planes) + " planes";
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
    // Whether 32-bit pixels carry alpha depends on masks the decoder reads: it says (see
    // PictureReader::Open).
    header->channels = bits == 32 ? 4 : 3;
    // Rows are padded to 4 bytes. Pictures too large to count this way are refused by size.
    const int64_t rowBytes = (width * int64_t(bits) + 31) / 32 * 4;
    *bytesNeeded = header->height <= (int64_t(1) << 40) / rowBytes
                       ? int64_t(dataOffset) + rowBytes * header->height
                       : 0;
    return true;
}
