// region_grow --explore as a user runs it: the files it writes agree with what the real fill
// paints through the same tool, and its command line refuses what it cannot do.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <regex>
#include <string>
#include <vector>

#include "tool_test_support.h"

namespace {

// Each test in a folder of its own, made fresh for the run.
class ExploreTest : public ToolTest {
  protected:
    void SetUp() override {
        std::string pattern =
            (fs::path(::testing::TempDir()) / "region_grow_explore_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::vector<uint16_t> ReadTolerances(const fs::path& path, int* width, int* height) {
        picture_io::Picture samples;
        std::string error;
        EXPECT_TRUE(files::ReadPicture(path.string(), &samples, &error)) << error;
        EXPECT_TRUE(samples.grey && !samples.hasAlpha) << "grey, one sample a pixel";
        EXPECT_EQ(samples.BitDepth(), 16);
        *width = samples.width;
        *height = samples.height;
        return samples.deep;
    }
};

// Terraces of grey with a ramp and noise between them, and no magenta anywhere.
picture_io::Picture Terraces(int32_t w, int32_t h) {
    picture_io::Picture image = Uniform(w, h, 0);
    uint32_t state = 99;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            state = state * 1103515245u + 12345u;
            int level = x < w / 3 ? 40 : x < 2 * w / 3 ? 40 + (x - w / 3) * 3 : 160;
            level += int(state >> 16) % 3;
            image.pixels[size_t(y) * size_t(w) + size_t(x)] = uint32_t(level) * 0x010101u;
        }
    return image;
}

long long Figure(const std::string& text, const std::string& label) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex("(\\d+) " + label)))
        return -1;
    return std::stoll(match[1]);
}

TEST_F(ExploreTest, FilesAgreeWithTheRealFillAtEveryStepTried) {
    const int32_t w = 60, h = 24;
    SavePicture("in.png", Terraces(w, h));
    picture_io::Picture mask = Uniform(w, h, 0);
    FillRect(&mask, 12, 0, 12, 20, 0x00FFFFFFu); // a drawn wall with a gap at the bottom
    SavePicture("mask.png", mask);
    for (const char* step : {"1", "3", "4", "255"}) {
        SCOPED_TRACE(std::string("step ") + step);
        ToolRun run =
            Run({PathOf("in.png"), "2", "5", "--step", step, "--seed-tolerance", "100", "--drawn",
                 PathOf("mask.png"), "--explore", PathOf("explore"), "-o", PathOf("out.png")});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        int tw = 0, th = 0;
        std::vector<uint16_t> tolerances = ReadTolerances(dir / "explore/tolerances.png", &tw, &th);
        ASSERT_EQ(tw, w);
        ASSERT_EQ(th, h);
        picture_io::Picture result = LoadPicture("out.png");
        size_t painted = 0;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                uint16_t tolerance = tolerances[size_t(y) * size_t(w) + size_t(x)];
                bool predicted = tolerance <= atoi(step);
                ASSERT_EQ(At(result, x, y) == Magenta, predicted)
                    << x << "," << y << " join tolerance " << tolerance;
                painted += predicted;
                if (x == 12 && y <= 20) {
                    EXPECT_EQ(tolerance, 65535) << "drawn pixels are never painted";
                }
            }

        // The table: its header, 256 rows, and the row of this step is what the fill painted.
        std::istringstream table(ReadFile(dir / "explore/growth.tsv"));
        std::string line;
        std::vector<std::string> rows;
        while (std::getline(table, line))
            rows.push_back(line);
        ASSERT_EQ(rows.size(), 257u);
        EXPECT_EQ(rows[0], "step_tolerance\tpixels_painted");
        EXPECT_EQ(rows[1 + size_t(atoi(step))], std::string(step) + "\t" + std::to_string(painted));
        EXPECT_EQ(Figure(run.out, "pixels painted"), (long long)painted);

        // What people read: the summary first, then the readings and where the files went.
        EXPECT_NE(run.out.find("stable steps"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("suggested step tolerance: "), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("next leak: "), std::string::npos) << run.out;
        picture_io::Picture map = LoadPicture("explore/map.png");
        EXPECT_GE(map.width, w);
        EXPECT_GT(map.height, h) << "the legend lies below the picture";
        std::string plot = ReadFile(dir / "explore/growth.svg");
        EXPECT_EQ(plot.rfind("<svg", 0), 0u);
        EXPECT_NE(plot.find("--step " + std::string(step)), std::string::npos);
    }
}

// The x of every <text> in `svg` whose text starts with `prefix`.
std::vector<double> TextPositions(const std::string& svg, const std::string& prefix) {
    std::vector<double> xs;
    const std::regex text("<text x=\"([0-9.]+)\"[^>]*>" + prefix);
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), text); it != std::sregex_iterator();
         ++it)
        xs.push_back(std::stod((*it)[1]));
    return xs;
}

TEST_F(ExploreTest, ReadingsOfAKnownCurve) {
    // Three flat parts, 10, 20 and 30 pixels wide in one row: steps 0-9 paint the first, 10-39
    // the first two, 40 and above all 60. The widest stable range short of everything is 10-39.
    // The tolerances are typed as the plug-in reads 5 and 255.
    picture_io::Picture row = Uniform(60, 1, 0);
    FillRect(&row, 10, 0, 29, 0, 0x000A0A0Au);
    FillRect(&row, 30, 0, 59, 0, 0x00323232u);
    SavePicture("row.png", row);
    ToolRun run =
        Run({PathOf("row.png"), "0", "0", "--step", "5x", "--seed-tolerance", "+255",
             "--explore-seeds", "0,30,60,100,150,200", "--explore", PathOf("deep/er/explore")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("stable steps 40-255: 60 pixels; 10-39: 30 pixels; 0-9: 10 pixels"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("next leak: step 5 -> 10 adds 20 pixels"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("suggested step tolerance: 24 (30 pixels"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("no result picture; step \"5x\" (read as 5); seed tolerance "
                           "\"+255\" (read as 255)\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(FileNames(dir / "deep/er/explore"),
              (std::vector<std::string>{"growth.svg", "growth.tsv", "map.png", "tolerances.png"}));

    // The plot says what the texts were read as, and its key holds every curve inside it.
    std::string plot = ReadFile(dir / "deep/er/explore/growth.svg");
    EXPECT_NE(plot.find("--step &quot;5x&quot; (read as 5): 10 px"), std::string::npos);
    EXPECT_NE(plot.find("(0, 0), seed tolerance &quot;+255&quot; (read as 255)</text>"),
              std::string::npos);
    std::smatch size;
    ASSERT_TRUE(std::regex_search(plot, size, std::regex("<svg[^>]* width=\"(\\d+)\"")));
    const std::vector<double> key = TextPositions(plot, "seed tolerance ");
    ASSERT_EQ(key.size(), 7u) << plot;
    for (double x : key)
        EXPECT_LT(x + 6.5 * std::string("seed tolerance 255").size(), std::stod(size[1])) << plot;
    for (const char* seed : {"0", "30", "60", "100", "150", "200"})
        EXPECT_NE(plot.find(std::string(">seed tolerance ") + seed + "</text>"), std::string::npos)
            << seed;
}

// The map leaves out the queue's limit; the run says when the real fill met it.
TEST_F(ExploreTest, SaysWhenTheFillStoppedOnBufferOver) {
    SavePicture("in.png", Uniform(10, 10, 0x00404040u));
    ToolRun run = Run({PathOf("in.png"), "1", "1", "--step", "overflow", "--plugin",
                       OVERFLOWING_PLUGIN_PATH, "--explore", PathOf("explore")});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_NE(run.out.find("stopped on \"Buffer over\": yes"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("the fill at step \"overflow\" (read as 0) stopped on \"Buffer over\": "
                           "it painted less than the map shows"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(FileNames(dir / "explore").size(), 4u) << "every file is written all the same";
}

TEST_F(ExploreTest, CommandLineMistakesLeaveNothingBehind) {
    SavePicture("in.png", Uniform(8, 6, 0x00336699u));
    std::ofstream(PathOf("file")) << "a file, not a folder\n";
    const std::vector<BadCase> cases = {
        {"two clicks", {"IN", "1", "1", "2", "2", "--explore", "EX"}, 2, "exactly one click"},
        {"seeds alone", {"IN", "1", "1", "--explore-seeds", "3", "-o", "OUT"}, 2, "--explore DIR"},
        {"empty seed", {"IN", "1", "1", "--explore-seeds", "3,,4", "--explore", "EX"}, 2, "empty"},
        {"seed not a number",
         {"IN", "1", "1", "--explore-seeds", "3,abc", "--explore", "EX"},
         2,
         "'abc' is not a whole number from 0 to 255"},
        {"seed over 255", {"IN", "1", "1", "--explore-seeds", "256", "--explore", "EX"}, 2, "255"},
        {"more seeds than colours",
         {"IN", "1", "1", "--explore-seeds", "1,2,3,4,5,6,7", "--explore", "EX"},
         2,
         "lists more than 6 seed tolerances"},
        {"seeds before the picture",
         {"MISSING", "1", "1", "--explore-seeds", "-1", "--explore", "EX"},
         2,
         "'-1' is not a whole number"},
        {"no output", {"IN", "1", "1"}, 2, "-o"},
        {"result over a map",
         {"IN", "1", "1", "--explore", "EX", "-o", "EX/map.png"},
         2,
         "same file"},
        {"not a folder", {"IN", "1", "1", "--explore", "FILE"}, 1, "not a folder"},
        {"click outside", {"IN", "8", "1", "--explore", "EX"}, 2, "outside"},
    };
    for (const BadCase& bad : cases) {
        std::vector<std::string> args;
        for (const std::string& arg : bad.args)
            args.push_back(arg == "IN"           ? PathOf("in.png")
                           : arg == "OUT"        ? PathOf("out.png")
                           : arg == "EX"         ? PathOf("ex")
                           : arg == "EX/map.png" ? PathOf("ex/map.png")
                           : arg == "FILE"       ? PathOf("file")
                           : arg == "MISSING"    ? PathOf("missing.png")
                                                 : arg);
        ToolRun run = Run(args);
        EXPECT_EQ(run.exitCode, bad.exitCode) << bad.what << ": " << run.err;
        EXPECT_NE(run.err.find(bad.message), std::string::npos) << bad.what << ": " << run.err;
        EXPECT_EQ(FileNames(dir), (std::vector<std::string>{"file", "in.png"})) << bad.what;
    }
}

} // namespace
