#include "editor_options.h"

#include <ctype.h>

namespace editor {

const char EditorUsage[] =
    "usage: vexra [PICTURE] [--step T] [--seed-tolerance T] [--tool NAME] [--click X Y]...\n"
    "             [--zoom Z] [--paint RRGGBB] [--key KEY]... [--undo N] [--redo N]\n"
    "             [--drop FILE]...\n"
    "             [--save OUT.png] [--screenshot SHOT.png] [--close-messages] [--answer BUTTON]\n"
    "             [--close-window] [--quit]\n"
    "       vexra --batch FILE [--close-messages] [--answer BUTTON]\n"
    "Opens PICTURE (PNG, JPEG or BMP) in the editor with the drawing tools found in plugins\\.\n"
    "  --step T             text of the Step tolerance field (default 12)\n"
    "  --seed-tolerance T   text of the Seed tolerance field (default 40)\n"
    "  --tool NAME          the tool the clicks use (default RegionGrowing)\n"
    "  --click X Y          with the tool, click picture pixel X Y; one line each\n"
    "  --zoom Z             the view's zoom before the clicks: a percentage, or fit\n"
    "  --paint RRGGBB       the paint colour, as Edit > Paint colour sets it (default FF00FF)\n"
    "  --key KEY            press KEY (ctrl+s, shift+left, enter...) after the clicks\n"
    "  --drop FILE          drop FILE on the window, as from a file manager, after Undo/Redo\n"
    "  --undo N, --redo N   choose Edit > Undo, then Edit > Redo, N times after the clicks\n"
    "  --save OUT.png       save the picture as PNG after the clicks\n"
    "  --screenshot SHOT    capture the editor's window as PNG after the clicks\n"
    "  --close-messages     press OK in each message box, after printing it; cancel dialogs\n"
    "  --answer BUTTON      the button to press in a box without OK (default Cancel)\n"
    "  --close-window       close the window as its close box does, after the rest\n"
    "  --quit               exit when done instead of staying open\n"
    "  --batch FILE         run each line of FILE (PICTURE and a script, its arguments\n"
    "                       separated by tabs) in this window, print \"batch line N: status S\"\n"
    "                       after each, and exit\n"
    "Exit status: 0 done, 1 a file or the tool failed, 2 a bad command line or click.\n";

namespace {

// The options that take a text, and the field each text goes into.
const struct {
    const char* name;
    std::string EditorOptions::*field;
} TextOptions[] = {
    {"--step", &EditorOptions::stepText},   {"--seed-tolerance", &EditorOptions::seedText},
    {"--tool", &EditorOptions::toolName},   {"--answer", &EditorOptions::answer},
    {"--save", &EditorOptions::savePath},   {"--screenshot", &EditorOptions::screenshotPath},
    {"--batch", &EditorOptions::batchPath},
};

// The options that are switches, and the flag each turns on.
const struct {
    const char* name;
    bool EditorOptions::*flag;
} SwitchOptions[] = {
    {"-h", &EditorOptions::help},
    {"--help", &EditorOptions::help},
    {"--close-window", &EditorOptions::closeWindow},
    {"--check-repaints", &EditorOptions::checkRepaints},
    {"--input-during-fill", &EditorOptions::inputDuringFill},
    {"--close-messages", &EditorOptions::closeMessages},
    {"--quit", &EditorOptions::quit},
    {"--forget-drawn", &EditorOptions::forgetDrawn},
    {"--report-layout", &EditorOptions::reportLayout},
    {"--report-status", &EditorOptions::reportStatus},
};

// The field an option's text goes into, or null for an option without one.
std::string* TextOption(const std::string& name, EditorOptions* options) {
    for (const auto& option : TextOptions)
        if (name == option.name)
            return &(options->*option.field);
    return nullptr;
}

// The flag a switch turns on, or null for an option that is not a switch.
bool* SwitchOption(const std::string& name, EditorOptions* options) {
    for (const auto& option : SwitchOptions)
        if (name == option.name)
            return &(options->*option.flag);
    return nullptr;
}

bool ReadClick(const std::string& x, const std::string& y, EditorOptions* options,
               std::string* error) {
    command_line::Click click;
    if (!command_line::ParseInt32(x, &click.x) || !command_line::ParseInt32(y, &click.y)) {
        *error = "--click needs two integers, not " + x + " " + y;
        return false;
    }
    options->clicks.push_back(click);
    return true;
}

// --undo N or --redo N.
bool ReadRepeatCount(const std::string& name, const std::string& count, EditorOptions* options,
                     std::string* error) {
    int32_t* times = name == "--undo" ? &options->undos : &options->redos;
    if (!command_line::ParseInt32(count, times) || *times < 0) {
        *error = name + " needs a count of 0 or more, not " + count;
        return false;
    }
    return true;
}

// Virtual-key codes of the keys --key names besides letters and digits (their own codes).
const struct {
    const char* name;
    uint16_t key;
} NamedKeys[] = {
    {"left", 0x25},  {"up", 0x26},   {"right", 0x27}, {"down", 0x28},
    {"enter", 0x0D}, {"plus", 0xBB}, {"minus", 0xBD},
};

} // namespace

bool ParseKeyPress(const std::string& text, KeyPress* press) {
    *press = KeyPress();
    press->text = text;
    std::string rest;
    for (char c : text)
        rest += char(tolower(static_cast<unsigned char>(c)));
    for (;;) {
        size_t plus = rest.find('+');
        if (plus == std::string::npos || plus == 0)
            break;
        const std::string modifier = rest.substr(0, plus);
        if (modifier == "ctrl" && !press->control)
            press->control = true;
        else if (modifier == "shift" && !press->shift)
            press->shift = true;
        else
            return false;
        rest = rest.substr(plus + 1);
    }
    if (rest.size() == 1 &&
        ((rest[0] >= 'a' && rest[0] <= 'z') || (rest[0] >= '0' && rest[0] <= '9'))) {
        press->key = uint16_t(toupper(static_cast<unsigned char>(rest[0])));
        return true;
    }
    for (const auto& named : NamedKeys)
        if (rest == named.name) {
            press->key = named.key;
            return true;
        }
    return false;
}

bool ParseEditorOptions(const std::vector<std::string>& args, EditorOptions* options,
                        std::string* error) {
    *options = EditorOptions();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // The value after an option, or false with the reason.
        auto value = [&](std::string* text) {
            if (i + 1 >= args.size()) {
                *error = arg + " needs a value";
                return false;
            }
            *text = args[++i];
            return true;
        };
        std::string x, y, count;
        if (bool* on = SwitchOption(arg, options)) {
            *on = true;
        } else if (std::string* text = TextOption(arg, options)) {
            if (!value(text))
                return false;
        } else if (arg == "--click") {
            if (!value(&x) || !value(&y) || !ReadClick(x, y, options, error))
                return false;
        } else if (arg == "--drop") {
            if (!value(&x))
                return false;
            options->drops.push_back(x);
        } else if (arg == "--key") {
            KeyPress press;
            if (!value(&x))
                return false;
            if (!ParseKeyPress(x, &press)) {
                *error = "--key names no key this editor knows: " + x;
                return false;
            }
            options->keys.push_back(press);
        } else if (arg == "--zoom") {
            if (!value(&x))
                return false;
            if (x == "fit") {
                options->zoomPercent = -1;
            } else if (!command_line::ParseInt32(x, &options->zoomPercent) ||
                       options->zoomPercent < 1 || options->zoomPercent > 3200) {
                *error = "--zoom needs a percentage from 1 to 3200 or fit, not " + x;
                return false;
            }
        } else if (arg == "--paint") {
            if (!value(&x))
                return false;
            if (!command_line::ParseColourHex(x, &options->paintColour)) {
                *error = "--paint needs a colour as RRGGBB in hex, not " + x;
                return false;
            }
            options->paintGiven = true;
        } else if (arg == "--undo" || arg == "--redo") {
            if (!value(&count) || !ReadRepeatCount(arg, count, options, error))
                return false;
        } else if (!arg.empty() && arg[0] == '-') {
            *error = "unknown option " + arg;
            return false;
        } else if (options->picturePath.empty()) {
            options->picturePath = arg;
        } else {
            *error = "more than one picture: " + options->picturePath + " and " + arg;
            return false;
        }
    }
    if (!options->batchPath.empty() && (options->HasScript() || !options->picturePath.empty())) {
        *error = "--batch takes its pictures and scripts from its file";
        return false;
    }
    if (options->HasScript() && !options->help && options->picturePath.empty()) {
        *error = "a script needs a PICTURE";
        return false;
    }
    return true;
}

} // namespace editor
