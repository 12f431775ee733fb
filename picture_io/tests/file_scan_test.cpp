// The file scans that the Windows readers rest on (file_scan.h), held against the native
// readers on the same files: the same header, colour chunks and orientation for every file the
// native reader takes, and a refusal, at the same step, for the damage the scans are there to
// find.
#include <gtest/gtest.h>
#include <stdio.h>
#include <zlib.h>

// jpeglib.h needs size_t and FILE before it.
#include <jpeglib.h>

#include <string>
#include <vector>

#include "file_scan.h"

namespace picture_io {
namespace {

// ---- Files written byte by byte ----------------------------------------------------------------

std::string Big(uint32_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += char(value >> (8 * i) & 0xFF);
    return out;
}

std::string PngChunk(const std::string& type, const std::string& data) {
    const std::string body = type + data;
    return Big(uint32_t(data.size()), 4) + body +
           Big(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))),
               4);
}

std::string Compressed(const std::string& raw) {
    uLongf size = compressBound(uLong(raw.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(raw.data()),
             uLong(raw.size()));
    out.resize(size);
    return out;
}

std::string Ihdr(uint32_t w, uint32_t h, int depth, int colourType, bool interlaced) {
    return PngChunk("IHDR",
                    Big(w, 4) + Big(h, 4) +
                        std::string{char(depth), char(colourType), 0, 0, char(interlaced ? 1 : 0)});
}

// The raw rows of a picture of zero samples, with filter type `filter` on each row.
std::string ZeroRows(uint32_t w, uint32_t h, int bitsPerPixel, bool interlaced, char filter = 0) {
    std::string raw;
    auto rows = [&](uint32_t pw, uint32_t ph) {
        for (uint32_t y = 0; pw != 0 && y < ph; ++y)
            raw += filter + std::string((pw * bitsPerPixel + 7) / 8, '\0');
    };
    if (!interlaced) {
        rows(w, h);
    } else {
        const uint32_t x0[7] = {0, 4, 0, 2, 0, 1, 0}, dx[7] = {8, 8, 4, 4, 2, 2, 1};
        const uint32_t y0[7] = {0, 0, 4, 0, 2, 0, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
        for (int p = 0; p < 7; ++p)
            rows(w > x0[p] ? (w - x0[p] + dx[p] - 1) / dx[p] : 0,
                 h > y0[p] ? (h - y0[p] + dy[p] - 1) / dy[p] : 0);
    }
    return raw;
}

const char Signature[] = "\x89PNG\r\n\x1a\n";

// A PNG of zero samples: its header, `before` the pixel data, and `after` it.
std::string Png(int depth, int colourType, bool interlaced, const std::string& before = "",
                const std::string& after = "", uint32_t w = 13, uint32_t h = 5) {
    const int samples = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    return Signature + Ihdr(w, h, depth, colourType, interlaced) + before +
           PngChunk("IDAT", Compressed(ZeroRows(w, h, depth * samples, interlaced))) + after +
           PngChunk("IEND", "");
}

// An EXIF block (as an eXIf chunk holds it) giving `orientation`, in either byte order.
std::string Exif(int orientation, bool little) {
    auto u16 = [little](uint32_t v) {
        return little ? std::string{char(v & 0xFF), char(v >> 8)} : Big(v, 2);
    };
    auto u32 = [little, &u16](uint32_t v) {
        return little ? u16(v & 0xFFFF) + u16(v >> 16) : Big(v, 4);
    };
    return std::string(little ? "II" : "MM") + u16(42) + u32(8) + u16(2) + u16(0x010F) + u16(2) +
           u32(4) + "abc" + '\0' + u16(0x0112) + u16(3) + u32(1) + u16(uint32_t(orientation)) +
           u16(0) + u32(0);
}

// A JPEG encoded by libjpeg: `components` 1, 3 or 4 (CMYK, with an Adobe segment), each
// `restart` MCUs a restart marker, progressive or arithmetic-coded as asked.
std::string Jpeg(int components, int restart = 0, bool progressive = false,
                 bool arithmetic = false) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = 40;
    info.image_height = 24;
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&info);
    info.restart_interval = restart;
    info.arith_code = arithmetic;
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(40 * components);
    for (unsigned y = 0; y < 24; ++y) {
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = JSAMPLE((i * 7 + y * 13) & 0xFF);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string out(reinterpret_cast<char*>(buffer), size);
    free(buffer);
    return out;
}

std::string Segment(int marker, const std::string& data) {
    return std::string{char(0xFF), char(marker)} + Big(uint32_t(data.size() + 2), 2) + data;
}

// `jpeg` with `segments` right after its start marker.
std::string WithSegments(const std::string& jpeg, const std::string& segments) {
    return jpeg.substr(0, 2) + segments + jpeg.substr(2);
}

// An ICC profile's APP2 segment: part `sequence` of `count`.
std::string IccSegment(int sequence, int count, const std::string& part) {
    return Segment(0xE2, std::string("ICC_PROFILE\0", 12) + char(sequence) + char(count) + part);
}

// ---- The two readings
// ----------------------------------------------------------------------------

struct Reading {
    bool opened = false, decoded = false;
    Header header;
    std::vector<Chunk> colour;
    std::string reason;
};

Reading Native(const std::string& bytes) {
    Reading reading;
    FILE* file = tmpfile();
    fwrite(bytes.data(), 1, bytes.size(), file);
    rewind(file);
    Reader reader;
    reading.opened = reader.Open(file, &reading.reason);
    reading.header = reader.header();
    Picture picture;
    reading.decoded = reading.opened && reader.Decode(&picture, &reading.reason);
    reading.colour = picture.colour;
    return reading;
}

// As the Windows readers use the scans: a size given before the damage opens the file, and the
// damage comes with decoding.
Reading Scanned(const std::string& bytes) {
    Reading reading;
    const unsigned char* file = reinterpret_cast<const unsigned char*>(bytes.data());
    std::string reason;
    bool whole;
    Metadata metadata;
    if (bytes[0] == char(0x89)) {
        PngScan scan;
        whole = ScanPng(file, bytes.size(), &scan, &reason) && CheckPngData(file, scan, &reason);
        reading.opened = scan.width != 0;
        reading.header = HeaderOf(scan);
        metadata = scan.metadata;
    } else {
        JpegScan scan;
        whole = ScanJpeg(file, bytes.size(), &scan, &reason);
        reading.opened = scan.width != 0;
        reading.header = HeaderOf(scan);
        metadata = scan.metadata;
    }
    reading.decoded = whole;
    reading.reason = reason;
    if (whole)
        reading.colour = metadata.colour;
    return reading;
}

// Both take the file, with the same header, orientation and colour chunks (the native
// reader's header is upright: turned a quarter for orientations 5 to 8).
void ExpectSameReading(const std::string& bytes, const std::string& what) {
    const Reading native = Native(bytes);
    Reading scanned = Scanned(bytes);
    if (scanned.header.orientation >= 5)
        std::swap(scanned.header.width, scanned.header.height);
    ASSERT_TRUE(native.decoded) << what << ": native: " << native.reason;
    ASSERT_TRUE(scanned.decoded) << what << ": scanned: " << scanned.reason;
    EXPECT_EQ(scanned.header.width, native.header.width) << what;
    EXPECT_EQ(scanned.header.height, native.header.height) << what;
    EXPECT_EQ(scanned.header.channels, native.header.channels) << what;
    EXPECT_EQ(scanned.header.bitDepth, native.header.bitDepth) << what;
    EXPECT_EQ(scanned.header.orientation, native.header.orientation) << what;
    EXPECT_TRUE(scanned.colour == native.colour)
        << what << ": " << native.colour.size() << " chunks natively, " << scanned.colour.size();
}

// Both refuse the file, and both at the same step: at opening, or after the header gave the
// size.
void ExpectBothRefuse(const std::string& bytes, const std::string& what) {
    const Reading native = Native(bytes), scanned = Scanned(bytes);
    EXPECT_FALSE(native.decoded) << what << ": the native reader takes it";
    EXPECT_FALSE(scanned.decoded) << what << ": the scan takes it";
    EXPECT_EQ(scanned.opened, native.opened)
        << what << ": native \"" << native.reason << "\", scanned \"" << scanned.reason << "\"";
    EXPECT_TRUE(scanned.reason.rfind("damaged ", 0) == 0 ||
                scanned.reason.rfind("unsupported ", 0) == 0)
        << what << ": " << scanned.reason;
}

// ---- PNG ---------------------------------------------------------------------------------------

TEST(PngScan, GivesTheNativeHeaderForEveryColourTypeDepthAndTransparency) {
    const int depths[5][6] = {{1, 2, 4, 8, 16}, {}, {8, 16}, {1, 2, 4, 8}, {8, 16}};
    for (int type : {0, 2, 3, 4, 6})
        for (int depth : depths[type == 6 ? 4 : type])
            for (bool interlaced : {false, true})
                for (bool transparency : {false, true}) {
                    if (depth == 0 || (transparency && (type == 4 || type == 6)))
                        continue;
                    std::string before = type == 3 ? PngChunk("PLTE", std::string(6, '\x40')) : "";
                    if (transparency)
                        before += PngChunk("tRNS", type == 3   ? std::string(1, '\0')
                                                   : type == 0 ? Big(0, 2)
                                                               : std::string(6, '\0'));
                    ExpectSameReading(Png(depth, type, interlaced, before),
                                      "type " + std::to_string(type) + " depth " +
                                          std::to_string(depth) + (interlaced ? " Adam7" : "") +
                                          (transparency ? " tRNS" : ""));
                }
}

TEST(PngScan, KeepsTheColourChunksBeforeThePixelsInFileOrderAndTheLastOrientation) {
    const std::string gama = PngChunk("gAMA", Big(45455, 4));
    const std::string chrm = PngChunk("cHRM", std::string(32, '\x07'));
    const std::string iccp = PngChunk("iCCP", std::string("name\0\0", 6) + Compressed("profile"));
    const std::string srgb = PngChunk("sRGB", std::string(1, '\0'));
    const std::string phys = PngChunk("pHYs", Big(2835, 4) + Big(2835, 4) + '\x01');
    const std::string text = PngChunk("tEXt", std::string("Comment\0hello", 13));
    const std::string palette = PngChunk("PLTE", std::string(9, '\x20'));
    ExpectSameReading(Png(8, 2, false, phys + text + gama + chrm + iccp + srgb),
                      "all five, with text between");
    ExpectSameReading(Png(8, 2, false, gama + gama + phys, srgb + gama), "repeated, and after");
    ExpectSameReading(Png(4, 3, false, gama + palette + iccp + PngChunk("tRNS", "\x10")),
                      "around a palette");
    for (bool little : {false, true})
        for (int orientation = 1; orientation <= 8; ++orientation) {
            const std::string exif = PngChunk("eXIf", Exif(orientation, little));
            ExpectSameReading(Png(8, 0, false, PngChunk("eXIf", Exif(3, !little)) + gama + exif),
                              "orientation " + std::to_string(orientation));
        }
    ExpectSameReading(Png(8, 6, false, PngChunk("eXIf", "Exif\0\0" + Exif(6, true))),
                      "eXIf with the JPEG segment's header");
    ExpectSameReading(Png(8, 0, false, "", PngChunk("eXIf", Exif(6, true))),
                      "eXIf after the pixels");
    EXPECT_EQ(Scanned(Png(8, 0, false, PngChunk("eXIf", Exif(6, false)))).header.orientation, 6);
}

TEST(PngScan, RefusesWhatTheNativeReaderRefusesAtTheSameStep) {
    std::string crcInText = Png(8, 2, false, PngChunk("tEXt", std::string("a\0b", 3)));
    crcInText[8 + 25 + 12] ^= 1;
    std::string crcInData = Png(8, 2, false);
    crcInData[crcInData.size() - 13] ^= 1;
    std::string crcInHeader = Png(8, 2, false);
    crcInHeader[29] ^= 1;
    const std::string whole = Png(8, 2, false);
    const std::string header = Signature + Ihdr(13, 5, 8, 2, false);
    const std::string end = PngChunk("IEND", "");
    const std::string rows = ZeroRows(13, 5, 24, false);
    ExpectBothRefuse(crcInText, "a checksum in an ancillary chunk");
    ExpectBothRefuse(crcInData, "a checksum in the pixel data");
    ExpectBothRefuse(crcInHeader, "a checksum in the header");
    for (size_t cut : {size_t(20), size_t(40), whole.size() - 30, whole.size() - 8})
        ExpectBothRefuse(whole.substr(0, cut), "cut at " + std::to_string(cut));
    ExpectBothRefuse(header + PngChunk("IDAT", Compressed(rows + rows)) + end, "too many rows");
    ExpectBothRefuse(header + PngChunk("IDAT", Compressed(rows.substr(0, 30))) + end,
                     "too few rows");
    ExpectBothRefuse(header + PngChunk("IDAT", Compressed(rows) + "more") + end,
                     "bytes after the compressed stream");
    // A second stream after the first has ended is not read by either.
    ExpectSameReading(header + PngChunk("IDAT", Compressed(rows)) +
                          PngChunk("IDAT", Compressed("x")) + end,
                      "a second stream");
    ExpectBothRefuse(header + PngChunk("IDAT", Compressed(ZeroRows(13, 5, 24, false, 5))) + end,
                     "filter type 5");
    std::string noise = rows;
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = i % 40 == 0 ? '\0' : char(i * 7919 % 251);
    const std::string noisy = Compressed(noise);
    ASSERT_GT(noisy.size(), 100u);
    ExpectSameReading(header + PngChunk("IDAT", noisy) + end, "noisy rows");
    ExpectBothRefuse(header + PngChunk("IDAT", noisy.substr(0, noisy.size() - 40)) + end,
                     "a stream cut short");
    ExpectBothRefuse(header + PngChunk("IDAT", noisy.substr(0, noisy.size() - 4)) + end,
                     "a stream without its checksum");
    const std::string split = Compressed(rows);
    ExpectBothRefuse(header + PngChunk("IDAT", split.substr(0, 10)) + PngChunk("tEXt", "a") +
                         PngChunk("IDAT", split.substr(10)) + end,
                     "pixel data split by a chunk");
    ExpectBothRefuse(Png(8, 3, false), "a palette picture without its palette");
    ExpectBothRefuse(Png(8, 2, false, PngChunk("tRNS", Big(0, 2))), "tRNS of the wrong length");
    ExpectBothRefuse(Png(8, 6, false, PngChunk("tRNS", std::string(6, '\0'))), "tRNS with alpha");
    ExpectBothRefuse(Png(8, 0, false, PngChunk("PLTE", std::string(6, '\0'))),
                     "a palette in a grey picture");
    ExpectBothRefuse(Png(8, 2, false, PngChunk("CRIT", "x")), "an unknown critical chunk");
    ExpectBothRefuse(Signature + Ihdr(13, 5, 16, 3, false) + end, "palette at 16 bits");
    ExpectBothRefuse(Signature + Ihdr(0, 5, 8, 2, false) + end, "width 0");
    ExpectBothRefuse(Signature + end, "no header");
    ExpectBothRefuse(header + end, "no pixel data");
}

// ---- JPEG --------------------------------------------------------------------------------------

TEST(JpegScan, GivesTheNativeHeaderForEachKindOfJpeg) {
    for (int components : {1, 3, 4}) {
        const std::string name = std::to_string(components) + " components";
        ExpectSameReading(Jpeg(components), name);
        ExpectSameReading(Jpeg(components, 2), name + ", restart markers");
        ExpectSameReading(Jpeg(components, 0, true), name + ", progressive");
        ExpectSameReading(Jpeg(components, 1, true, true), name + ", arithmetic-coded");
    }
    JpegScan scan;
    std::string reason;
    const std::string cmyk = Jpeg(4);
    ASSERT_TRUE(
        ScanJpeg(reinterpret_cast<const unsigned char*>(cmyk.data()), cmyk.size(), &scan, &reason));
    EXPECT_TRUE(scan.adobe) << "libjpeg writes CMYK with an Adobe segment";
}

TEST(JpegScan, TakesTheFirstExifOrientationAndTheProfileInSequenceOrder) {
    const std::string jpeg = Jpeg(3);
    const std::string xmp = Segment(0xE1, "http://ns.adobe.com/xap/1.0/\0<x/>");
    for (bool little : {false, true})
        for (int orientation = 1; orientation <= 8; ++orientation)
            ExpectSameReading(
                WithSegments(jpeg, xmp + Segment(0xE1, "Exif\0\0" + Exif(orientation, little)) +
                                       Segment(0xE1, "Exif\0\0" + Exif(2, little))),
                "orientation " + std::to_string(orientation));
    std::string profile;
    for (int i = 0; i < 150000; ++i)
        profile += char(i * 31 % 251);
    const std::string a = profile.substr(0, 65000), b = profile.substr(65000, 65000),
                      c = profile.substr(130000);
    ExpectSameReading(WithSegments(jpeg, IccSegment(1, 1, profile.substr(0, 3000))), "one part");
    ExpectSameReading(
        WithSegments(jpeg, IccSegment(1, 3, a) + IccSegment(2, 3, b) + IccSegment(3, 3, c)),
        "three parts in order");
    ExpectSameReading(
        WithSegments(jpeg, IccSegment(3, 3, c) + IccSegment(1, 3, a) + xmp + IccSegment(2, 3, b)),
        "three parts out of order");
    ExpectSameReading(WithSegments(jpeg, Segment(0xE2, "MPF\0other")),
                      "an APP2 that is no profile");
    EXPECT_EQ(Scanned(WithSegments(jpeg, IccSegment(1, 1, "p"))).colour.size(), 1u);
}

TEST(JpegScan, RefusesWhatTheNativeReaderRefusesAtTheSameStep) {
    const std::string jpeg = Jpeg(3, 1);
    const size_t scanStart = jpeg.find("\xFF\xDA");
    ASSERT_NE(scanStart, std::string::npos);
    ExpectBothRefuse(jpeg.substr(0, jpeg.size() - 2), "no end marker");
    ExpectBothRefuse(jpeg.substr(0, jpeg.size() / 2), "cut in the scan");
    ExpectBothRefuse(jpeg.substr(0, scanStart - 30), "cut before the scan");
    ExpectBothRefuse(jpeg.substr(0, 2) + "xy" + jpeg.substr(2), "stray bytes before a marker");
    std::string swapped = jpeg;
    const size_t first = swapped.find("\xFF\xD0", scanStart),
                 second = swapped.find("\xFF\xD1", scanStart);
    ASSERT_TRUE(first != std::string::npos && second != std::string::npos);
    std::swap(swapped[first + 1], swapped[second + 1]);
    ExpectBothRefuse(swapped, "restart markers out of order");
    ExpectBothRefuse(WithSegments(jpeg, IccSegment(1, 2, "a")), "a profile part missing");
    ExpectBothRefuse(WithSegments(jpeg, IccSegment(1, 2, "a") + IccSegment(1, 2, "b")),
                     "a profile part repeated");
    ExpectBothRefuse(WithSegments(jpeg, IccSegment(1, 2, "a") + IccSegment(2, 3, "b")),
                     "profile parts counting differently");
    ExpectBothRefuse(WithSegments(jpeg, IccSegment(0, 1, "a")), "a profile part numbered 0");
    ExpectBothRefuse(jpeg.substr(0, 2) + Segment(0xE0, "JFIF") + "\xFF\xD9", "no frame");
}

} // namespace
} // namespace picture_io
