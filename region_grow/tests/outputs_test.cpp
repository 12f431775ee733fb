// region_grow's outputs as one transaction: streams written through the descriptor they name,
// temporaries nobody can plant, nothing put in place unless everything is, write errors on
// closed pipes, and the command line's smaller promises.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <gif_lib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <thread>

#include "tool_test_support.h"

extern char** environ;

namespace {

class ToolOutputs : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        SavePicture("in.png", Varied(8, 6));
        ASSERT_EQ(Run({PathOf("in.png"), "1", "1", "-o", PathOf("plain.png")}).exitCode, 0);
        plain = ReadFile(dir / "plain.png");
    }

    // Files in the folder, but for the ones every test starts with.
    std::vector<std::string> NewNames() const {
        std::vector<std::string> names;
        for (const std::string& name : FileNames(dir))
            if (name != "in.png" && name != "plain.png")
                names.push_back(name);
        return names;
    }

    std::string plain; // the PNG the tool writes for in.png 1 1
};

// /dev/stdout, /dev/stderr and /dev/fd/N are the descriptors the shell opened: written through,
// so ">>" appends, and a pipe gets the bytes.
TEST_F(ToolOutputs, DescriptorsAreWrittenThroughNeverReplaced) {
    ASSERT_EQ(Shell("echo keep > log.txt; $T in.png 1 1 -o /dev/stdout >> log.txt 2>sum.txt"), 0);
    EXPECT_EQ(ReadFile(dir / "log.txt"), "keep\n" + plain);
    EXPECT_NE(ReadFile(dir / "sum.txt").find("1 pixels painted"), std::string::npos);

    ASSERT_EQ(Shell("echo keep > err.txt; $T in.png 1 1 -o x.png --record /dev/stderr "
                    "2>> err.txt >/dev/null"),
              0);
    EXPECT_EQ(ReadFile(dir / "err.txt").rfind("keep\nclick 1 1\n", 0), 0u);

    ASSERT_EQ(Shell("set -o pipefail; $T in.png 1 1 -o /dev/stdout 2>/dev/null | cat > p.png"), 0);
    EXPECT_EQ(ReadFile(dir / "p.png"), plain);
    ASSERT_EQ(Shell("$T in.png 1 1 -o /proc/self/fd/7 7>>fd7.png >/dev/null"), 0);
    EXPECT_EQ(ReadFile(dir / "fd7.png"), plain);

    // A descriptor not held, or held for reading only, is a file that cannot be written.
    EXPECT_EQ(Shell("$T in.png 1 1 -o /dev/fd/8 2>e8.txt"), 1);
    EXPECT_NE(ReadFile(dir / "e8.txt").find("Bad file descriptor"), std::string::npos);
    EXPECT_EQ(Shell("$T in.png 1 1 -o /dev/fd/8 8<in.png 2>e8.txt"), 1);
    EXPECT_NE(ReadFile(dir / "e8.txt").find("reading only"), std::string::npos);
    // Two names for one descriptor's file clash.
    EXPECT_EQ(Shell("$T in.png 1 1 -o /dev/stdout --record log.txt >>log.txt 2>e.txt"), 2);
    EXPECT_NE(ReadFile(dir / "e.txt").find("name the same file"), std::string::npos);
}

// The temporary's name cannot be guessed: a link planted under the old predictable name (the
// shell's $$ is the tool's process id after exec) gets nothing.
TEST_F(ToolOutputs, PlantedLinksGetNothing) {
    std::ofstream(PathOf("victim.txt")) << "victim";
    ASSERT_EQ(Shell("ln -s victim.txt out.png.tmp-$$; exec $T in.png 1 1 -o out.png >/dev/null"),
              0);
    EXPECT_EQ(ReadFile(dir / "victim.txt"), "victim");
    EXPECT_FALSE(fs::is_symlink(dir / "out.png"));
    EXPECT_EQ(ReadFile(dir / "out.png"), plain);
    // A name as long as the system allows still has room beside it for the temporary.
    const std::string longName(250, 'n');
    ASSERT_EQ(Run({PathOf("in.png"), "1", "1", "-o", PathOf(longName + ".png")}).exitCode, 0);
    EXPECT_EQ(ReadFile(dir / (longName + ".png")), plain);
}

// A failure at the last step, and a clash with a folder the run would make, change nothing.
TEST_F(ToolOutputs, NothingIsPutInPlaceUnlessEverythingIs) {
    fs::create_directories(dir / "fr/frame-00002.png"); // a folder where a frame must go
    std::ofstream(PathOf("fr/frame-99999.png")) << "earlier frame";
    std::ofstream(PathOf("x.png")) << "earlier result";
    std::ofstream(PathOf("r.txt")) << "earlier record";
    SavePicture("big.png", Uniform(40, 40, 0x00202020u)); // several refresh requests
    ToolRun run = Run({PathOf("big.png"), "1", "1", "--frames", PathOf("fr"), "--record",
                       PathOf("r.txt"), "-o", PathOf("x.png")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("frame-00002.png': Is a directory"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(dir / "x.png"), "earlier result");
    EXPECT_EQ(ReadFile(dir / "r.txt"), "earlier record");
    EXPECT_EQ(FileNames(dir / "fr"),
              (std::vector<std::string>{"frame-00002.png", "frame-99999.png"}));
    EXPECT_EQ(NewNames(), (std::vector<std::string>{"big.png", "fr", "r.txt", "x.png"}));

    // -o is the folder --frames would create for itself, or lies in it: a clash.
    for (const char* output : {"oc/out", "oc/out/fr/../x.png"}) {
        SCOPED_TRACE(output);
        ToolRun clash = Run({PathOf("in.png"), "1", "1", "-o", PathOf(output), "--record",
                             PathOf("oc/r.txt"), "--frames", PathOf("oc/out/fr")});
        EXPECT_EQ(clash.exitCode, 2);
        EXPECT_NE(clash.err.find("a folder this run would create"), std::string::npos) << clash.err;
        EXPECT_FALSE(fs::exists(dir / "oc"));
    }
}

// A pipe closed early and a closed standard output are write errors: one line, status 1, and
// every temporary gone, the folders made for the frames too.
TEST_F(ToolOutputs, ClosedPipesAndClosedOutputFailCleanly) {
    SavePicture("noise.png", Varied(300, 300)); // a PNG far larger than a pipe holds
    fs::create_directories(dir / "o");
    ASSERT_EQ(Shell("$T noise.png 0 0 -o - --record o/rec.txt --before-after o/ba.png "
                    "--frames o/fr 2>err.txt | head -c 10 >/dev/null; exit ${PIPESTATUS[0]}"),
              1);
    std::string err = ReadFile(dir / "err.txt");
    EXPECT_NE(err.find("cannot write '-': Broken pipe"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_TRUE(FileNames(dir / "o").empty());

    // Standard output closed: the summary has nowhere to go, so nothing is done.
    EXPECT_EQ(Shell("$T in.png 1 1 -o c.png >&- 2>err.txt"), 1);
    EXPECT_NE(ReadFile(dir / "err.txt").find("standard output is closed"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "c.png"));
    EXPECT_EQ(Shell("$T in.png 1 1 -o - >&- 2>err.txt"), 1);
    EXPECT_NE(ReadFile(dir / "err.txt").find("cannot write '-'"), std::string::npos);
    EXPECT_EQ(Shell("$T --help >&- 2>err.txt"), 1);
    // Both closed: no line to write, still status 1 and no file.
    EXPECT_EQ(Shell("$T in.png 1 1 -o c.png >&- 2>&-"), 1);
    EXPECT_FALSE(fs::exists(dir / "c.png"));
    EXPECT_EQ(NewNames(), (std::vector<std::string>{"err.txt", "noise.png", "o"}));
}

// A socket is written by connecting to it, as a FIFO is by opening it.
TEST_F(ToolOutputs, SocketsAreWrittenInto) {
    const std::string path = PathOf("s");
    int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    memcpy(address.sun_path, path.c_str(), path.size());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    std::string received;
    std::thread reader([&] {
        int connection = accept(listener, nullptr, nullptr);
        char buffer[4096];
        for (ssize_t got; connection >= 0 && (got = read(connection, buffer, sizeof buffer)) > 0;)
            received.append(buffer, size_t(got));
        close(connection);
    });
    ToolRun run = Run({PathOf("in.png"), "1", "1", "-o", path});
    shutdown(listener, SHUT_RDWR); // wakes the reader when the tool never connected
    reader.join();
    close(listener);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(received, plain);
}

// ---- The command line's smaller promises ------------------------------------------------------

TEST_F(ToolOutputs, SmallerCommandLineFaultsAreMended) {
    fs::create_symlink("loop-b", dir / "loop-a");
    fs::create_symlink("loop-a", dir / "loop-b");
    const std::vector<BadCase> cases = {
        {"empty -o", {"-o", ""}, 2, "option -o has an empty value"},
        {"empty -o=", {"-o="}, 2, "option -o has an empty value"},
        {"empty frames", {"--frames", "", "-o", "OUT"}, 2, "--frames has an empty value"},
        {"empty record", {"--record", "", "-o", "OUT"}, 2, "--record has an empty value"},
        {"empty before-after", {"--before-after=", "-o", "OUT"}, 2, "--before-after has an"},
        {"empty animation", {"--animation", "", "-o", "OUT"}, 2, "--animation has an empty"},
        {"empty drawn", {"--drawn", "", "-o", "OUT"}, 2, "--drawn has an empty value"},
        {"empty plugin", {"--plugin", "", "-o", "OUT"}, 2, "--plugin has an empty value"},
        {"animation neither format", {"--animation", "a.apng", "-o", "OUT"}, 2, "GIF (.gif)"},
        {"a loop of links", {"-o", "loop-a"}, 1, "Too many levels of symbolic links"},
    };
    for (const BadCase& bad : cases) {
        SCOPED_TRACE(bad.what);
        std::vector<std::string> args = {PathOf("in.png"), "1", "1"};
        for (const std::string& arg : bad.args)
            args.push_back(arg == "OUT"                   ? PathOf("out.png")
                           : arg.empty() || arg[0] == '-' ? arg
                                                          : PathOf(arg));
        ToolRun run = Run(args);
        EXPECT_EQ(run.exitCode, bad.exitCode);
        EXPECT_NE(run.err.find(bad.message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    EXPECT_EQ(NewNames(), (std::vector<std::string>{"loop-a", "loop-b"}));

    ToolRun noY = Run({PathOf("in.png"), "0", "-o", PathOf("x.png")});
    EXPECT_EQ(noY.exitCode, 2);
    EXPECT_NE(noY.err.find("click X '0' has no Y"), std::string::npos) << noY.err;
    ToolRun equals = Run({PathOf("in.png"), "1", "1", "-o=" + PathOf("eq.png")});
    EXPECT_EQ(equals.exitCode, 0) << equals.err;
    EXPECT_EQ(ReadFile(dir / "eq.png"), plain);
    ToolRun help = Run({"--help"});
    EXPECT_NE(help.out.find("129"), std::string::npos);
}

// ---- Frames and animations ---------------------------------------------------------------------

long long Figure(const std::string& summary, const std::string& label) {
    size_t at = summary.find(" " + label);
    size_t start = summary.rfind(' ', at - 1);
    return at == std::string::npos ? -1 : std::stoll(summary.substr(start + 1, at - start - 1));
}

// Exactly as many frames as asked (or as there are requests), the default 200 included.
TEST_F(ToolOutputs, FrameLimitIsExact) {
    SavePicture("u.png", Uniform(300, 300, 0x00404040u));
    for (const char* limit : {"5", "200"}) {
        SCOPED_TRACE(limit);
        std::vector<std::string> args = {PathOf("u.png"),
                                         "1",
                                         "1",
                                         "150",
                                         "150",
                                         "--frames",
                                         PathOf(std::string("f") + limit),
                                         "-o",
                                         PathOf("out.png")};
        if (std::string(limit) != "200")
            args.insert(args.end(), {"--max-frames", limit});
        ToolRun run = Run(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        ASSERT_GT(Figure(run.out, "refresh requests"), 400);
        EXPECT_EQ(FileNames(dir / (std::string("f") + limit)).size(), size_t(atoi(limit)) + 1);
        EXPECT_NE(run.out.find(std::string("frames: ") + limit + " of"), std::string::npos)
            << run.out;
    }
}

// Thousands of requests: the overview still shows the paint, not only outlines.
TEST_F(ToolOutputs, OverviewShowsThePaintUnderManyRequests) {
    SavePicture("u.png", Uniform(2000, 1000, 0x00404040u));
    ToolRun run = Run({PathOf("u.png"), "1", "1", "--max-frames", "1", "--frames", PathOf("f"),
                       "-o", PathOf("out.png")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_GE(Figure(run.out, "refresh requests"), 9999);
    picture_io::Picture overview = LoadPicture("f/overview.png");
    ASSERT_EQ(overview.width, 960);
    const size_t paint =
        size_t(std::count(overview.pixels.begin(), overview.pixels.end(), Magenta));
    EXPECT_GT(paint, overview.pixels.size() / 2);
    EXPECT_LT(paint, overview.pixels.size()); // and some outlines
}

struct GifFrames {
    int width = 0, height = 0;
    std::vector<picture_io::Picture> pictures; // composed
    std::vector<int> delaysCs;
};

GifFrames DecodeGif(const fs::path& path) {
    GifFrames frames;
    int failure = 0;
    GifFileType* gif = DGifOpenFileName(path.string().c_str(), &failure);
    if (gif == nullptr || DGifSlurp(gif) == GIF_ERROR) {
        ADD_FAILURE() << "not a GIF: " << path;
        if (gif != nullptr)
            DGifCloseFile(gif, &failure);
        return frames;
    }
    frames.width = gif->SWidth;
    frames.height = gif->SHeight;
    picture_io::Picture canvas = Uniform(gif->SWidth, gif->SHeight, 0);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        const ColorMapObject* map =
            image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        for (int y = 0; y < image.ImageDesc.Height; ++y)
            for (int x = 0; x < image.ImageDesc.Width; ++x) {
                const GifColorType& c =
                    map->Colors[image.RasterBits[y * image.ImageDesc.Width + x]];
                canvas.pixels[size_t(image.ImageDesc.Top + y) * size_t(canvas.width) +
                              size_t(image.ImageDesc.Left + x)] =
                    uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
            }
        GraphicsControlBlock control;
        DGifSavedExtensionToGCB(gif, i, &control);
        frames.delaysCs.push_back(control.DelayTime);
        frames.pictures.push_back(canvas);
    }
    DGifCloseFile(gif, &failure);
    return frames;
}

// "x.gif" is a GIF, showing what the WebP shows; a tall picture is scaled to fit both ways.
TEST_F(ToolOutputs, AnimationIsTheFormatItsNameSaysAndFits) {
    picture_io::Picture island = Uniform(48, 44, 0);
    for (int32_t y = 2; y < 42; ++y)
        for (int32_t x = 6; x < 38; ++x)
            FillRect(&island, x, y, x, y, 0x00808000u + uint32_t(x + y) / 8);
    SavePicture("island.png", island);
    ToolRun run =
        Run({PathOf("island.png"), "20", "20", "--step", "3", "--seed-tolerance", "3",
             "--animation", PathOf("fill.GIF"), "--frames", PathOf("f"), "-o", PathOf("out.png")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "fill.GIF").substr(0, 6), "GIF89a");
    const GifFrames gif = DecodeGif(dir / "fill.GIF");
    const long long requests = Figure(run.out, "refresh requests");
    ASSERT_GE(requests, 4);
    ASSERT_EQ(gif.pictures.size(), size_t(requests) + 2);
    EXPECT_TRUE(gif.pictures.front().pixels == island.pixels);
    EXPECT_TRUE(gif.pictures[1].pixels == LoadPicture("f/frame-00001.png").pixels);
    EXPECT_TRUE(gif.pictures.back().pixels == LoadPicture("out.png").pixels);
    EXPECT_EQ(gif.delaysCs.back(), 200); // the result held 2 s

    SavePicture("tall.png", Uniform(10, 20000, 0x00303030u));
    ToolRun tall = Run({PathOf("tall.png"), "5", "5", "--step", "-1", "--animation",
                        PathOf("tall.gif"), "--frames", PathOf("tf"), "-o", PathOf("t.png")});
    ASSERT_EQ(tall.exitCode, 0) << tall.err;
    EXPECT_EQ(DecodeGif(dir / "tall.gif").height, 960);
    EXPECT_EQ(LoadPicture("tf/overview.png").height, 960);
}

// ---- The progress line ---------------------------------------------------------------------

// Reads what arrives on `master` for up to `ms` milliseconds, or until `until` shows up.
std::string ReadTerminal(int master, int ms, const std::string& until = "") {
    std::string text;
    char buffer[4096];
    for (int waited = 0; waited < ms; waited += 10) {
        struct pollfd readable = {master, POLLIN, 0};
        if (poll(&readable, 1, 10) == 1) {
            ssize_t got = read(master, buffer, sizeof buffer);
            if (got <= 0)
                break; // the terminal's last user is gone
            text.append(buffer, size_t(got));
        }
        if (!until.empty() && text.find(until) != std::string::npos)
            break;
    }
    return text;
}

// Interrupted on a terminal, the tool erases its progress line, so the prompt starts clean.
TEST_F(ToolOutputs, InterruptionErasesTheProgressLine) {
    SavePicture("u.png", Uniform(1500, 1500, 0x00404040u));
    std::vector<std::string> argv = {TOOL_PATH, PathOf("u.png")};
    for (int click = 0; click < 400; ++click)
        argv.insert(argv.end(), {"1", "1"}); // each fills the whole picture again
    argv.insert(argv.end(), {"-o", PathOf("out.png")});
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, ptsname(master), O_RDWR, 0);
    std::vector<char*> pointers;
    for (std::string& arg : argv)
        pointers.push_back(&arg[0]);
    pointers.push_back(nullptr);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, TOOL_PATH, &actions, nullptr, pointers.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    std::string shown = ReadTerminal(master, 20000, "clicks ");
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    shown += ReadTerminal(master, 500);
    close(master);
    ASSERT_NE(shown.find("clicks "), std::string::npos) << "no progress line: " << shown;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130);
    const std::string erase = "\r\033[K";
    ASSERT_GE(shown.size(), erase.size());
    EXPECT_EQ(shown.substr(shown.size() - erase.size()), erase) << shown;
    EXPECT_FALSE(fs::exists(dir / "out.png"));
}

} // namespace
