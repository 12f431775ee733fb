// editor_options.h - the editor's command line.
//
// The options a user types, and their defaults, are told once, in EditorUsage below: the text
// `vexra --help` prints.
//
// With no option but PICTURE the editor opens it and waits for the user. The other options
// make a script, run once the window is up, in this order: the two tolerance fields get their
// texts, the paint colour is set (--paint RRGGBB), the tool (RegionGrowing unless --tool names
// another) is selected through its toolbar button, each click is delivered to the view as mouse
// messages and reported on one line, each --key is pressed where the keyboard's focus is (the view,
// or what a key moved it to), the menu's keys working as in the window's own loop; Edit > Undo is
// chosen --undo N times and then Edit > Redo --redo N times, each --drop FILE is dropped on the
// window (which asks first about unsaved changes), the picture is saved, the window is captured,
// the window is closed as by its close box
// (--close-window, which asks about unsaved changes); --quit then ends the editor with status 0
// instead of leaving it open.
//   --close-messages  closes each message box that appears by pressing its OK button (or, in a
//                     box without one, the button --answer names; default Cancel), after
//                     printing its caption, text, buttons, icon and owner; a dialog with
//                     fields to fill in (Open, Save As, the colour dialog) is printed with its
//                     caption, buttons and check boxes, and cancelled
// Test options, for the tests only (they change what is measured, or do what no user does):
//   --forget-drawn       the host's mask ignores the drawn flag, so that a fill overflows its
//                        queue even on a tiny picture
//   --report-layout      prints where the tool buttons and the picture are on the screen, one
//                        line per fill, also for fills the user makes, and at exit the fields,
//                        the scroll position and the title
//   --check-repaints     after each repaint during a fill, reads a painted pixel back from the
//                        window (slow: a round trip to the display each time)
//   --report-status      after each click, the status bar's other parts (size, pointer,
//                        tolerances) and how often the fill showed its progress there
//   --input-during-fill  posts a click on the view and a key into the step field from inside
//                        each fill, as input arriving while it runs
//
// --batch FILE runs each line of FILE (its arguments separated by tabs: PICTURE and a script)
// in the one window, printing "batch line N: status S" after each, then exits: one process
// for many pictures, where starting one is slow (under an emulator). --close-messages and
// --answer on the command line hold for every line; a line's own hold from that line on.
//
// Errors give one line on stderr and exit status 2 (command line, a click outside the picture)
// or 1 (a file, no RegionGrowing tool), as region_grow does.
#ifndef EDITOR_EDITOR_OPTIONS_H
#define EDITOR_EDITOR_OPTIONS_H

#include <string>
#include <vector>

#include "tool_options.h"

namespace editor {

// A key pressed in the scripted mode (--key), with the modifiers held: `key` is the Windows
// virtual-key code.
struct KeyPress {
    uint16_t key = 0;
    bool control = false, shift = false;
    std::string text; // as given, for the script's report
    bool operator==(const KeyPress& other) const {
        return key == other.key && control == other.control && shift == other.shift;
    }
};

// "ctrl+s", "Ctrl+Shift+S", "left", "shift+right", "enter", "ctrl+plus": modifiers (ctrl,
// shift) and one key (a letter, a digit, left, right, up, down, enter, plus, minus), any case.
bool ParseKeyPress(const std::string& text, KeyPress* press);

struct EditorOptions {
    std::string picturePath;
    std::string stepText = "12", seedText = "40";
    std::string toolName = "RegionGrowing";
    std::vector<command_line::Click> clicks;
    std::vector<std::string> drops;     // dropped on the window, in order, after Undo and Redo
    std::vector<KeyPress> keys;         // pressed in the view, in order, after the clicks
    bool paintGiven = false;            // --paint: the paint colour, as Edit > Paint colour
    uint32_t paintColour = 0x00FF00FFu; // sets it
    int32_t zoomPercent = 0;            // --zoom: before the clicks; 0 none, -1 fit
    std::string savePath, screenshotPath;
    std::string batchPath; // --batch FILE: a command line per line, run in one window
    std::string answer = "Cancel";
    int32_t undos = 0, redos = 0; // Edit > Undo, then Edit > Redo, so many times after the clicks
    bool closeMessages = false, closeWindow = false, quit = false;
    bool forgetDrawn = false, reportLayout = false, checkRepaints = false, inputDuringFill = false,
         reportStatus = false;
    bool help = false;

    // Whether anything is to be done once the window is up.
    bool HasScript() const {
        return !clicks.empty() || !keys.empty() || !drops.empty() || !savePath.empty() ||
               !screenshotPath.empty() || closeWindow || undos > 0 || redos > 0 || quit;
    }
};

extern const char EditorUsage[];

// Reads the arguments (without the program name). On a malformed command line returns false
// with a one-line reason in *error.
bool ParseEditorOptions(const std::vector<std::string>& args, EditorOptions* options,
                        std::string* error);

} // namespace editor

#endif
