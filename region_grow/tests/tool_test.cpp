// region_grow as a user runs it: a separate process, files in, files and one line out. What it
// writes is checked against pictures built here and against the simulated host driven
// directly with the same plug-in.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <webp/demux.h>

#include "fill_report.h"
#include "image_files.h"
#include "plugin_loader.h"
#include "simulated_host.h"
#include "tool_options.h"
#include "window_animation.h"
#include "window_frames.h"

#include "tool_test_support.h"

namespace {

// ---- Bad input: one line on stderr, non-zero exit, no output file ------------------------------

class ToolArgumentErrors : public ToolTest {};

TEST_F(ToolArgumentErrors, EachFailsCleanlyWithoutWritingOutput) {
    SavePicture("in.png", Uniform(8, 6, 0x00336699u));
    {
        std::ofstream(PathOf("text.png")) << "this is not a picture\n";
        std::string png = ReadFile(dir / "in.png");
        std::ofstream(PathOf("cut.png"), std::ios::binary) << png.substr(0, png.size() / 2);
        SavePicture("small_mask.png", Uniform(4, 6, 0));
    }
    const std::vector<BadCase> cases = {
        {"missing picture", {"missing.png", "1", "1", "-o", "OUT"}, 1, "No such file"},
        {"not a picture", {"text.png", "1", "1", "-o", "OUT"}, 1, "not a PNG, JPEG or BMP"},
        {"truncated PNG", {"cut.png", "1", "1", "-o", "OUT"}, 1, "damaged"},
        {"a directory", {".", "1", "1", "-o", "OUT"}, 1, "directory"},
        {"seed right of picture", {"IN", "8", "0", "-o", "OUT"}, 2, "outside the 8x6"},
        {"negative seed", {"IN", "-1", "0", "-o", "OUT"}, 2, "outside"},
        {"second click outside", {"IN", "1", "1", "3", "6", "-o", "OUT"}, 2, "3 6 lies outside"},
        {"malformed x", {"IN", "1x", "1", "-o", "OUT"}, 2, "malformed click"},
        {"huge y", {"IN", "1", "99999999999", "-o", "OUT"}, 2, "'99999999999' are out of range"},
        {"x without y", {"IN", "1", "1", "2", "-o", "OUT"}, 2, "has no Y"},
        {"no click", {"IN", "-o", "OUT"}, 2, "no click"},
        {"no input", {"-o", "OUT"}, 2, "no input"},
        {"no output", {"IN", "1", "1"}, 2, "-o"},
        {"colour too short", {"IN", "1", "1", "--paint", "FFF", "-o", "OUT"}, 2, "colour"},
        {"colour not hex", {"IN", "1", "1", "--paint", "12345G", "-o", "OUT"}, 2, "colour"},
        {"empty colour", {"IN", "1", "1", "--paint", "", "-o", "OUT"}, 2, "colour"},
        {"zero frames", {"IN", "1", "1", "--max-frames", "0", "-o", "OUT"}, 2, "max-frames"},
        {"unknown option", {"IN", "1", "1", "--tolerance", "3", "-o", "OUT"}, 2, "unknown"},
        {"option without value", {"IN", "1", "1", "-o", "OUT", "--step"}, 2, "needs a value"},
        {"mask of wrong size",
         {"IN", "1", "1", "--drawn", "small_mask.png", "-o", "OUT"},
         1,
         "4x6"},
        {"output dir missing", {"IN", "1", "1", "-o", "no/such/dir/out.png"}, 1, "cannot write"},
        {"output is a directory", {"IN", "1", "1", "-o", "."}, 1, "directory"},
        {"plug-in missing",
         {"IN", "1", "1", "--plugin", "none.so", "-o", "OUT"},
         1,
         "cannot load plug-in"},
        {"plug-in lacks exports",
         {"IN", "1", "1", "--plugin", NOT_A_PLUGIN_PATH, "-o", "OUT"},
         1,
         "lacks the export VXcGetDrawInfo"},
    };
    for (const BadCase& bad : cases) {
        SCOPED_TRACE(bad.what);
        std::vector<std::string> args;
        for (const std::string& arg : bad.args) {
            bool local = arg == "IN" || arg == "OUT" || arg.find('.') != std::string::npos;
            std::string name = arg == "IN" ? "in.png" : arg == "OUT" ? "out.png" : arg;
            args.push_back(local && name[0] != '/' ? PathOf(name) : arg);
        }
        ToolRun run = Run(args);
        EXPECT_EQ(run.exitCode, bad.exitCode);
        EXPECT_NE(run.err.find(bad.message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(fs::exists(dir / "out.png"));
    }
    // Nothing but the inputs is left behind: no temporary files either.
    EXPECT_EQ(FileNames(dir),
              (std::vector<std::string>{"cut.png", "in.png", "small_mask.png", "text.png"}));
}

TEST_F(ToolArgumentErrors, FailureLeavesAnExistingOutputAlone) {
    SavePicture("in.png", Uniform(8, 6, 0x00336699u));
    std::ofstream(PathOf("out.png")) << "previous result";
    ToolRun run =
        Run({PathOf("in.png"), "1", "1", "--plugin", PathOf("none.so"), "-o", PathOf("out.png")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(ReadFile(dir / "out.png"), "previous result");
    EXPECT_EQ(FileNames(dir), (std::vector<std::string>{"in.png", "out.png"}));
}

// Side outputs are checked before the fill as -o is: one that cannot be written stops the run
// with nothing written, not even frames, and an earlier run's frames stay as they were.
TEST_F(ToolArgumentErrors, UnwritableSideOutputLeavesNothingBehind) {
    SavePicture("in.png", Uniform(8, 6, 0x00336699u));
    fs::create_directories(dir / "frames");
    std::ofstream(PathOf("frames/frame-00001.png")) << "from an earlier run";
    std::ofstream(PathOf("frames/notes.txt")) << "the user's";
    const std::vector<BadCase> cases = {
        {"record dir missing", {"--record", "no/r.txt"}, 1, "cannot write"},
        {"record is a directory", {"--record", "frames"}, 1, "directory"},
        {"before-after dir missing", {"--before-after", "no/b.png"}, 1, "cannot write"},
        {"frames under a file", {"--frames", "in.png/frames"}, 1, "frames directory"},
        {"frames kept when record fails",
         {"--frames", "frames", "--record", "no/r.txt"},
         1,
         "no/r.txt"},
        {"new frames dir removed when before-after fails",
         {"--frames", "new/deeper/frames", "--before-after", "no/b.png"},
         1,
         "no/b.png"},
    };
    for (const BadCase& bad : cases) {
        SCOPED_TRACE(bad.what);
        std::vector<std::string> args = {PathOf("in.png"), "1", "1", "-o", PathOf("out.png")};
        for (const std::string& arg : bad.args)
            args.push_back(arg[0] == '-' ? arg : PathOf(arg));
        ToolRun run = Run(args);
        EXPECT_EQ(run.exitCode, bad.exitCode);
        EXPECT_NE(run.err.find(bad.message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(FileNames(dir), (std::vector<std::string>{"frames", "in.png"}));
        EXPECT_EQ(FileNames(dir / "frames"),
                  (std::vector<std::string>{"frame-00001.png", "notes.txt"}));
        EXPECT_EQ(ReadFile(dir / "frames/frame-00001.png"), "from an earlier run");
    }
}

// ---- Pictures in and out -----------------------------------------------------------------------

class ToolPictures : public ToolTest {
  protected:
    // With a negative tolerance only the seed changes: the rest must come back as it went in.
    void ExpectOnlySeedPainted(const std::string& inputName, const picture_io::Picture& decoded) {
        ToolRun run = Run({PathOf(inputName), "5", "3", "--step", "-1", "--paint", "#123456", "-o",
                           PathOf("out.png")});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        picture_io::Picture expected = decoded;
        FillRect(&expected, 5, 3, 5, 3, 0x00123456u);
        picture_io::Picture result = LoadPicture("out.png");
        EXPECT_EQ(result.width, decoded.width);
        EXPECT_EQ(result.height, decoded.height);
        EXPECT_TRUE(result.pixels == expected.pixels);
        EXPECT_NE(run.out.find(" 1 pixels painted"), std::string::npos) << run.out;
    }
};

TEST_F(ToolPictures, PngBmpAndJpegComeBackUnchangedButForThePaint) {
    const picture_io::Picture image = Varied(17, 13);
    SavePicture("in.png", image);
    ExpectOnlySeedPainted("in.png", image);

    std::ofstream(PathOf("in.bmp"), std::ios::binary) << Bmp24(image);
    ExpectOnlySeedPainted("in.bmp", image);
    // JPEG is lossy: compare with the picture as decoded.
    fs::copy_file(TEST_DATA_DIR "/varied.jpg", dir / "in.jpg");
    ExpectOnlySeedPainted("in.jpg", LoadPicture("in.jpg"));
}

TEST_F(ToolPictures, BeforeAfterShowsTheInputThenTheResult) {
    const picture_io::Picture image = Varied(9, 7);
    SavePicture("in.png", image);
    ToolRun run = Run({PathOf("in.png"), "4", "4", "--step", "-1", "--before-after",
                       PathOf("both.png"), "-o", PathOf("out.png")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    picture_io::Picture both = LoadPicture("both.png");
    picture_io::Picture result = LoadPicture("out.png");
    ASSERT_EQ(both.height, 7);
    ASSERT_GT(both.width, 18);
    const int32_t gap = both.width - 18;
    for (int32_t y = 0; y < 7; ++y)
        for (int32_t x = 0; x < 9; ++x) {
            EXPECT_EQ(At(both, x, y), At(image, x, y));
            EXPECT_EQ(At(both, 9 + gap + x, y), At(result, x, y));
        }
    EXPECT_EQ(At(both, 9 + gap + 4, 4), Magenta);
}

// The tolerance texts reach the plug-in as typed: it, not the tool, decides what they mean. The
// summary says what it read a text as that is not a whole number from 0 to 255.
TEST_F(ToolPictures, ToleranceTextsPassThroughAsTyped) {
    picture_io::Picture image = Uniform(6, 4, 0x00101010u);
    FillRect(&image, 3, 0, 5, 3, 0x00111111u); // right half differs by 1 in each channel
    SavePicture("in.png", image);
    struct {
        const char* text;
        int painted;
        const char* shown; // in the summary; null: the text is shown nowhere
    } cases[] = {{"abc", 12, "\"abc\" (read as 0)"},
                 {"", 12, "\"\" (read as 0)"},
                 {"0", 12, nullptr},
                 {"1", 24, nullptr},
                 {"255", 24, nullptr},
                 {" +1", 24, "\" +1\" (read as 1)"},
                 {"1x", 24, "\"1x\" (read as 1)"},
                 {"1e2", 24, "\"1e2\" (read as 1)"},
                 {"01", 24, "\"01\" (read as 1)"},
                 {"300", 24, "\"300\" (read as 300)"},
                 {"-1", 1, "\"-1\" (read as -1)"},
                 {"4294967297", 24, "\"4294967297\" (read as 1)"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ToolRun run = Run({PathOf("in.png"), "0", "0", "--step", c.text, "--seed-tolerance", c.text,
                           "-o", PathOf("out.png")});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        picture_io::Picture result = LoadPicture("out.png");
        EXPECT_EQ(std::count(result.pixels.begin(), result.pixels.end(), Magenta), c.painted);
        if (c.shown == nullptr)
            EXPECT_EQ(run.out.find("read as"), std::string::npos) << run.out;
        else
            EXPECT_NE(run.out.find(std::string("; step ") + c.shown + "; seed tolerance " +
                                   c.shown + "\n"),
                      std::string::npos)
                << run.out;
    }
}

TEST_F(ToolPictures, DrawnMaskKeepsItsPixelsUnpainted) {
    SavePicture("in.png", Uniform(20, 10, 0x00505050u));
    picture_io::Picture mask = Uniform(20, 10, 0);
    FillRect(&mask, 10, 0, 10, 9, 0x00000001u); // barely non-black still counts
    SavePicture("mask.png", mask);
    ToolRun run = Run({PathOf("in.png"), "2", "2", "--step", "0", "--seed-tolerance", "0",
                       "--drawn", PathOf("mask.png"), "-o", PathOf("out.png")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    picture_io::Picture result = LoadPicture("out.png");
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 20; ++x)
            ASSERT_EQ(At(result, x, y) == Magenta, x < 10) << x << "," << y;
}

// ---- Clicks, the record and the summary ------------------------------------------------------

struct Record {
    std::vector<std::string> clicks, refreshes, messages;
    std::vector<std::string> painted; // "X Y"
};

Record ReadRecord(const fs::path& path) {
    Record record;
    std::istringstream lines(ReadFile(path));
    std::string line;
    bool inPainted = false;
    while (std::getline(lines, line)) {
        if (inPainted)
            record.painted.push_back(line);
        else if (line.rfind("click ", 0) == 0)
            record.clicks.push_back(line);
        else if (line.rfind("refresh ", 0) == 0)
            record.refreshes.push_back(line.substr(8));
        else if (line.rfind("message ", 0) == 0)
            record.messages.push_back(line.substr(8));
        else if (line.rfind("painted ", 0) == 0)
            inPainted = true;
    }
    return record;
}

long long SummaryFigure(const std::string& summary, const std::string& label) {
    std::smatch match;
    if (!std::regex_search(summary, match, std::regex("(\\d+) " + label)))
        return -1;
    return std::stoll(match[1]);
}

// Paint colour = the right half's colour: after the first click the whole picture is one
// colour, which the second click can only fill because it runs second and because each click
// starts with clear drawn flags.
TEST_F(ToolPictures, ClicksApplyInOrderEachAsItsOwnOperation) {
    picture_io::Picture image = Uniform(30, 20, 0x00202020u);
    FillRect(&image, 15, 0, 29, 19, 0x00C0C0C0u);
    SavePicture("in.png", image);
    ToolRun run =
        Run({PathOf("in.png"), "2", "2", "20", "5", "--step", "0", "--seed-tolerance", "0",
             "--paint", "C0C0C0", "--record", PathOf("record.txt"), "-o", PathOf("out.png")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    Record record = ReadRecord(dir / "record.txt");
    EXPECT_EQ(record.clicks, (std::vector<std::string>{"click 2 2", "click 20 5"}));
    // The second click's requests together span the whole picture, left half included.
    EXPECT_NE(std::find(record.refreshes.begin(), record.refreshes.end(), "0 0 29 19"),
              record.refreshes.end());

    // The summary agrees with the files: painted pixels, requests, and one expansion per
    // painted pixel per click (no fringe with zero tolerances): 300 + 600.
    EXPECT_EQ(SummaryFigure(run.out, "pixels painted"), 600);
    EXPECT_EQ(SummaryFigure(run.out, "expansions"), 900);
    EXPECT_EQ(SummaryFigure(run.out, "refresh requests"), (long long)record.refreshes.size());
    EXPECT_EQ(record.painted.size(), 600u);
    EXPECT_NE(run.out.find("\"Buffer over\": no"), std::string::npos) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
}

TEST_F(ToolPictures, ReportsWhichClickStoppedOnBufferOver) {
    SavePicture("in.png", Uniform(10, 10, 0x00404040u));
    // Clicks off the diagonal, so that x and y swapped anywhere shows.
    ToolRun run =
        Run({PathOf("in.png"), "1", "3", "2", "7", "3", "5", "--plugin", OVERFLOWING_PLUGIN_PATH,
             "--record", PathOf("record.txt"), "-o", PathOf("out.png")});
    // Its own status, so that scripts can tell; every output is still written.
    ASSERT_EQ(run.exitCode, 3) << run.err;
    EXPECT_EQ(LoadPicture("out.png").pixels[31], Magenta);
    EXPECT_NE(run.out.find("stopped on \"Buffer over\": yes (click 2)"), std::string::npos)
        << run.out;
    // Painted pixels in row-major order: y 3, then 5, then 7.
    EXPECT_EQ(ReadFile(dir / "record.txt"), "click 1 3\nrefresh 1 3 1 3\n"
                                            "click 2 7\nrefresh 2 7 2 7\nmessage Buffer over|Err\n"
                                            "click 3 5\nrefresh 3 5 3 5\nmessage Buffer over|Err\n"
                                            "painted 3\n1 3\n3 5\n2 7\n");
}

// ---- Frames against the refresh requests the host receives -------------------------------------

struct Snapshot {
    int64_t left, top, right, bottom;
    std::vector<PackedColour> pixels; // the working picture when the request came
};

// The plug-in run directly on a simulated host: every refresh request with the picture at
// that moment.
std::vector<Snapshot> ReferenceRun(const picture_io::Picture& image, int32_t x, int32_t y) {
    host_model::LoadedPlugin plugin;
    std::string error;
    EXPECT_TRUE(host_model::LoadPlugin(PLUGIN_PATH, &plugin, &error)) << error;
    simulated_host::SimulatedHost host;
    host.Reset(image.width, image.height);
    host.pixels = image.pixels;
    host.paintColour = Magenta;
    host.SetTolerances("3", "3");
    host.MakeCurrent();
    std::vector<Snapshot> snapshots;
    host.afterCall = [&](const simulated_host::HostCall& call) {
        if (call.kind == host_model::HostCallKind::UpdateImageWindow)
            snapshots.push_back(
                {call.args[0], call.args[1], call.args[2], call.args[3], host.pixels});
    };
    plugin.drawIt(host.View(), x, y, 0);
    return snapshots;
}

// A gradient island of 32 x 40 in a dark picture, more than a thousand pixels of which join:
// several progressive requests and a last one.
picture_io::Picture IslandPicture() {
    picture_io::Picture image = Uniform(48, 44, 0x00000000u);
    for (int32_t y = 2; y < 42; ++y)
        for (int32_t x = 6; x < 38; ++x)
            FillRect(&image, x, y, x, y, 0x00808000u + uint32_t(x + y) / 8);
    return image;
}

TEST_F(ToolTest, EachFrameShowsTheWindowAfterItsRefreshRequest) {
    const picture_io::Picture input = IslandPicture();
    SavePicture("in.png", input);
    ToolRun run =
        Run({PathOf("in.png"), "20", "20", "--step", "3", "--seed-tolerance", "3", "--frames",
             PathOf("frames"), "--record", PathOf("record.txt"), "-o", PathOf("out.png")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<Snapshot> reference = ReferenceRun(input, 20, 20);
    ASSERT_GE(reference.size(), 4u);

    Record record = ReadRecord(dir / "record.txt");
    ASSERT_EQ(record.refreshes.size(), reference.size());
    std::vector<std::string> expectedNames;
    for (size_t k = 0; k < reference.size(); ++k) {
        const Snapshot& s = reference[k];
        EXPECT_EQ(record.refreshes[k], std::to_string(s.left) + " " + std::to_string(s.top) + " " +
                                           std::to_string(s.right) + " " +
                                           std::to_string(s.bottom));
        char name[32];
        snprintf(name, sizeof name, "frame-%05zu.png", k + 1);
        expectedNames.push_back(name);
    }
    expectedNames.push_back("overview.png");
    EXPECT_EQ(FileNames(dir / "frames"), expectedNames);

    // The window: a pixel changes only inside a requested rectangle, to the picture as it was
    // at that request. The outline may cover only the ring around the rectangle.
    const uint32_t outline = growth_views::OutlineColourFor(Magenta);
    std::vector<PackedColour> screen = input.pixels;
    for (size_t k = 0; k < reference.size(); ++k) {
        SCOPED_TRACE("frame " + std::to_string(k + 1));
        const Snapshot& s = reference[k];
        for (int64_t y = std::max<int64_t>(s.top, 0); y <= s.bottom; ++y)
            for (int64_t x = std::max<int64_t>(s.left, 0); x <= s.right; ++x)
                screen[size_t(y * input.width + x)] = s.pixels[size_t(y * input.width + x)];
        picture_io::Picture frame = LoadPicture("frames/" + expectedNames[k]);
        int mismatches = 0, outlined = 0;
        for (int32_t y = 0; y < input.height; ++y)
            for (int32_t x = 0; x < input.width; ++x) {
                uint32_t shown = At(frame, x, y);
                if (shown == screen[size_t(y * input.width + x)])
                    continue;
                bool nearEdge = s.right >= 0 && x >= s.left - 1 && x <= s.right + 1 &&
                                y >= s.top - 1 && y <= s.bottom + 1 &&
                                (x <= s.left || x >= s.right || y <= s.top || y >= s.bottom);
                if (shown == outline && nearEdge)
                    ++outlined;
                else
                    ++mismatches;
            }
        EXPECT_EQ(mismatches, 0);
        if (s.right >= 0) {
            EXPECT_GT(outlined, 0);
        }
    }
    // Every painted pixel was inside some request, so the last frame shows the result.
    EXPECT_TRUE(screen == LoadPicture("out.png").pixels);
}

TEST_F(ToolTest, FrameLimitIsKeptWithEachClicksLastAndSaysSo) {
    SavePicture("in.png", IslandPicture());
    fs::create_directories(dir / "frames");
    std::ofstream(PathOf("frames/frame-00099.png")) << "from an earlier run";
    ToolRun run =
        Run({PathOf("in.png"), "20", "20", "10", "10", "--step", "3", "--seed-tolerance", "3",
             "--frames", PathOf("frames"), "--max-frames", "5", "-o", PathOf("out.png")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ToolRun single = Run({PathOf("in.png"), "20", "20", "--step", "3", "--seed-tolerance", "3",
                          "-o", PathOf("single.png")});
    // The second click repaints the painted island (now all magenta) just as often.
    const long long perClick = SummaryFigure(single.out, "refresh requests");
    ASSERT_GT(perClick, 5);
    EXPECT_EQ(SummaryFigure(run.out, "refresh requests"), 2 * perClick);

    // Requests are numbered from 1 over both clicks. Exactly five frames: both clicks' last
    // ones, and three more from the first click's and the second's requests. The older frame
    // is gone.
    char firstLast[32], secondLast[32];
    snprintf(firstLast, sizeof firstLast, "frame-%05lld.png", perClick);
    snprintf(secondLast, sizeof secondLast, "frame-%05lld.png", 2 * perClick);
    std::vector<std::string> names = FileNames(dir / "frames");
    ASSERT_EQ(names.size(), 6u);
    EXPECT_EQ(names.back(), "overview.png");
    EXPECT_NE(std::find(names.begin(), names.end(), firstLast), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), secondLast), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "frame-00099.png"), names.end());
    // Spread: the first frame within the first click, before its last.
    EXPECT_LT(names.front(), std::string(firstLast));
    std::string said = "frames: 5 of " + std::to_string(2 * perClick) +
                       " (each click's last, the rest spread evenly; at most 5)";
    EXPECT_NE(run.out.find(said), std::string::npos) << run.out;
}

TEST_F(ToolTest, FrameLimitBelowTheClicksKeepsTheLastClicksFrame) {
    SavePicture("in.png", IslandPicture());
    ToolRun run = Run({PathOf("in.png"), "20", "20", "10", "10", "30", "30", "--step", "3",
                       "--seed-tolerance", "3", "--frames", PathOf("frames"), "--max-frames", "2",
                       "-o", PathOf("out.png")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const long long requests = SummaryFigure(run.out, "refresh requests");
    ASSERT_EQ(requests % 3, 0);
    // Three clicks, two frames: the last of clicks 1 and 3, the first and the last.
    char first[32], last[32];
    snprintf(first, sizeof first, "frame-%05lld.png", requests / 3);
    snprintf(last, sizeof last, "frame-%05lld.png", requests);
    EXPECT_EQ(FileNames(dir / "frames"), (std::vector<std::string>{first, last, "overview.png"}));
    EXPECT_NE(run.out.find("frames: 2 of " + std::to_string(requests) +
                           " (the last of 2 of the 3 clicks"),
              std::string::npos)
        << run.out;
}

// N frames means N (or every request, when there are fewer), with each click's last first.
TEST(FrameChoice, WritesExactlyTheLimitWithEachClicksLastFirst) {
    for (int32_t clicks : {1, 2, 5, 40})
        for (int32_t perClick : {1, 3, 17, 200})
            for (int32_t limit : {1, 2, 4, 5, 39, 199, 200, 1000}) {
                SCOPED_TRACE(std::to_string(clicks) + " clicks of " + std::to_string(perClick) +
                             ", at most " + std::to_string(limit));
                run_records::FillReport report;
                for (int32_t c = 0; c < clicks; ++c)
                    for (int32_t r = 0; r < perClick; ++r)
                        report.refreshes.push_back({0, 0, 0, 0, c});
                const growth_views::FrameChoice choice = growth_views::ChooseFrames(report, limit);
                const size_t requests = report.refreshes.size();
                EXPECT_EQ(size_t(choice.files), std::min(size_t(limit), requests));
                EXPECT_EQ(size_t(std::count(choice.chosen.begin(), choice.chosen.end(), true)),
                          size_t(choice.files));
                EXPECT_TRUE(choice.chosen.back()); // the last request of all
                int32_t lastsChosen = 0;
                for (int32_t c = 0; c < clicks; ++c)
                    lastsChosen += choice.chosen[size_t((c + 1) * perClick - 1)];
                EXPECT_EQ(lastsChosen, std::min(clicks, limit));
                EXPECT_EQ(choice.byClick, clicks > limit);
            }
}

TEST(FrameNames, SortInRequestOrderPastFiveDigits) {
    EXPECT_EQ(growth_views::FrameName(0, 57), "frame-00001.png");
    EXPECT_EQ(growth_views::FrameName(99998, 99999), "frame-99999.png");
    // 120,000 requests: six digits for all, so that 12000 sorts before 120000.
    EXPECT_EQ(growth_views::FrameName(11999, 120000), "frame-012000.png");
    EXPECT_EQ(growth_views::FrameName(119999, 120000), "frame-120000.png");
    EXPECT_LT(growth_views::FrameName(11999, 120000), growth_views::FrameName(119999, 120000));
}

// ---- The tool host changes speed, not results ---------------------------------------------

// The demo's clicks applied here through the simulated host, which logs every call and hands
// it to a hook, one operation a click as the tool makes them: what it saw, as a FillReport.
run_records::FillReport LoggedRun(const std::vector<command_line::Click>& clicks,
                                  const command_line::ToolOptions& options,
                                  simulated_host::SimulatedHost* host) {
    host_model::LoadedPlugin plugin;
    std::string error;
    EXPECT_TRUE(host_model::LoadPlugin(PLUGIN_PATH, &plugin, &error)) << error;
    host->paintColour = options.paintColour;
    host->SetTolerances(options.stepText, options.seedText);
    host->MakeCurrent();
    uint64_t hooked = 0;
    host->afterCall = [&hooked](const simulated_host::HostCall&) { ++hooked; };
    run_records::FillReport report;
    for (size_t c = 0; c < clicks.size(); ++c) {
        host->mask.assign(host->mask.size(), 0);
        host->ClearLog();
        host->refreshes.clear();
        host->messages.clear();
        const uint64_t hookedBefore = hooked;
        plugin.drawIt(host->View(), clicks[c].x, clicks[c].y, 0);
        EXPECT_GT(host->log.size(), 0u);
        EXPECT_EQ(hooked - hookedBefore, host->log.size()); // every call logged and hooked
        for (const host_model::RefreshRect& r : host->refreshes)
            report.refreshes.push_back({r.left, r.top, r.right, r.bottom, int32_t(c)});
        for (const host_model::ShownMessage& m : host->messages)
            report.messages.push_back({m.text, m.caption, int32_t(c)});
    }
    report.painted.Start(host->pixels.size(), false);
    for (size_t p = 0; p < host->pixels.size(); ++p)
        if (host->paintCount[p] != 0)
            report.painted.Paint(p, 0);
    return report;
}

// The demo through region_grow (the tool host) and through the simulated host driven here:
// the same result bytes and the same record bytes.
TEST_F(ToolTest, ToolHostWritesWhatTheLoggingHostWrites) {
    std::vector<std::string> args = {DEMO_PICTURE};
    std::istringstream demoArgs(ReadFile(DEMO_CLICKS));
    for (std::string word; demoArgs >> word;)
        args.push_back(word);
    std::vector<std::string> toolArgs = args;
    for (const char* extra : {"--record", "record.txt", "-o", "out.png"})
        toolArgs.push_back(extra[0] == '-' ? extra : PathOf(extra));
    ToolRun run = Run(toolArgs);
    ASSERT_EQ(run.exitCode, 0) << run.err;

    command_line::ToolOptions options;
    std::string error;
    args.insert(args.end(), {"-o", "unused.png"});
    ASSERT_TRUE(command_line::ParseToolOptions(args, &options, &error)) << error;
    picture_io::Picture input = LoadPicture(DEMO_PICTURE);
    simulated_host::SimulatedHost host;
    host.Load(input.width, input.height, std::vector<uint32_t>(input.pixels));
    const run_records::FillReport report = LoggedRun(options.clicks, options, &host);

    FILE* record = fopen(PathOf("logged-record.txt").c_str(), "wb");
    ASSERT_NE(record, nullptr);
    run_records::WriteRecord(record, options.clicks, report, input.width);
    fclose(record);
    picture_io::Picture result = input;
    result.pixels = host.pixels;
    SavePicture("logged-out.png", result);
    EXPECT_TRUE(ReadFile(dir / "record.txt") == ReadFile(dir / "logged-record.txt"));
    EXPECT_TRUE(ReadFile(dir / "out.png") == ReadFile(dir / "logged-out.png"));
}

// ---- Frames and animation at a smaller scale ---------------------------------------------------

// 2000 x 100, dark, with a bright 600 x 60 block; one dot of another colour far from it.
picture_io::Picture WidePicture() {
    picture_io::Picture image = Uniform(2000, 100, 0x00101010u);
    FillRect(&image, 200, 20, 799, 79, 0x00C0C0C0u);
    FillRect(&image, 1501, 51, 1501, 51, 0x00E0E000u);
    return image;
}

TEST_F(ToolTest, FramesAreSampledDownToTheFrameWidthAndOutlineEvenOnePixel) {
    SavePicture("in.png", WidePicture());
    ToolRun run =
        Run({PathOf("in.png"), "500", "50", "1501", "51", "--step", "0", "--seed-tolerance", "0",
             "--frame-width", "500", "--frames", PathOf("frames"), "-o", PathOf("out.png")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const picture_io::Picture result = LoadPicture("out.png");
    const long long requests = SummaryFigure(run.out, "refresh requests");
    ASSERT_GT(requests, 2);
    char lastName[32];
    snprintf(lastName, sizeof lastName, "frame-%05lld.png", requests);

    // 4:1, each frame pixel the picture pixel at its centre. The last frame shows the result
    // there, but for the one-pixel fill's outline, a ring of two around where it lies.
    const picture_io::Picture last = LoadPicture(std::string("frames/") + lastName);
    ASSERT_EQ(last.width, 500);
    ASSERT_EQ(last.height, 25);
    const uint32_t outline = growth_views::OutlineColourFor(Magenta);
    int outlined = 0, mismatches = 0;
    for (int32_t y = 0; y < last.height; ++y)
        for (int32_t x = 0; x < last.width; ++x) {
            const uint32_t expected = At(result, 4 * x + 2, 4 * y + 2);
            if (At(last, x, y) == outline && x >= 374 && x <= 376 && y >= 11 && y <= 13)
                ++outlined;
            else if (At(last, x, y) != expected)
                ++mismatches;
        }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GE(outlined, 4);
    EXPECT_EQ(LoadPicture("frames/overview.png").width, 500);
}

// Frames of the animation, composed, with their durations.
struct Animation {
    std::vector<picture_io::Picture> pictures;
    std::vector<int> durationsMs;
};

Animation DecodeAnimation(const std::string& bytes) {
    Animation animation;
    WebPData data = {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    if (decoder == nullptr)
        return animation;
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(decoder, &info);
    int previous = 0;
    uint8_t* rgba;
    int timestamp;
    while (WebPAnimDecoderHasMoreFrames(decoder) &&
           WebPAnimDecoderGetNext(decoder, &rgba, &timestamp)) {
        picture_io::Picture picture =
            Uniform(int32_t(info.canvas_width), int32_t(info.canvas_height), 0);
        for (size_t i = 0; i < picture.pixels.size(); ++i)
            picture.pixels[i] = uint32_t(rgba[4 * i]) << 16 | uint32_t(rgba[4 * i + 1]) << 8 |
                                uint32_t(rgba[4 * i + 2]);
        animation.pictures.push_back(picture);
        animation.durationsMs.push_back(timestamp - previous);
        previous = timestamp;
    }
    WebPAnimDecoderDelete(decoder);
    return animation;
}

TEST_F(ToolTest, AnimationPlaysTheRefreshesFromInputToResultInAFewSeconds) {
    const picture_io::Picture input = IslandPicture();
    SavePicture("in.png", input);
    ToolRun run = Run({PathOf("in.png"), "20", "20", "--step", "3", "--seed-tolerance", "3",
                       "--animation", PathOf("fill.webp"), "-o", PathOf("out.png")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const size_t requests = size_t(SummaryFigure(run.out, "refresh requests"));
    ASSERT_GE(requests, 4u);
    const Animation animation = DecodeAnimation(ReadFile(dir / "fill.webp"));
    // The input, one picture per request (fewer than AnimationPictures here), the result.
    ASSERT_EQ(animation.pictures.size(), requests + 2);
    const picture_io::Picture result = LoadPicture("out.png");
    EXPECT_TRUE(animation.pictures.front().pixels == input.pixels);
    EXPECT_TRUE(animation.pictures.back().pixels == result.pixels);
    // The first request's picture is the first frame file's: outline and paint so far.
    ToolRun frames = Run({PathOf("in.png"), "20", "20", "--step", "3", "--seed-tolerance", "3",
                          "--frames", PathOf("frames"), "-o", PathOf("out2.png")});
    ASSERT_EQ(frames.exitCode, 0) << frames.err;
    EXPECT_TRUE(animation.pictures[1].pixels == LoadPicture("frames/frame-00001.png").pixels);
    EXPECT_FALSE(animation.pictures[1].pixels == input.pixels);
    const growth_views::AnimationPacing pacing = growth_views::PaceAnimation(requests);
    int total = 0;
    for (int ms : animation.durationsMs)
        total += ms;
    EXPECT_GE(total, 2000);
    EXPECT_LE(total, 6000);
    EXPECT_EQ(animation.durationsMs.back(), pacing.resultMs); // the result is held
}

TEST(AnimationPacing, ShowsAtMostItsPicturesAndPlaysInAFewSeconds) {
    for (size_t requests : {size_t(1), size_t(57), size_t(120000)}) {
        const growth_views::AnimationPacing pacing = growth_views::PaceAnimation(requests);
        EXPECT_LE(pacing.shown, size_t(growth_views::AnimationPictures));
        const int playing = int(pacing.shown) * pacing.pictureMs;
        EXPECT_LE(playing, 4000) << requests;
        if (requests >= 57) {
            EXPECT_GE(playing, 2000) << requests;
        }
    }
}

} // namespace
