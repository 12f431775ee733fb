// region_grow's outputs against the files around them: never an input, named for their format,
// refused where the user may not write, replacing a file with its owner and mode kept, and put
// in place only once the summary is written.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "tool_test_support.h"

namespace {

class ToolOutputRules : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        SavePicture("in.png", Varied(8, 6));
        ASSERT_EQ(Run({PathOf("in.png"), "1", "1", "-o", PathOf("plain.png")}).exitCode, 0);
        plain = ReadFile(dir / "plain.png");
    }

    // Runs IN 1 1 and `extra` in the test's folder, with relative names as typed; -o x.png
    // unless `extra` names an -o.
    ToolRun RunHere(const std::string& input, std::vector<std::string> extra) const {
        std::vector<std::string> args = {input, "1", "1"};
        if (std::find(extra.begin(), extra.end(), "-o") == extra.end())
            extra.insert(extra.end(), {"-o", "x.png"});
        args.insert(args.end(), extra.begin(), extra.end());
        return Run(args, "cd " + Quote(dir.string()) + " &&");
    }

    std::string plain; // the PNG the tool writes for in.png 1 1
};

struct RefusedCase {
    const char* what;
    std::string input;
    std::vector<std::string> extra;
    std::string message;
};

// An output that is an input by any name, link or hard link is refused before any work, and
// every input stays as it was.
TEST_F(ToolOutputRules, OutputsNamingAnInputAreRefused) {
    fs::create_directories(dir / "sub");
    fs::create_directories(dir / "fr");
    SavePicture("mask.png", Uniform(8, 6, 0));
    SavePicture("fr/overview.png", Varied(8, 6));
    fs::copy_file(PLUGIN_PATH, dir / "plug.so");
    fs::copy_file(TEST_DATA_DIR "/varied.jpg", dir / "photo.jpg");
    fs::create_symlink("in.png", dir / "in-link.txt");
    fs::create_hard_link(dir / "in.png", dir / "in-hard.png");
    fs::create_hard_link(dir / "plug.so", dir / "plug-hard.txt");
    fs::create_hard_link(dir / "photo.jpg", dir / "photo-hard.png");
    const std::vector<std::string> inputs = {"in.png", "mask.png", "fr/overview.png", "plug.so",
                                             "photo.jpg"};
    std::vector<std::string> before;
    for (const std::string& name : inputs)
        before.push_back(ReadFile(dir / name));
    const std::vector<std::string> names = FileNames(dir);

    const std::vector<RefusedCase> cases = {
        {"another spelling",
         "in.png",
         {"--before-after", "sub/../in.png"},
         "--before-after 'sub/../in.png' and the input 'in.png' name the same file"},
        {"./", "in.png", {"--before-after", "./in.png"}, "'./in.png' and the input 'in.png'"},
        {"a symbolic link",
         "in.png",
         {"--record", "in-link.txt"},
         "--record 'in-link.txt' and the input 'in.png' name the same file"},
        {"a hard link", "in.png", {"--before-after", "in-hard.png"}, "and the input 'in.png'"},
        {"the input given by a link", "in-link.txt", {"--before-after", "in.png"}, "the input"},
        {"-o on a JPEG input",
         "photo.jpg",
         {"-o", "photo-hard.png"},
         "-o 'photo-hard.png' and the input 'photo.jpg' name the same file: only a PNG input "
         "(this one is JPEG)"},
        {"the mask",
         "in.png",
         {"--drawn", "mask.png", "-o", "./mask.png"},
         "-o './mask.png' and the --drawn mask 'mask.png' name the same file"},
        {"the mask that is the input", "in.png", {"--drawn", "in.png", "-o", "in.png"}, "mask"},
        {"the plug-in",
         "in.png",
         {"--plugin", "plug.so", "--record", "plug-hard.txt"},
         "--record 'plug-hard.txt' and the plug-in 'plug.so' name the same file"},
        {"an input a frame replaces",
         "fr/overview.png",
         {"--frames", "fr"},
         "the input 'fr/overview.png' lies in the --frames folder"},
    };
    for (const RefusedCase& refused : cases) {
        SCOPED_TRACE(refused.what);
        ToolRun run = RunHere(refused.input, refused.extra);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(refused.message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.out, "");
        for (size_t i = 0; i < inputs.size(); ++i)
            EXPECT_EQ(ReadFile(dir / inputs[i]), before[i]) << inputs[i];
        EXPECT_EQ(FileNames(dir), names);
    }
}

// -o IN edits a PNG in place, and only once everything else has succeeded.
TEST_F(ToolOutputRules, OutputOverAPngInputReplacesItLast) {
    SavePicture("edit.png", Uniform(40, 40, 0x00202020u)); // several refresh requests
    const std::string original = ReadFile(dir / "edit.png");
    fs::create_directories(dir / "fr/frame-00002.png"); // a folder where a frame must go
    ToolRun failed = RunHere("edit.png", {"--frames", "fr", "-o", "./edit.png"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.err.find("frame-00002.png': Is a directory"), std::string::npos) << failed.err;
    EXPECT_EQ(ReadFile(dir / "edit.png"), original);

    ToolRun edited = RunHere("edit.png", {"-o", "edit.png"});
    ASSERT_EQ(edited.exitCode, 0) << edited.err;
    const picture_io::Picture result = LoadPicture("edit.png");
    EXPECT_EQ(std::count(result.pixels.begin(), result.pixels.end(), Magenta), 40 * 40);
}

TEST_F(ToolOutputRules, OutputNamesSayTheirFormat) {
    fs::create_symlink("elsewhere.jpg", dir / "to-jpeg.png");
    fs::create_symlink("elsewhere.png", dir / "to-png.txt");
    const std::vector<RefusedCase> cases = {
        {"JPEG name", "in.png", {"-o", "photo.jpg"}, "-o 'photo.jpg' writes PNG: name it .png"},
        {"no extension", "in.png", {"-o", "result"}, "-o 'result' writes PNG: name it .png"},
        {"a link to a JPEG name",
         "in.png",
         {"-o", "to-jpeg.png"},
         "-o 'to-jpeg.png' writes PNG into 'elsewhere.jpg', where its links lead: name it .png"},
        {"before-after", "in.png", {"--before-after", "both.webp"}, "writes PNG: name it .png"},
        {"a record named as a PNG",
         "in.png",
         {"--record", "r.png"},
         "--record 'r.png' writes text: name it other than .png"},
        {"any case", "in.png", {"--record", "R.JPEG"}, "name it other than .jpeg"},
        {"TIFF", "in.png", {"--record", "r.Tiff"}, "name it other than .tiff"},
        {"a link to a picture name", "in.png", {"--record", "to-png.txt"}, "into 'elsewhere.png'"},
    };
    for (const RefusedCase& refused : cases) {
        SCOPED_TRACE(refused.what);
        ToolRun run = RunHere(refused.input, refused.extra);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(refused.message), std::string::npos) << run.err;
        EXPECT_EQ(FileNames(dir),
                  (std::vector<std::string>{"in.png", "plain.png", "to-jpeg.png", "to-png.txt"}));
    }
    ToolRun named = RunHere("in.png", {"-o", "UP.PNG", "--before-after", "b.Png", "--record",
                                       "r.png.txt", "--animation", "a.GIF"});
    ASSERT_EQ(named.exitCode, 0) << named.err;
    EXPECT_EQ(ReadFile(dir / "UP.PNG"), plain);
}

// As cp: a file whose mode has no write bit is refused even to root, the rest as access() says.
TEST_F(ToolOutputRules, TargetsTheUserMayNotWriteAreRefused) {
    for (const char* locked : {"locked.png", "locked.txt"}) {
        std::ofstream(PathOf(locked)) << "locked";
        fs::permissions(dir / locked, fs::perms(0444));
    }
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{"-o", "locked.png"}, {"--record", "locked.txt"}}) {
        ToolRun run = RunHere("in.png", extra);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("cannot write '" + extra[1] + "': Permission denied"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.out, "") << "refused before any work";
        EXPECT_EQ(ReadFile(dir / extra[1]), "locked");
    }
    EXPECT_FALSE(fs::exists(dir / "x.png"));

    // Another user, in a folder anyone may write, may not replace root's file.
    if (geteuid() != 0)
        GTEST_SKIP() << "another user's run needs root to start it";
    std::ofstream(PathOf("roots.png")) << "root's";
    fs::permissions(dir, fs::perms(0777));
    fs::permissions(dir / "in.png", fs::perms(0644));
    EXPECT_EQ(Shell("setpriv --reuid=65534 --regid=65534 --clear-groups $T in.png 1 1 "
                    "-o roots.png 2>err.txt"),
              1);
    EXPECT_NE(ReadFile(dir / "err.txt").find("cannot write 'roots.png': Permission denied"),
              std::string::npos)
        << ReadFile(dir / "err.txt");
    EXPECT_EQ(ReadFile(dir / "roots.png"), "root's");
}

// A replaced file keeps its owner, group and mode; a hard link's other name keeps the old file.
TEST_F(ToolOutputRules, ReplacedFilesKeepTheirOwnerAndMode) {
    if (geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    std::ofstream(PathOf("theirs.png")) << "theirs";
    ASSERT_EQ(chown(PathOf("theirs.png").c_str(), 54321, 54322), 0);
    ASSERT_EQ(chmod(PathOf("theirs.png").c_str(), 0640), 0);
    fs::create_hard_link(dir / "theirs.png", dir / "other-name.png");
    ToolRun run = RunHere("in.png", {"-o", "theirs.png"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    struct stat status;
    ASSERT_EQ(stat(PathOf("theirs.png").c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 54321u);
    EXPECT_EQ(status.st_gid, 54322u);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(dir / "theirs.png"), plain);
    EXPECT_EQ(ReadFile(dir / "other-name.png"), "theirs");
}

// The summary is written before any file is put in place: when it cannot be, nothing changes.
TEST_F(ToolOutputRules, SummaryThatCannotBeWrittenLeavesEveryOutputAsItWas) {
    std::ofstream(PathOf("x.png")) << "earlier result";
    std::ofstream(PathOf("r.txt")) << "earlier record";
    EXPECT_EQ(Shell("$T in.png 1 1 -o x.png --record r.txt --explore ex >/dev/full 2>err.txt"), 1);
    const std::string err = ReadFile(dir / "err.txt");
    EXPECT_NE(err.find("cannot write the summary to standard output: No space left on device"),
              std::string::npos)
        << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(ReadFile(dir / "x.png"), "earlier result");
    EXPECT_EQ(ReadFile(dir / "r.txt"), "earlier record");
    EXPECT_FALSE(fs::exists(dir / "ex"));

    // The picture on standard output: the summary follows it, on standard error.
    EXPECT_EQ(Shell("$T in.png 1 1 -o - --record r.txt >out.png 2>/dev/full"), 1);
    EXPECT_EQ(ReadFile(dir / "out.png"), plain);
    EXPECT_EQ(ReadFile(dir / "r.txt"), "earlier record");
    EXPECT_EQ(FileNames(dir), (std::vector<std::string>{"err.txt", "in.png", "out.png", "plain.png",
                                                        "r.txt", "x.png"}));
}

} // namespace
