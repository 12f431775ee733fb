// Pictures are accepted only when whole, measured from their headers before anything is
// decoded; memory that runs out ends a run cleanly; a click costs what it paints.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "picture_bytes.h"
#include "picture_input.h"
#include "tool_test_support.h"

namespace {

// A new folder under TMPDIR (or /tmp), its name unique to this run.
fs::path UniqueFolder(const char* prefix) {
    const char* base = getenv("TMPDIR");
    std::string pattern = (fs::path(base != nullptr && *base != '\0' ? base : "/tmp") /
                           (std::string(prefix) + "_XXXXXX"))
                              .string();
    return mkdtemp(&pattern[0]) != nullptr ? fs::path(pattern) : fs::path();
}

// ---- Tests that run the tool, each in a folder of its own ---------------------------------------

class PictureInput : public ToolTest {
  protected:
    void SetUp() override {
        dir = UniqueFolder("picture_input");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(PathOf(name), std::ios::binary) << bytes;
    }

    // Runs the tool and expects exit `code` and one line holding each of `parts`, and no output.
    void ExpectRefused(const std::vector<std::string>& args, int code,
                       const std::vector<std::string>& parts, const std::string& shell = "") {
        ToolRun run = Run(args, shell);
        EXPECT_EQ(run.exitCode, code) << run.err;
        for (const std::string& part : parts)
            EXPECT_NE(run.err.find(part), std::string::npos)
                << "no \"" << part << "\" in " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_FALSE(fs::exists(dir / "out.png"));
    }
};

// 600 MB of address space, where a decoder that allocated for these headers would fail. Not
// under AddressSanitizer, which reserves far more than that to start with.
#if defined(__SANITIZE_ADDRESS__)
const char LimitedMemory[] = "";
#else
const char LimitedMemory[] = "ulimit -v 600000;";
#endif

TEST_F(PictureInput, CutOrImpossiblePicturesAreRefusedSayingWhatTheyAre) {
    const std::string bmp = Bmp(100, 100, 24, 0, 300 * 100);
    const std::string jpeg = ReadFile(TEST_DATA_DIR "/varied.jpg");
    const std::string png = Png(40, 30, 8, 2, false, NoiseImageData(40, 30, 24, false, 1));
    // The JPEG with its first Huffman table claiming 255 codes of length 1, and with its scan
    // using DC table 3, never defined. The decoder would write, or read, past its tables.
    std::string manyCodes = jpeg, undefinedTable = jpeg;
    const size_t tables = jpeg.find("\xFF\xC4"), scan = jpeg.find("\xFF\xDA");
    ASSERT_NE(tables, std::string::npos);
    ASSERT_NE(scan, std::string::npos);
    manyCodes[tables + 5] = char(255);
    undefinedTable[scan + 6] = char(0x30 | (jpeg[scan + 6] & 15));
    // A progressive JPEG with a restart marker after every unit: its second component given
    // quantisation table 3, never defined; its first scan, of DC coefficients, made a
    // refinement, so that no scan starts the blocks; a restart marker of that scan turned into
    // a stuffed byte. The decoder would take the missing parts from memory it never wrote.
    const std::string progressive = ReadFile(TEST_DATA_DIR "/progressive_restarts.jpg");
    std::string undefinedQuantisation = progressive, noFirstDc = progressive,
                noRestarts = progressive;
    const size_t frame = progressive.find("\xFF\xC2"), firstScan = progressive.find("\xFF\xDA"),
                 restart = progressive.find("\xFF\xD0");
    ASSERT_NE(frame, std::string::npos);
    ASSERT_NE(restart, std::string::npos);
    ASSERT_LT(firstScan, restart);
    undefinedQuantisation[frame + 15] = 3;
    noFirstDc[firstScan + 7 + 2 * size_t(progressive[firstScan + 4])] = 0x11;
    noRestarts[restart + 1] = 0;
    // Palette BMPs: one indexing past its palette of 3 colours, one whose pixels start at byte
    // 3, one of the oldest header with no room for a palette.
    const std::vector<uint32_t> threeColours = {0x102030, 0x405060, 0x708090};
    const std::vector<uint8_t> indices = {0, 1, 2, 1, 0, 2, 3, 0, 1, 2};
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> parts;
    };
    const std::vector<Case> cases = {
        {"BMP cut in half", bmp.substr(0, bmp.size() / 2), {"damaged BMP"}},
        {"BMP header alone claiming 16384 x -16384", Bmp(16384, -16384, 24, 0, 0), {"damaged BMP"}},
        {"BMP of height -2^31", Bmp(10, INT32_MIN, 24, 0, 0), {"damaged BMP", "-2147483648"}},
        {"BMP of 2 bits a pixel", Bmp(10, 10, 2, 0, 100), {"unsupported BMP: 2 bits a pixel"}},
        {"PNG of 0 x 10", Png(0, 10, 8, 2, false, ""), {"damaged PNG", "width is zero"}},
        {"PNG cut inside its data", png.substr(0, png.size() - 30), {"damaged PNG"}},
        {"PNG header alone, at the limit, 16-bit RGBA",
         Png(16384, 16384, 16, 6, false, "").substr(0, 33),
         {"damaged PNG"}},
        {"PNG with bit depth 3",
         Png(4, 4, 3, 0, false, std::string(8, '\0')),
         {"damaged PNG", "bit depth"}},
        {"JPEG cut in its data", jpeg.substr(0, jpeg.size() * 2 / 3), {"damaged JPEG"}},
        {"JPEG cut in its header", jpeg.substr(0, 20), {"damaged JPEG"}},
        {"JPEG Huffman table of too many codes",
         manyCodes,
         {"damaged JPEG", "Bogus Huffman table"}},
        {"JPEG scan using an undefined table",
         undefinedTable,
         {"damaged JPEG", "Huffman table 0x03 was not defined"}},
        {"JPEG component of an undefined quantisation table",
         undefinedQuantisation,
         {"damaged JPEG", "Quantization table 0x03 was not defined"}},
        {"progressive JPEG without a first DC scan",
         noFirstDc,
         {"damaged JPEG", "Invalid progressive parameters"}},
        {"JPEG without its restart markers", noRestarts, {"damaged JPEG", "Corrupt JPEG data"}},
        {"BMP indexing past its palette",
         PaletteBmp(5, 2, 4, 40, false, threeColours, indices),
         {"damaged BMP", "colour 3 of a palette of 3"}},
        {"BMP whose pixels start inside its header",
         PaletteBmp(5, 2, 4, 40, false, threeColours, std::vector<uint8_t>(10, 0), 3),
         {"damaged BMP", "start at byte 3, inside its header"}},
        {"1-bit BMP of the oldest header without a palette",
         PaletteBmp(5, 2, 1, 12, false, {}, std::vector<uint8_t>(10, 1)),
         {"damaged BMP", "without a palette"}},
        {"empty file", "", {"empty"}},
        {"text", "hello\n", {"not a PNG, JPEG or BMP picture"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Write("in.pic", c.bytes);
        ExpectRefused({PathOf("in.pic"), "0", "0", "-o", PathOf("out.png")}, 1, c.parts,
                      LimitedMemory);
        ToolRun run = Run({PathOf("in.pic"), "0", "0", "-o", PathOf("out.png")}, LimitedMemory);
        EXPECT_EQ(run.err.find("too large"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("png sig"), std::string::npos) << run.err;
    }
}

// A header that promises far more than the file holds: the clicks and the mask are checked
// against the header, before the decoder could find the data missing.
TEST_F(PictureInput, ClicksAndMaskAreCheckedAgainstTheHeaderBeforeDecoding) {
    Write("big.png", Png(16384, 16000, 8, 2, false, std::string(100, '\0')));
    SavePicture("mask.png", Uniform(4, 6, 0));
    ExpectRefused({PathOf("big.png"), "20000", "0", "-o", PathOf("out.png")}, 2,
                  {"20000 0 lies outside the 16384x16000 picture"}, LimitedMemory);
    ExpectRefused(
        {PathOf("big.png"), "1", "1", "--drawn", PathOf("mask.png"), "-o", PathOf("out.png")}, 1,
        {"is 4x6, the picture 16384x16000"}, LimitedMemory);
}

TEST_F(PictureInput, PipesAreReadWithTheSameChecks) {
    const picture_io::Picture image = Varied(13, 9);
    SavePicture("in.png", image);
    ToolRun run = Run({"/dev/stdin", "2", "3", "--step", "-1", "-o", PathOf("out.png")},
                      "cat " + Quote(PathOf("in.png")) + " |");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    picture_io::Picture expected = image;
    expected.pixels[3 * 13 + 2] = Magenta;
    EXPECT_TRUE(LoadPicture("out.png").pixels == expected.pixels);
    fs::remove(dir / "out.png");

    ExpectRefused({"/dev/stdin", "2", "3", "--max-pixels", "100", "-o", PathOf("out.png")}, 1,
                  {"13 x 9 pixels is too large"}, "cat " + Quote(PathOf("in.png")) + " |");
    const std::string bmp = Bmp(50, 50, 24, 0, 152 * 50);
    Write("cut.bmp", bmp.substr(0, bmp.size() - 1));
    ExpectRefused({"/dev/stdin", "2", "3", "-o", PathOf("out.png")}, 1, {"damaged BMP"},
                  "cat " + Quote(PathOf("cut.bmp")) + " |");
}

// Less memory than a run needs, at every stage from decoding to writing: one line naming the
// picture's size, status 1, nothing left behind. Never an abort.
TEST_F(PictureInput, MemoryThatRunsOutEndsTheRunCleanly) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address space limits do not apply under AddressSanitizer";
#endif
    picture_io::Picture image = Varied(1500, 1500);
    SavePicture("in.png", image);
    fs::create_directory(dir / "o");
    int sized = 0;
    // From too little to start the tool's threads up to enough for the whole run.
    for (int kilobytes = 10000; kilobytes <= 80000; kilobytes += 6000) {
        SCOPED_TRACE(kilobytes);
        ToolRun run = Run({PathOf("in.png"), "5", "5", "700", "700", "--record", PathOf("o/r.txt"),
                           "--before-after", PathOf("o/ba.png"), "-o", PathOf("o/out.png")},
                          "ulimit -v " + std::to_string(kilobytes) + ";");
        if (run.exitCode == 0)
            break; // enough from here on
        if (run.err.find("error while loading shared libraries") != run.err.npos)
            continue; // too little to load the tool at all
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_NE(run.err.find("not enough memory"), std::string::npos) << run.err;
        sized += run.err.find("1500 x 1500") != std::string::npos;
        EXPECT_TRUE(FileNames(dir / "o").empty());
    }
    EXPECT_GE(sized, 2);
}

// ---- Palette BMPs, and decoding that does not depend on what memory held ----------------------

// Every depth, header and row order, with a full palette and with one shorter than the depth
// can index, decodes to the palette's colours. The highest index in use is always the last
// entry: a decoder that reads the palette short takes it from elsewhere.
TEST(BmpPalette, PicturesOfEveryDepthAndHeaderDecodeToTheirColours) {
    const fs::path folder = UniqueFolder("bmp_palette");
    ASSERT_FALSE(folder.empty());
    const std::string path = (folder / "in.bmp").string();
    const int32_t w = 13, h = 5; // rows of odd lengths, padded
    uint32_t seed = 7;
    for (int bits : {1, 4, 8})
        for (uint32_t headerSize : {12u, 40u, 124u})
            for (bool topDown : {false, true})
                for (bool full : {true, false}) {
                    if (headerSize == 12 && topDown)
                        continue; // the oldest header's height has no sign
                    const size_t colours = full ? size_t(1) << bits : (bits == 1 ? 1 : 3);
                    SCOPED_TRACE(std::to_string(bits) + " bits, header " +
                                 std::to_string(headerSize) + (topDown ? ", top down" : "") + ", " +
                                 std::to_string(colours) + " colours");
                    std::vector<uint32_t> palette;
                    for (size_t i = 0; i < colours; ++i) {
                        seed = seed * 1103515245u + 12345u;
                        palette.push_back(seed >> 8 & 0xFFFFFFu);
                    }
                    std::vector<uint8_t> indices(size_t(w * h));
                    for (uint8_t& index : indices) {
                        seed = seed * 1103515245u + 12345u;
                        index = uint8_t((seed >> 16) % colours);
                    }
                    indices[size_t(w) + 3] = uint8_t(colours - 1);
                    std::ofstream(path, std::ios::binary)
                        << PaletteBmp(w, h, bits, headerSize, topDown, palette, indices);
                    picture_io::Picture image;
                    std::string error;
                    ASSERT_TRUE(files::ReadPicture(path, &image, &error)) << error;
                    ASSERT_EQ(image.pixels.size(), indices.size());
                    EXPECT_FALSE(image.hasAlpha);
                    int differing = 0;
                    for (size_t i = 0; i < indices.size(); ++i)
                        differing += image.pixels[i] != palette[indices[i]];
                    EXPECT_EQ(differing, 0);
                }
    fs::remove_all(folder);
}

} // namespace
