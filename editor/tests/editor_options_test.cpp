// The editor's command line, read natively: the parser is plain C++.
#include "editor_options.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "recent_files.h"

namespace {

editor::EditorOptions Parsed(const std::vector<std::string>& args) {
    editor::EditorOptions options;
    std::string error;
    EXPECT_TRUE(editor::ParseEditorOptions(args, &options, &error)) << error;
    return options;
}

std::string Refusal(const std::vector<std::string>& args) {
    editor::EditorOptions options;
    std::string error;
    EXPECT_FALSE(editor::ParseEditorOptions(args, &options, &error));
    return error;
}

} // namespace

TEST(EditorOptions, EachOptionLandsInItsOwnField) {
    editor::EditorOptions options = Parsed({"--step",
                                            "7",
                                            "in.png",
                                            "--seed-tolerance",
                                            "",
                                            "--tool",
                                            "Other",
                                            "--click",
                                            "3",
                                            "-4",
                                            "--answer",
                                            "Yes",
                                            "--click",
                                            "10",
                                            "20",
                                            "--undo",
                                            "2",
                                            "--redo",
                                            "1",
                                            "--save",
                                            "out.png",
                                            "--screenshot",
                                            "shot.png",
                                            "--close-window",
                                            "--quit",
                                            "--close-messages",
                                            "--forget-drawn",
                                            "--report-layout",
                                            "--check-repaints",
                                            "--input-during-fill",
                                            "--report-status"});
    EXPECT_EQ(options.picturePath, "in.png");
    EXPECT_EQ(options.stepText, "7");
    EXPECT_EQ(options.seedText, "");
    EXPECT_EQ(options.toolName, "Other");
    EXPECT_EQ(options.answer, "Yes");
    ASSERT_EQ(options.clicks.size(), 2u);
    EXPECT_EQ(options.clicks[0].x, 3);
    EXPECT_EQ(options.clicks[0].y, -4);
    EXPECT_EQ(options.clicks[1].x, 10);
    EXPECT_EQ(options.clicks[1].y, 20);
    EXPECT_EQ(options.undos, 2);
    EXPECT_EQ(options.redos, 1);
    EXPECT_EQ(options.savePath, "out.png");
    EXPECT_EQ(options.screenshotPath, "shot.png");
    EXPECT_TRUE(options.closeWindow && options.quit && options.closeMessages &&
                options.forgetDrawn && options.reportLayout && options.checkRepaints &&
                options.inputDuringFill && options.reportStatus);
    EXPECT_FALSE(options.help);

    // Nothing given: the defaults, and no script.
    editor::EditorOptions plain = Parsed({"in.png"});
    EXPECT_EQ(plain.stepText, "12");
    EXPECT_EQ(plain.seedText, "40");
    EXPECT_EQ(plain.toolName, "RegionGrowing");
    EXPECT_EQ(plain.answer, "Cancel");
    EXPECT_FALSE(plain.HasScript());
    EXPECT_TRUE(Parsed({"-h"}).help);
    EXPECT_TRUE(Parsed({"--quit", "--help"}).help); // help needs no picture, script or not
}

TEST(EditorOptions, MalformedCommandLinesAreRefusedWithTheReason) {
    EXPECT_EQ(Refusal({"in.png", "--step"}), "--step needs a value");
    EXPECT_EQ(Refusal({"in.png", "--click", "3"}), "--click needs a value");
    EXPECT_EQ(Refusal({"in.png", "--click", "3", "x"}), "--click needs two integers, not 3 x");
    EXPECT_EQ(Refusal({"in.png", "--click", "3", "99999999999"}),
              "--click needs two integers, not 3 99999999999");
    EXPECT_EQ(Refusal({"in.png", "--undo", "-1"}), "--undo needs a count of 0 or more, not -1");
    EXPECT_EQ(Refusal({"in.png", "--redo", "two"}), "--redo needs a count of 0 or more, not two");
    EXPECT_EQ(Refusal({"in.png", "--steps", "3"}), "unknown option --steps");
    EXPECT_EQ(Refusal({"a.png", "b.png"}), "more than one picture: a.png and b.png");
    EXPECT_EQ(Refusal({"--click", "1", "2"}), "a script needs a PICTURE");
    EXPECT_EQ(Refusal({"--quit"}), "a script needs a PICTURE");
    // A batch takes its pictures and scripts from its file alone; how its boxes are closed may
    // be said on the command line.
    EXPECT_EQ(Refusal({"--batch", "runs.txt", "in.png"}),
              "--batch takes its pictures and scripts from its file");
    EXPECT_EQ(Refusal({"--batch", "runs.txt", "--click", "1", "2"}),
              "--batch takes its pictures and scripts from its file");
    EXPECT_EQ(Parsed({"--batch", "runs.txt", "--close-messages"}).batchPath, "runs.txt");
}

// Keys as the scripted mode presses them: the modifiers, letters and digits by their own codes,
// and the named keys by Windows' virtual-key codes; the order of the keys kept.
TEST(EditorOptions, KeysAndThePaintColourAreRead) {
    editor::EditorOptions options =
        Parsed({"in.png", "--key", "Ctrl+Shift+s", "--key", "left", "--key", "shift+RIGHT", "--key",
                "ctrl+0", "--key", "enter", "--key", "ctrl+plus", "--key", "ctrl+minus", "--paint",
                "#00c0FF"});
    const editor::KeyPress expected[] = {{'S', true, true, ""},    {0x25, false, false, ""},
                                         {0x27, false, true, ""},  {'0', true, false, ""},
                                         {0x0D, false, false, ""}, {0xBB, true, false, ""},
                                         {0xBD, true, false, ""}};
    ASSERT_EQ(options.keys.size(), sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < options.keys.size(); ++i)
        EXPECT_EQ(options.keys[i], expected[i]) << "key " << i << " " << options.keys[i].text;
    EXPECT_EQ(options.keys[0].text, "Ctrl+Shift+s");
    EXPECT_TRUE(options.HasScript());
    EXPECT_TRUE(options.paintGiven);
    EXPECT_EQ(options.paintColour, 0x0000C0FFu);
    EXPECT_FALSE(Parsed({"in.png"}).paintGiven);

    for (const char* text : {"", "ctrl+", "+s", "ctrl+ctrl+s", "alt+s", "ctrl+shift", "f1", "sx"})
        EXPECT_EQ(Refusal({"in.png", "--key", text}),
                  std::string("--key names no key this editor knows: ") + text);
    EXPECT_EQ(Refusal({"in.png", "--paint", "ff00f"}),
              "--paint needs a colour as RRGGBB in hex, not ff00f");
    EXPECT_EQ(Refusal({"--key", "s"}), "a script needs a PICTURE");
}

// The File menu's recent pictures (recent_files.h, header-only and tested here with the other
// plain C++ of the editor): newest first, one entry a file whatever the case or slashes, at most
// eight, and read back from what is written, or from a hand-edited file.
TEST(RecentFiles, NewestFirstOncePerFileAtMostEightAndReadBack) {
    std::vector<std::string> list;
    for (int i = 0; i < 10; ++i)
        editor::AddRecentFile(&list, "C:\\pictures\\" + std::to_string(i) + ".png");
    ASSERT_EQ(list.size(), editor::RecentFilesKept);
    EXPECT_EQ(list.front(), "C:\\pictures\\9.png");
    EXPECT_EQ(list.back(), "C:\\pictures\\2.png");
    // Opened again under another spelling: moved to the front as typed now, not repeated.
    editor::AddRecentFile(&list, "c:/Pictures/5.PNG");
    ASSERT_EQ(list.size(), editor::RecentFilesKept);
    EXPECT_EQ(list[0], "c:/Pictures/5.PNG");
    EXPECT_EQ(list[1], "C:\\pictures\\9.png");
    EXPECT_EQ(std::count(list.begin(), list.end(), "C:\\pictures\\5.png"), 0);
    EXPECT_EQ(list.back(), "C:\\pictures\\2.png"); // nothing else went
    // A name in another script is kept byte for byte.
    editor::AddRecentFile(&list, "D:\\фото\\кот.png");
    EXPECT_EQ(list[0], "D:\\фото\\кот.png");
    EXPECT_EQ(list.back(), "C:\\pictures\\3.png");

    EXPECT_EQ(editor::ParseRecentFiles(editor::FormatRecentFiles(list)), list);
    EXPECT_EQ(editor::ParseRecentFiles("\xEF\xBB\xBF"
                                       "a.png\r\n\nB.PNG\nb.png\r\nc.png"),
              (std::vector<std::string>{"a.png", "B.PNG", "c.png"}));
    std::string many;
    for (int i = 0; i < 12; ++i)
        many += std::to_string(i) + "\n";
    EXPECT_EQ(editor::ParseRecentFiles(many).size(), editor::RecentFilesKept);
    EXPECT_TRUE(editor::ParseRecentFiles("").empty());
}
