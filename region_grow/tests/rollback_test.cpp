// The outputs' rollback, by fault injection: a run's outputs of every kind (files replacing
// others, a new file, a symbolic link's target, frames over older ones, a stream) are put in
// place with the Nth write, rename or link made to fail, for every N until a run meets no
// fault. Each time, every target must be as it was and no temporary may be left.
#include <gtest/gtest.h>
#include <stdio.h>

#include <filesystem>
#include <map>
#include <string>

#include "output_files.h"
#include "tool_test_support.h"
#include "window_frames.h"

namespace {

int stepsLeft = 0;   // the step that fails, counted down; 0 or less: none
bool failed = false; // whether the failing step was reached

bool FailTheNthStep() {
    if (--stepsLeft != 0)
        return false;
    failed = true;
    return true;
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Every file under `folder`, by its path from there, with its content; links as "-> target".
std::map<std::string, std::string> Contents(const fs::path& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().lexically_relative(folder).string();
        if (entry.is_symlink())
            contents[name] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_regular_file())
            contents[name] = ReadFile(entry.path());
        else
            contents[name] = "(folder)";
    }
    return contents;
}

class OutputRollback : public ToolTest {};

TEST_F(OutputRollback, FailingEachStepInTurnLeavesEveryTargetAsItWas) {
    const fs::path work = dir / "work";
    fs::create_directories(work / "frames");
    WriteText(work / "result.png", "the result of an earlier run");
    WriteText(work / "record.txt", "an earlier record");
    WriteText(work / "linked-target.png", "what the link leads to");
    fs::create_symlink("linked-target.png", work / "link.png");
    WriteText(work / "frames" / "frame-00001.png", "an earlier frame");
    WriteText(work / "frames" / "notes.txt", "the user's own file");
    const std::map<std::string, std::string> before = Contents(work);

    int steps = 0;
    for (int n = 1;; ++n) {
        SCOPED_TRACE("step " + std::to_string(n) + " fails");
        FILE* stream = tmpfile();
        ASSERT_NE(stream, nullptr);
        {
            files::PendingFile result, record, fresh, linked, piped;
            growth_views::PendingFrames frames;
            std::string error;
            ASSERT_TRUE(result.Open((work / "result.png").string(), &error)) << error;
            ASSERT_TRUE(record.Open((work / "record.txt").string(), &error)) << error;
            ASSERT_TRUE(fresh.Open((work / "before-after.png").string(), &error)) << error;
            ASSERT_TRUE(linked.Open((work / "link.png").string(), &error)) << error;
            ASSERT_TRUE(piped.Open("/dev/fd/" + std::to_string(fileno(stream)), &error)) << error;
            ASSERT_TRUE(frames.Open((work / "frames").string(), &error)) << error;
            for (files::PendingFile* file : {&result, &record, &fresh, &linked, &piped})
                fputs("new content", file->File());
            for (const char* name : {"frame-00001.png", "frame-00002.png"})
                WriteText(fs::path(frames.Folder()) / name, "a new frame");

            stepsLeft = n;
            failed = false;
            files::SetOutputFaultHook(FailTheNthStep);
            const bool committed =
                files::CommitTogether({&frames, &record, &fresh, &piped, &linked, &result}, &error);
            files::SetOutputFaultHook(nullptr);
            if (!failed) {
                EXPECT_TRUE(committed) << error;
                steps = n - 1;
                EXPECT_EQ(ReadFile(work / "result.png"), "new content");
                EXPECT_EQ(ReadFile(work / "linked-target.png"), "new content");
                EXPECT_TRUE(fs::is_symlink(work / "link.png"));
                EXPECT_EQ(ReadFile(work / "frames" / "frame-00002.png"), "a new frame");
                fclose(stream);
                break;
            }
            EXPECT_FALSE(committed);
            EXPECT_FALSE(error.empty());
        } // the staged outputs go, and with them every temporary
        fclose(stream);
        EXPECT_EQ(Contents(work), before);
        if (HasFailure())
            break;
    }
    // Each file's flush, its name, the link keeping its old file, its rename; the frames' moves;
    // the stream's bytes: a run of these outputs takes well over a dozen steps.
    EXPECT_GT(steps, 12);
}

} // namespace
