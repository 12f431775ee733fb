#include "editor_options.h"

const char EditorUsage[] =
    "usage: vexra [PICTURE] [--step T] [--seed-tolerance T] [--tool NAME] [--click X Y]...\n"
    "             [--undo N] [--redo N] [--save OUT.png] [--screenshot SHOT.png]\n"
    "             [--close-messages] [--answer BUTTON] [--close-window] [--quit]\n"
    "Opens PICTURE (PNG, JPEG or BMP) in the editor with the drawing tools found in plugins\\.\n"
    "  --step T             text of the Step tolerance field (default 12)\n"
    "  --seed-tolerance T   text of the Seed tolerance field (default 40)\n"
    "  --tool NAME          the tool the clicks use (default RegionGrowing)\n"
    "  --click X Y          with the tool, click picture pixel X Y; one line each\n"
    "  --undo N, --redo N   choose Edit > Undo, then Edit > Redo, N times after the clicks\n"
    "  --save OUT.png       save the picture as PNG after the clicks\n"
    "  --screenshot SHOT    capture the editor's window as PNG after the clicks\n"
    "  --close-messages     press OK in each message box, after printing it\n"
    "  --answer BUTTON      the button to press in a box without OK (default Cancel)\n"
    "  --close-window       close the window as its close box does, after the rest\n"
    "  --quit               exit when done instead of staying open\n"
    "Exit status: 0 done, 1 a file or the tool failed, 2 a bad command line or click.\n";

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
        if (arg == "-h" || arg == "--help") {
            options->help = true;
        } else if (arg == "--step") {
            if (!value(&options->stepText))
                return false;
        } else if (arg == "--seed-tolerance") {
            if (!value(&options->seedText))
                return false;
        } else if (arg == "--click") {
            std::string x, y;
            if (!value(&x) || !value(&y))
                return false;
            Click click;
            if (!ParseInt32(x, &click.x) || !ParseInt32(y, &click.y)) {
                *error = "--click needs two integers, not " + x + " " + y;
                return false;
            }
            options->clicks.push_back(click);
        } else if (arg == "--tool") {
            if (!value(&options->toolName))
                return false;
        } else if (arg == "--answer") {
            if (!value(&options->answer))
                return false;
        } else if (arg == "--undo" || arg == "--redo") {
            std::string count;
            int32_t* times = arg == "--undo" ? &options->undos : &options->redos;
            if (!value(&count))
                return false;
            if (!ParseInt32(count, times) || *times < 0) {
                *error = arg + " needs a count of 0 or more, not " + count;
                return false;
            }
        } else if (arg == "--close-window") {
            options->closeWindow = true;
        } else if (arg == "--check-repaints") {
            options->checkRepaints = true;
        } else if (arg == "--input-during-fill") {
            options->inputDuringFill = true;
        } else if (arg == "--save") {
            if (!value(&options->savePath))
                return false;
        } else if (arg == "--screenshot") {
            if (!value(&options->screenshotPath))
                return false;
        } else if (arg == "--close-messages") {
            options->closeMessages = true;
        } else if (arg == "--quit") {
            options->quit = true;
        } else if (arg == "--forget-drawn") {
            options->forgetDrawn = true;
        } else if (arg == "--report-layout") {
            options->reportLayout = true;
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
    if (options->HasScript() && !options->help && options->picturePath.empty()) {
        *error = "a script needs a PICTURE";
        return false;
    }
    return true;
}
