// picture_io read in-process: damaged PNGs and BMPs of every kind refused with their reason, the
// header read before any pixel, the EXIF orientation found wherever the TIFF block puts it, and
// painted 16-bit and grey pictures kept true to their paint. Every kind of picture read whole,
// upright and at its depth is held by the corpus test through region_grow
// (region_grow/tests/corpus_test.py).
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "picture_bytes.h"
#include "picture_io.h"

namespace {

struct Read {
    bool opened = false, decoded = false;
    picture_io::Header header;
    picture_io::Picture picture;
    std::string reason;
};

// Reads `bytes` as a picture file read straight through, as a pipe hands it over.
Read ReadBytes(const std::string& bytes) {
    Read read;
    FILE* file = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
    if (file == nullptr) {
        read.reason = "fmemopen failed";
        return read;
    }
    picture_io::Reader reader;
    read.opened = reader.Open(file, &read.reason);
    read.header = reader.header();
    read.decoded = read.opened && reader.Decode(&read.picture, &read.reason);
    return read;
}

// A 6 x 4 palette PNG whose indices run 0 to `highest` over a palette of `entries` colours.
std::string PalettePng(int entries, int highest, const std::string& more = "") {
    std::string palette, rows;
    for (int i = 0; i < entries; ++i)
        palette += {char(255 - i), char(i * 20), char(i * 40)};
    for (int y = 0; y < 4; ++y) {
        rows += '\0';
        for (int x = 0; x < 6; ++x)
            rows += char((x + 6 * y) % (highest + 1));
    }
    return Png(6, 4, 8, 3, false, rows, PngChunk("PLTE", palette) + more);
}

// The byte at `at` changed, and nothing else (a checksum that no longer matches).
std::string Flipped(std::string bytes, size_t at) {
    bytes[at] = char(bytes[at] ^ 0x40);
    return bytes;
}

// A chunk of `png` replaced by one of the same type holding `data`, with its checksum right.
std::string Replaced(const std::string& png, const char* type, const std::string& data) {
    const size_t at = png.find(type) - 4;
    const uint32_t length = BigEndian32(png, at);
    return png.substr(0, at) + PngChunk(type, data) + png.substr(at + 12 + length);
}

// A damaged picture, and part of the reason it must be refused with.
struct Case {
    const char* what;
    std::string bytes;
    const char* reason;
};

void ExpectRefused(const Case& c, const std::string& start) {
    SCOPED_TRACE(c.what);
    Read read = ReadBytes(c.bytes);
    EXPECT_FALSE(read.decoded);
    EXPECT_EQ(read.reason.rfind(start, 0), 0u) << read.reason;
    EXPECT_NE(read.reason.find(c.reason), std::string::npos) << read.reason;
    EXPECT_TRUE(read.picture.pixels.empty());
}

TEST(PngReading, DamagedPngsAreRefusedSayingWhy) {
    const std::string good = PalettePng(24, 23);
    ASSERT_TRUE(ReadBytes(good).decoded) << ReadBytes(good).reason;
    const size_t palette = good.find("PLTE") + 4, data = good.find("IDAT") + 4;
    std::string rows; // 6 x 4 palette rows, each with its filter byte
    for (int y = 0; y < 4; ++y)
        rows += '\0' + std::string(6, char(y));
    const std::string transparent = PalettePng(24, 23, PngChunk("tRNS", std::string(24, 'x')));
    std::string badStream = Compressed(rows);
    badStream[2] = char(0xFF); // an impossible block type right after the zlib header
    const Case cases[] = {
        {"a palette byte changed (red 255 would read as 191)", Flipped(good, palette), "CRC"},
        {"a header byte changed", Flipped(good, 16), "CRC"},
        {"an image data byte changed", Flipped(good, data + 3), ""},
        {"a transparency chunk's checksum wrong",
         Flipped(transparent, transparent.find("tRNS") + 6), "CRC"},
        {"a text chunk's checksum wrong",
         Flipped(Png(6, 4, 8, 0, false, std::string(28, '\0'), PngChunk("tEXt", "Title\0x")), 45),
         "CRC"},
        {"a palette index past the palette", PalettePng(20, 23), "colour 20 of a palette of 20"},
        {"a bad zlib stream", Replaced(good, "IDAT", badStream), ""},
        {"image data for five rows of four",
         Replaced(good, "IDAT", Compressed(rows + rows.substr(7))), ""},
        {"image data for three rows of four", Replaced(good, "IDAT", Compressed(rows.substr(7))),
         "Not enough image data"},
        {"cut inside its image data", good.substr(0, data + 10), "the file ends early"},
        {"cut before its end chunk", good.substr(0, good.size() - 12), "the file ends early"},
    };
    for (const Case& c : cases)
        ExpectRefused(c, "damaged PNG: ");
}

// Metadata the pixels do not need is passed over, whatever it holds and however big: only its
// checksum counts.
TEST(PngReading, MetadataThePixelsDoNotNeedNeverRefusesAPicture) {
    const std::string xmp = "XML:com.adobe.xmp" + std::string(5, '\0') + std::string(9 << 20, 'x');
    const std::string odd = PngChunk("tEXt", std::string("bad\x01keyword\0v", 13)) +
                            PngChunk("tIME", "short") + PngChunk("bKGD", "");
    for (const std::string& between : {PngChunk("iTXt", xmp), odd}) {
        Read read = ReadBytes(Png(6, 4, 8, 0, false, std::string(28, '\0'), between));
        EXPECT_TRUE(read.decoded) << read.reason;
    }
}

// A header that claims a big picture is read, so that the caller can refuse its size, before the
// damage the decoder finds: nothing of the picture's size exists before Decode.
TEST(PngReading, TheHeaderAloneGivesTheSizeAndTheDamageComesWithDecoding) {
    const std::string header = Png(16384, 16000, 16, 6, false, "").substr(0, 33);
    Read read = ReadBytes(header);
    ASSERT_TRUE(read.opened) << read.reason;
    EXPECT_EQ(read.header.width, 16384);
    EXPECT_EQ(read.header.height, 16000);
    EXPECT_EQ(read.header.bitDepth, 16);
    std::string reason;
    EXPECT_FALSE(picture_io::CheckSize(read.header, 1 << 20, "--max-pixels", &reason));
    EXPECT_NE(reason.find("16384 x 16000 pixels is too large (the limit is 1048576 pixels, set by "
                          "--max-pixels)"),
              std::string::npos)
        << reason;
    EXPECT_FALSE(read.decoded);
    EXPECT_EQ(read.reason, "damaged PNG: the file ends early");
}

TEST(BmpReading, DamagedRunLengthsAndBitFieldsAreRefusedSayingWhy) {
    // A 4 x 2 RLE8 BMP with a palette of two colours, given its run-length data.
    auto rle = [](const std::string& runs) {
        std::string bmp = Bmp(4, 2, 8, 1, 0);
        bmp.resize(54);
        bmp += std::string("\x10\x20\x30\0\x40\x50\x60\0", 8) + runs;
        bmp[10] = 54 + 8; // the pixels after the palette
        return bmp;
    };
    const std::string end("\0\1", 2), rowEnd("\0\0", 2);
    const Read whole = ReadBytes(rle("\4\1" + rowEnd + std::string("\4\0", 2) + rowEnd + end));
    ASSERT_TRUE(whole.decoded) << whole.reason;
    // Runs past the last column (a writer's padded rows) are dropped.
    const Read padded =
        ReadBytes(rle(std::string("\6\1", 2) + rowEnd + std::string("\0\6\0\0\0\0\1\1", 8) + end));
    ASSERT_TRUE(padded.decoded) << padded.reason;
    EXPECT_EQ(padded.picture.pixels, whole.picture.pixels);
    // 16-bit bit fields in a 40-byte header, the masks right after it.
    auto fields = [](uint32_t red, uint32_t green, uint32_t blue) {
        std::string bmp = Bmp(2, 1, 16, 3, 0).substr(0, 54);
        for (uint32_t mask : {red, green, blue})
            LittleEndian(&bmp, mask, 4);
        bmp[10] = 54 + 12;
        return bmp + std::string(4, '\x5a');
    };
    ASSERT_TRUE(ReadBytes(fields(0xF800, 0x07E0, 0x001F)).decoded);
    const Case cases[] = {
        {"a run past the last row",
         rle("\4\1" + rowEnd + std::string("\4\0", 2) + rowEnd + "\1\1" + end),
         "past the last row"},
        {"an index past the palette", rle("\4\2" + end), "colour 2 of a palette of 2"},
        {"a literal index past the palette", rle(std::string("\0\3\1\7\1\0", 6) + end),
         "colour 7 of a palette of 2"},
        {"a move past the picture", rle(std::string("\0\2\0\3", 4) + end),
         "moves past the picture"},
        {"no end of the picture", rle("\4\1" + rowEnd), "the file ends inside its pixels"},
        {"overlapping bit fields", fields(0xFC00, 0x07E0, 0x001F), "overlap"},
        {"a bit field in two runs", fields(0xF00F, 0x07E0, 0x0000), "not in one run"},
        {"a bit field past 16 bits", fields(0x1F0000, 0x07E0, 0x001F), "outside the pixel"},
    };
    for (const Case& c : cases)
        ExpectRefused(c, "damaged BMP: ");
}

// A TIFF structure of one directory holding `entries` (tag, type, count, value), in either order.
std::string Tiff(bool little, const std::vector<std::vector<uint32_t>>& entries) {
    std::string tiff = little ? "II" : "MM";
    auto put = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            tiff += char(value >> (8 * (little ? i : bytes - 1 - i)) & 0xFF);
    };
    put(42, 2), put(8, 4), put(uint32_t(entries.size()), 2);
    for (const std::vector<uint32_t>& e : entries)
        put(e[0], 2), put(e[1], 2), put(e[2], 4), put(e[3], 2), put(0, 2);
    put(0, 4);
    return tiff;
}

int Orientation(const std::string& tiff) {
    return picture_io::ExifOrientation(reinterpret_cast<const unsigned char*>(tiff.data()),
                                       tiff.size());
}

TEST(ExifOrientation, FoundInEitherByteOrderAndAnyPlaceElseOne) {
    for (bool little : {true, false}) {
        SCOPED_TRACE(little ? "little-endian" : "big-endian");
        for (uint32_t value = 1; value <= 8; ++value)
            EXPECT_EQ(Orientation(Tiff(little, {{0x0112, 3, 1, value}})), int(value));
        EXPECT_EQ(Orientation(Tiff(little, {{0x0100, 3, 1, 640}, {0x0112, 3, 1, 6}})), 6);
        EXPECT_EQ(Orientation(std::string("Exif\0\0", 6) + Tiff(little, {{0x0112, 3, 1, 8}})), 8);
        EXPECT_EQ(Orientation(Tiff(little, {{0x0112, 3, 1, 9}})), 1);
        EXPECT_EQ(Orientation(Tiff(little, {{0x0112, 4, 1, 6}})), 1); // not a SHORT
        EXPECT_EQ(Orientation(Tiff(little, {{0x0112, 3, 2, 6}})), 1);
        EXPECT_EQ(Orientation(Tiff(little, {{0x0100, 3, 1, 6}})), 1);
        const std::string cut = Tiff(little, {{0x0100, 3, 1, 6}, {0x0112, 3, 1, 6}});
        EXPECT_EQ(Orientation(cut.substr(0, cut.size() - 10)), 1); // the entry cut off
    }
    std::string farOff = Tiff(true, {{0x0112, 3, 1, 6}});
    farOff[4] = char(0xF0); // the directory past the end
    EXPECT_EQ(Orientation(farOff), 1);
    EXPECT_EQ(Orientation("II*"), 1);
}

// A 3 x 1 picture of 16-bit samples, grey or colour, with alpha or not.
picture_io::Picture Deep(bool grey, bool alpha) {
    picture_io::Picture picture;
    picture.width = 3;
    picture.height = 1;
    picture.grey = grey;
    picture.hasAlpha = alpha;
    picture.pixels.assign(3, 0);
    for (int i = 0; i < 3 * picture.Channels(); ++i)
        picture.deep.push_back(uint16_t(0x1234 + 0x0101 * i));
    return picture;
}

TEST(PaintDeep, PaintedSamplesTakeThePaintAndTheRestKeepTheirs) {
    const std::vector<uint8_t> middle = {0x02};
    picture_io::Picture grey = Deep(true, true);
    picture_io::PaintDeep(&grey, middle, 0x404040);
    EXPECT_TRUE(grey.grey);
    EXPECT_EQ(grey.deep, (std::vector<uint16_t>{0x1234, 0x1335, 0x4040, 0xFFFF, 0x1638, 0x1739}));

    picture_io::Picture coloured = Deep(true, false);
    picture_io::PaintDeep(&coloured, middle, 0xFF00FF);
    EXPECT_FALSE(coloured.grey);
    EXPECT_EQ(coloured.deep, (std::vector<uint16_t>{0x1234, 0x1234, 0x1234, 0xFFFF, 0x0000, 0xFFFF,
                                                    0x1436, 0x1436, 0x1436}));

    picture_io::Picture colour = Deep(false, true);
    picture_io::PaintDeep(&colour, {0x05}, 0x123456);
    EXPECT_EQ(colour.deep, (std::vector<uint16_t>{0x1212, 0x3434, 0x5656, 0xFFFF, 0x1638, 0x1739,
                                                  0x183A, 0x193B, 0x1212, 0x3434, 0x5656, 0xFFFF}));

    picture_io::Picture eightBit;
    eightBit.grey = true;
    eightBit.pixels.assign(3, 0);
    picture_io::PaintDeep(&eightBit, {0}, 0x00FF00);
    EXPECT_TRUE(eightBit.grey) << "nothing painted: still grey";
    picture_io::PaintDeep(&eightBit, middle, 0x00FF00);
    EXPECT_FALSE(eightBit.grey);
    EXPECT_TRUE(eightBit.deep.empty());
}

} // namespace
