// region_grow against a hostile command line: option syntax, outputs that are not plain files,
// outputs that clash, interruptions, pictures too large to hold, transparency, and which
// plug-in file a name means.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <zlib.h>

#include "tool_test_support.h"

extern char** environ;

namespace {

// A PNG that is only a signature and a header claiming w x h: enough for the tool to size it.
std::string PngHeaderOnly(uint32_t w, uint32_t h, uint8_t depth, uint8_t colourType) {
    std::string png = "\x89PNG\r\n\x1a\n";
    auto word = [&png](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            png += char(v >> shift & 0xFF);
    };
    word(13);
    png += "IHDR";
    word(w);
    word(h);
    png += char(depth);
    png += char(colourType);
    png += std::string(3, '\0'); // compression, filter, interlace
    word(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17)));
    return png;
}

void SaveRgba(const fs::path& path, picture_io::Picture image) {
    image.hasAlpha = true;
    WritePngFile(path, image);
}

class ToolCommandLine : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        SavePicture("in.png", Varied(8, 6));
    }
    std::vector<std::string> Args(std::vector<std::string> extra) const {
        std::vector<std::string> args = {PathOf("in.png"), "1", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
};

TEST_F(ToolCommandLine, EqualsFormsAndDoubleDashAreAccepted) {
    ToolRun spaced = Run(Args({"--step", "-1", "--paint", "123456", "-o", PathOf("a.png")}));
    ToolRun joined = Run(Args({"--step=-1", "--paint=123456", "-o", PathOf("b.png")}));
    ASSERT_EQ(spaced.exitCode, 0) << spaced.err;
    ASSERT_EQ(joined.exitCode, 0) << joined.err;
    EXPECT_EQ(ReadFile(dir / "a.png"), ReadFile(dir / "b.png"));
    EXPECT_EQ(LoadPicture("b.png").pixels[9], 0x00123456u);

    // After --, a name starting with '-' is the input picture.
    fs::copy_file(dir / "in.png", dir / "-in.png");
    ToolRun dashed =
        Run({"-o", PathOf("c.png"), "--step", "-1", "--paint", "123456", "--", "-in.png", "1", "1"},
            "cd " + Quote(dir.string()) + " &&");
    ASSERT_EQ(dashed.exitCode, 0) << dashed.err;
    EXPECT_EQ(ReadFile(dir / "a.png"), ReadFile(dir / "c.png"));
}

TEST_F(ToolCommandLine, MessagesQuoteValuesRefuseRepeatsAndSayOutOfRange) {
    const std::vector<BadCase> cases = {
        {"repeated -o", {"-o", "OUT", "-o", "OTHER"}, 2, "option -o given twice"},
        {"repeated --step", {"--step", "3", "--step=4", "-o", "OUT"}, 2, "--step given twice"},
        {"leading space", {"--paint", " 5", "-o", "OUT"}, 2, "colour ' 5'"},
        {"empty value", {"--paint=", "-o", "OUT"}, 2, "colour ''"},
        {"control character", {"--paint", "AB\tCD", "-o", "OUT"}, 2, "'AB\\tCD'"},
        {"frames too many", {"--max-frames", "99999999999", "-o", "OUT"}, 2, "out of range"},
        {"frames negative", {"--max-frames", "-3", "-o", "OUT"}, 2, "'-3' is out of range"},
        {"frames not a number", {"--max-frames", "7x", "-o", "OUT"}, 2, "malformed --max-frames"},
        {"pixels over the most", {"--max-pixels", "268435457", "-o", "OUT"}, 2, "out of range"},
        {"unknown with value", {"--colour=FF0000", "-o", "OUT"}, 2, "unknown option '--colour'"},
        {"help with value", {"--help=yes", "-o", "OUT"}, 2, "takes no value"},
    };
    for (const BadCase& bad : cases) {
        SCOPED_TRACE(bad.what);
        std::vector<std::string> extra;
        for (const std::string& arg : bad.args)
            extra.push_back(arg == "OUT"     ? PathOf("out.png")
                            : arg == "OTHER" ? PathOf("o.png")
                                             : arg);
        ToolRun run = Run(Args(extra));
        EXPECT_EQ(run.exitCode, bad.exitCode);
        EXPECT_NE(run.err.find(bad.message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_FALSE(fs::exists(dir / "out.png"));
    }
}

// A write that fails half-way (here: the file-size limit) names the file the user gave, for -o
// and for a frame, never the temporary file or folder it was going to.
TEST_F(ToolCommandLine, FailedWritesNeverNameATemporary) {
    SavePicture("big.png", Varied(64, 64));
    const std::string limited = "trap '' XFSZ; ulimit -f 4;";
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{"-o", PathOf("out.png")},
          std::vector<std::string>{"--frames", PathOf("frames"), "-o", PathOf("out.png")}}) {
        std::vector<std::string> args = {PathOf("big.png"), "1", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        ToolRun run = Run(args, limited);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("cannot write '" + PathOf(extra.size() == 2 ? "out.png" : "frames")),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.err.find(".region_grow-"), std::string::npos) << run.err;
        EXPECT_EQ(FileNames(dir), (std::vector<std::string>{"big.png", "in.png"}));
    }
}

// ---- Outputs that are not plain files -----------------------------------------------------------

TEST_F(ToolCommandLine, LinksAreFollowedDevicesAndPipesWrittenInto) {
    ASSERT_EQ(Run(Args({"-o", PathOf("plain.png")})).exitCode, 0);
    const std::string expected = ReadFile(dir / "plain.png");

    // A link stays a link; its target, also through a dangling link, gets the picture.
    fs::create_directories(dir / "real");
    std::ofstream(PathOf("real/old.png")) << "previous";
    fs::create_symlink("real/old.png", dir / "link.png");
    fs::create_symlink("real/new.txt", dir / "dangling.txt");
    ToolRun linked = Run(Args({"-o", PathOf("link.png"), "--record", PathOf("dangling.txt")}));
    ASSERT_EQ(linked.exitCode, 0) << linked.err;
    EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.txt"));
    EXPECT_EQ(ReadFile(dir / "real/old.png"), expected);
    EXPECT_NE(ReadFile(dir / "real/new.txt").find("click 1 1"), std::string::npos);

    // A device is written into, not replaced. As root, a tool that replaced it could replace
    // /dev/null itself: then a null device of the test's own is used.
    std::string nullDevice = "/dev/null";
    if (geteuid() == 0) {
        nullDevice = PathOf("null");
        ASSERT_EQ(mknod(nullDevice.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    }
    ToolRun device = Run(Args({"-o", nullDevice, "--record", nullDevice}));
    EXPECT_EQ(device.exitCode, 0) << device.err;
    struct stat status;
    ASSERT_EQ(lstat(nullDevice.c_str(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));

    // A FIFO: what the tool writes arrives at its reader, and the FIFO stays.
    ASSERT_EQ(mkfifo(PathOf("pipe").c_str(), 0600), 0);
    int reader = open(PathOf("pipe").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ToolRun piped = Run(Args({"-o", PathOf("pipe")}));
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    std::string received(expected.size() + 16, '\0');
    ssize_t got = read(reader, &received[0], received.size());
    close(reader);
    EXPECT_EQ(received.substr(0, size_t(std::max<ssize_t>(got, 0))), expected);
    ASSERT_EQ(lstat(PathOf("pipe").c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));

    // "-" is standard output, and the summary moves to standard error.
    ToolRun out = Run(Args({"-o", "-"}));
    ASSERT_EQ(out.exitCode, 0) << out.err;
    EXPECT_EQ(out.out, expected);
    EXPECT_NE(out.err.find("1 pixels painted"), std::string::npos) << out.err;
    EXPECT_FALSE(fs::exists(dir / "-"));
}

TEST_F(ToolCommandLine, OutputsNamingOneFileAreRefusedUpFront) {
    fs::create_directories(dir / "sub");
    fs::create_directories(dir / "frames");
    std::ofstream(PathOf("frames/frame-00001.png")) << "from an earlier run";
    fs::create_symlink("x.png", dir / "alias.png");
    fs::create_symlink("x.webp", dir / "alias.webp");
    const std::vector<BadCase> cases = {
        {"-o and --record", {"-o", "x.png", "--record", "x.png"}, 2, "name the same file"},
        {"another spelling", {"-o", "x.png", "--before-after", "sub/../x.png"}, 2, "same file"},
        {"through a link", {"-o", "alias.png", "--record", "x.png"}, 2, "same file"},
        {"both standard output", {"-o", "-", "--record", "-"}, 2, "same file"},
        {"the animation", {"-o", "x.webp", "--animation", "alias.webp"}, 2, "same file"},
        {"the overview", {"-o", "frames/overview.png", "--frames", "frames"}, 2, "--frames folder"},
        {"a frame",
         {"-o", "x.png", "--record", "frames/frame-7.png", "--frames", "frames"},
         2,
         "frames would replace it"},
        {"the folder itself", {"-o", "frames", "--frames", "frames"}, 2, "is the --frames folder"},
    };
    for (const BadCase& bad : cases) {
        SCOPED_TRACE(bad.what);
        std::vector<std::string> extra;
        for (const std::string& arg : bad.args)
            extra.push_back(arg[0] == '-' ? arg : PathOf(arg));
        ToolRun run = Run(Args(extra));
        EXPECT_EQ(run.exitCode, bad.exitCode);
        EXPECT_NE(run.err.find(bad.message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(FileNames(dir),
                  (std::vector<std::string>{"alias.png", "alias.webp", "frames", "in.png", "sub"}));
        EXPECT_EQ(FileNames(dir / "frames"), (std::vector<std::string>{"frame-00001.png"}));
    }
    // A file of its own in the frames folder is fine.
    ToolRun beside = Run(Args({"-o", PathOf("frames/result.png"), "--frames", PathOf("frames")}));
    EXPECT_EQ(beside.exitCode, 0) << beside.err;
    EXPECT_TRUE(fs::exists(dir / "frames/result.png"));
}

// Only names the frames take are replaced: a user's frame-mine.png, a frame-12.txt, a folder
// and notes stay; the earlier run's numbered frames go.
TEST_F(ToolCommandLine, FramesReplaceOnlyWhatAnEarlierRunWrote) {
    fs::create_directories(dir / "frames/frame-00009.png");
    for (const char* name : {"frame-mine.png", "frame-12.txt", "notes.txt", "frame-00099.png",
                             "frame-1234567.png", "overview.png"})
        std::ofstream(PathOf(std::string("frames/") + name)) << "a file";
    ToolRun run = Run(Args({"--frames", PathOf("frames"), "-o", PathOf("out.png")}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> names = FileNames(dir / "frames");
    for (const char* kept : {"frame-mine.png", "frame-12.txt", "notes.txt", "frame-00009.png"})
        EXPECT_NE(std::find(names.begin(), names.end(), kept), names.end()) << kept;
    for (const char* gone : {"frame-00099.png", "frame-1234567.png"})
        EXPECT_EQ(std::find(names.begin(), names.end(), gone), names.end()) << gone;
    EXPECT_NE(ReadFile(dir / "frames/overview.png"), "a file");
}

// ---- Interruptions
// --------------------------------------------------------------------------------

// Runs the tool in the background; its standard output and error go to files in the test dir.
class ToolInterrupted : public ToolCommandLine {
  protected:
    pid_t Start(const std::vector<std::string>& args) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, PathOf("stdout.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, PathOf("stderr.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> argv = {TOOL_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& arg : argv)
            pointers.push_back(&arg[0]);
        pointers.push_back(nullptr);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, TOOL_PATH, &actions, nullptr, pointers.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    // Exit status, or -1 when it did not end on its own within 20 s (then it is killed).
    int Finish(pid_t pid) {
        for (int waited = 0; waited < 2000; ++waited) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                fs::remove(dir / "stdout.txt");
                fs::remove(dir / "stderr.txt");
                return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }

    // Waits (at most 20 s) until `ready` holds.
    template <typename Condition> bool AwaitThat(Condition ready) {
        for (int waited = 0; waited < 2000 && !ready(); ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return ready();
    }

    // Staged files and folders with a name (unnamed ones have none to see).
    size_t TemporariesIn(const fs::path& where) const {
        size_t count = 0;
        for (const auto& entry : fs::recursive_directory_iterator(where))
            count += entry.path().filename().string().rfind(".region_grow-", 0) == 0;
        return count;
    }

    // Staged files in `where` that process `pid` holds open, named or not (an unnamed one
    // shows as "#NUMBER (deleted)").
    size_t FilesHeldIn(pid_t pid, const fs::path& where) const {
        size_t count = 0;
        std::error_code ignored;
        for (const auto& entry :
             fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ignored)) {
            std::string target = fs::read_symlink(entry.path(), ignored).string();
            count += target.rfind(where.string() + "/", 0) == 0 &&
                     (target.find("/.region_grow-") != std::string::npos ||
                      target.find(" (deleted)") != std::string::npos);
        }
        return count;
    }
};

// Stopped while its outputs are open: the tool waits to open a FIFO nobody reads.
TEST_F(ToolInterrupted, BeforeTheFillSigintRemovesTemporaries) {
    ASSERT_EQ(mkfifo(PathOf("pipe").c_str(), 0600), 0);
    pid_t pid = Start(Args({"-o", PathOf("out.png"), "--record", PathOf("record.txt"),
                            "--before-after", PathOf("pipe")}));
    ASSERT_TRUE(AwaitThat([&] { return FilesHeldIn(pid, dir) == 2; }));
    kill(pid, SIGINT);
    EXPECT_EQ(Finish(pid), 130);
    EXPECT_EQ(FileNames(dir), (std::vector<std::string>{"in.png", "pipe"}));
}

// Stopped when every file is complete and the record is being sent into a FIFO whose reader
// does not read: the result's temporary file, the staged frames and the frames folders the run
// created all go.
TEST_F(ToolInterrupted, WhileWritingSigtermRemovesTemporariesAndNewFolders) {
    SavePicture("big.png", Uniform(300, 300, 0x00404040u));
    ASSERT_EQ(mkfifo(PathOf("pipe").c_str(), 0600), 0);
    int reader = open(PathOf("pipe").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    pid_t pid =
        Start({PathOf("big.png"), "1", "1", "--frames", PathOf("new/frames"), "--before-after",
               PathOf("both.png"), "--record", PathOf("pipe"), "-o", PathOf("out.png")});
    // The record is far larger than the pipe holds: once it starts, the tool is stuck in it.
    ASSERT_TRUE(AwaitThat([&] {
        struct pollfd readable = {reader, POLLIN, 0};
        return poll(&readable, 1, 0) == 1 && (readable.revents & POLLIN);
    }));
    // Every file is complete and named, the record is being sent: out.png's, both.png's,
    // the staged frames.
    EXPECT_EQ(TemporariesIn(dir), 3u);
    kill(pid, SIGTERM);
    EXPECT_EQ(Finish(pid), 143);
    close(reader);
    EXPECT_EQ(FileNames(dir), (std::vector<std::string>{"big.png", "in.png", "pipe"}));
}

// ---- Pictures
// --------------------------------------------------------------------------------------

// 600 MB of address space, where a decoder that allocated for these pictures would fail. Not
// under AddressSanitizer, which reserves far more address space than that to start with.
#if defined(__SANITIZE_ADDRESS__)
const char LimitedMemory[] = "";
#else
const char LimitedMemory[] = "ulimit -v 600000;";
#endif

// The header decides, before any buffer of the picture's size is made; one clear message.
TEST_F(ToolCommandLine, PicturesTooLargeAreRefusedFromTheirHeader) {
    std::ofstream(PathOf("huge.png"), std::ios::binary) << PngHeaderOnly(20000, 20000, 8, 2);
    std::ofstream(PathOf("big.png"), std::ios::binary) << PngHeaderOnly(16000, 16000, 8, 2);
    SavePicture("1001x1000.png", Uniform(1001, 1000, 0));
    const std::vector<BadCase> cases = {
        {"over the default limit", {"huge.png", "-o", "OUT"}, 1, "20000 x 20000 pixels is too"},
        {"over a limit given",
         {"big.png", "--max-pixels", "100000000", "-o", "OUT"},
         1,
         "16000 x 16000 pixels is too large (the limit is 100000000 pixels, set by --max-pixels"},
        {"one pixel over", {"1001x1000.png", "--max-pixels=1000000", "-o", "OUT"}, 1, "too large"},
        {"a mask over it",
         {"in.png", "--drawn", "1001x1000.png", "--max-pixels=1000000", "-o", "OUT"},
         1,
         "1001x1000.png': 1001 x 1000 pixels is too large"},
    };
    for (const BadCase& bad : cases) {
        SCOPED_TRACE(bad.what);
        std::vector<std::string> args;
        for (const std::string& arg : bad.args)
            args.push_back(arg == "OUT"                   ? PathOf("out.png")
                           : arg.find(".png") != arg.npos ? PathOf(arg)
                                                          : arg);
        args.insert(args.begin() + 1, {"1", "1"});
        ToolRun run = Run(args, LimitedMemory);
        EXPECT_EQ(run.exitCode, bad.exitCode);
        EXPECT_NE(run.err.find(bad.message), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("too large"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("damaged"), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_FALSE(fs::exists(dir / "out.png"));
    }
    // At the limit it is read.
    ToolRun atLimit = Run(
        {PathOf("1001x1000.png"), "1", "1", "--max-pixels", "1001000", "-o", PathOf("out.png")});
    EXPECT_EQ(atLimit.exitCode, 0) << atLimit.err;
}

// More than 2^24 pixels in one direction is still a picture the tool takes.
TEST_F(ToolCommandLine, LongNarrowPicturesUnderTheLimitAreRead) {
    const int32_t width = (1 << 24) + 1;
    picture_io::Picture grey = Uniform(width, 1, 0x404040);
    grey.grey = true;
    WritePngFile(dir / "long.png", grey);
    ToolRun run = Run({PathOf("long.png"), "5", "0", "--step", "-1", "-o", PathOf("out.png")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("1 pixels painted"), std::string::npos) << run.out;
}

// Alpha goes through; the fill compares red, green and blue only, as the host does; painted
// pixels are opaque.
TEST_F(ToolCommandLine, TransparencyIsKeptAndPaintedPixelsAreOpaque) {
    picture_io::Picture image = Uniform(6, 4, 0x80204060u); // half transparent
    FillRect(&image, 3, 0, 5, 3, 0x00204060u);              // the same colour, fully transparent
    FillRect(&image, 0, 3, 5, 3, 0xFF0000FFu);              // an opaque blue row
    SaveRgba(dir / "rgba.png", image);
    ToolRun run = Run({PathOf("rgba.png"), "0", "0", "--step", "0", "--seed-tolerance", "0",
                       "--before-after", PathOf("both.png"), "-o", PathOf("out.png")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ChannelsOf(dir / "out.png"), 4);
    EXPECT_EQ(ChannelsOf(dir / "both.png"), 4);
    picture_io::Picture result = LoadPicture("out.png");
    ASSERT_EQ(result.pixels.size(), image.pixels.size());
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        SCOPED_TRACE(i);
        bool blue = i >= 18;
        EXPECT_EQ(result.pixels[i], blue ? image.pixels[i] : 0xFFFF00FFu);
    }

    // Grey with alpha comes out as RGBA as well; a picture without alpha stays RGB.
    picture_io::Picture greyAlpha = Uniform(4, 1, 0);
    greyAlpha.pixels = {0x000A0A0Au, 0xFF0A0A0Au, 0x80C8C8C8u, 0x07C8C8C8u};
    greyAlpha.grey = greyAlpha.hasAlpha = true;
    WritePngFile(dir / "ga.png", greyAlpha);
    ASSERT_EQ(
        Run({PathOf("ga.png"), "0", "0", "--step", "-1", "-o", PathOf("ga-out.png")}).exitCode, 0);
    EXPECT_EQ(ChannelsOf(dir / "ga-out.png"), 4);
    EXPECT_EQ(LoadPicture("ga-out.png").pixels,
              (std::vector<uint32_t>{0xFFFF00FFu, 0xFF0A0A0Au, 0x80C8C8C8u, 0x07C8C8C8u}));
    ASSERT_EQ(Run({PathOf("in.png"), "0", "0", "-o", PathOf("rgb-out.png")}).exitCode, 0);
    EXPECT_EQ(ChannelsOf(dir / "rgb-out.png"), 3);
}

// ---- The plug-in -------------------------------------------------------------------------------

// A bare name is a file in the current folder, never a library found on the search path.
TEST_F(ToolCommandLine, PluginNameIsAFileInTheCurrentFolder) {
    fs::copy_file(OVERFLOWING_PLUGIN_PATH, dir / "paint.so");
    const std::string inDir = "cd " + Quote(dir.string()) + " &&";
    ToolRun local = Run(Args({"2", "2", "--plugin", "paint.so", "-o", "out.png"}), inDir);
    EXPECT_EQ(local.exitCode, 3) << local.err; // the stand-in's "Buffer over" on click 2
    EXPECT_NE(local.out.find("\"Buffer over\": yes (click 2)"), std::string::npos) << local.out;

    // libc is on every search path, but not in this folder.
    ToolRun system = Run(Args({"--plugin", "libc.so.6", "-o", "out2.png"}), inDir);
    EXPECT_EQ(system.exitCode, 1);
    EXPECT_NE(system.err.find("cannot load plug-in 'libc.so.6': No such file"), std::string::npos)
        << system.err;
    ToolRun lacking = Run(Args({"--plugin", NOT_A_PLUGIN_PATH, "-o", "out2.png"}), inDir);
    EXPECT_NE(lacking.err.find(std::string("plug-in '") + NOT_A_PLUGIN_PATH +
                               "': it lacks the export VXcGetDrawInfo"),
              std::string::npos)
        << lacking.err;
    EXPECT_FALSE(fs::exists(dir / "out2.png"));
}

} // namespace

// --batch: each line is a run of its own, as if the tool had been started once per line: the
// runs' outputs are their own (a failing line leaves the others' results alone, a later line's
// options are not an earlier line's), each line's status follows what it printed, and empty
// lines are passed over but counted.
TEST_F(ToolCommandLine, BatchRunsEachLineAsARunOfItsOwn) {
    const std::string tab = "\t";
    std::ofstream(PathOf("runs.batch"))
        << PathOf("in.png") + tab + "1" + tab + "1" + tab + "--paint" + tab + "00FF00" + tab +
               "-o" + tab + PathOf("green.png") + "\n"
        << "\r\n"
        << PathOf("missing.png") + tab + "1" + tab + "1" + tab + "-o" + tab + PathOf("no.png") +
               "\n"
        << PathOf("in.png") + tab + "1" + tab + "1" + tab + "-o" + tab + PathOf("default.png") +
               "\r\n"
        << "--bogus\n";
    ToolRun run = Run({"--batch", PathOf("runs.batch")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("batch line 1: status 0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("batch line 3: status 1\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("batch line 4: status 0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("batch line 5: status 2\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("batch line 2:"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("missing.png"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(PathOf("no.png")));
    // The default paint of line 4 is not line 1's green.
    EXPECT_EQ(At(LoadPicture("green.png"), 1, 1) & 0x00FFFFFFu, 0x0000FF00u);
    EXPECT_EQ(At(LoadPicture("default.png"), 1, 1) & 0x00FFFFFFu, Magenta);

    EXPECT_EQ(Run({"--batch", PathOf("nothing.batch")}).exitCode, 1);
}
