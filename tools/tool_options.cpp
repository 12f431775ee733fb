#include "tool_options.h"

#include <errno.h>
#include <stdlib.h>

const char ToolUsage[] =
    "usage: region_grow IN X Y [X Y ...] [--step TEXT] [--seed-tolerance TEXT]\n"
    "                   [--paint RRGGBB] [--drawn MASK] [--frames DIR] [--max-frames N]\n"
    "                   [--frame-width N] [--animation FILE] [--plugin PATH] [--record FILE]\n"
    "                   [--before-after FILE] -o OUT.png\n"
    "Applies the RegionGrowing tool at each X Y in turn to the picture IN (PNG, JPEG or BMP)\n"
    "and writes the result as PNG.\n"
    "  -o OUT.png             result picture (required)\n"
    "  --step TEXT            step tolerance, as the host's parameter text (default 12)\n"
    "  --seed-tolerance TEXT  seed tolerance, as the host's parameter text (default 40)\n"
    "  --paint RRGGBB         paint colour (default FF00FF)\n"
    "  --drawn MASK           non-black pixels of MASK start flagged as drawn\n"
    "  --frames DIR           what the window shows at each refresh request, plus overview.png\n"
    "  --max-frames N         write at most N frames (default 200): each click's last\n"
    "                         first, the rest spread evenly over all refresh requests\n"
    "  --frame-width N        frames and animation at most N pixels wide (default 960)\n"
    "  --animation FILE       the refresh requests as one animated picture (WebP)\n"
    "  --plugin PATH          plug-in to load (default: the one next to this program)\n"
    "  --record FILE          text record of refresh requests and painted pixels\n"
    "  --before-after FILE    IN and the result side by side (PNG)\n"
    "Exit status: 0 done, 1 a file or the plug-in failed, 2 a bad command line or click.\n";

bool ParseInt32(const std::string& text, int32_t* value) {
    if (text.empty() || text.size() > 12)
        return false;
    size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size())
        return false;
    for (size_t j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9')
            return false;
    long long number = strtoll(text.c_str(), nullptr, 10);
    if (number < INT32_MIN || number > INT32_MAX)
        return false;
    *value = int32_t(number);
    return true;
}

bool ParseColourHex(const std::string& text, uint32_t* colour) {
    std::string digits = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    if (digits.size() != 6)
        return false;
    uint32_t value = 0;
    for (char c : digits) {
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0)
            return false;
        value = value << 4 | uint32_t(digit);
    }
    *colour = value;
    return true;
}

// Options whose value is the next argument, and where each value goes.
static std::string* TextOption(const std::string& name, ToolOptions* options) {
    if (name == "-o")
        return &options->outputPath;
    if (name == "--step")
        return &options->stepText;
    if (name == "--seed-tolerance")
        return &options->seedText;
    if (name == "--drawn")
        return &options->drawnMaskPath;
    if (name == "--frames")
        return &options->framesDir;
    if (name == "--plugin")
        return &options->pluginPath;
    if (name == "--record")
        return &options->recordPath;
    if (name == "--before-after")
        return &options->beforeAfterPath;
    if (name == "--animation")
        return &options->animationPath;
    return nullptr;
}

bool ParseToolOptions(const std::vector<std::string>& args, ToolOptions* options,
                      std::string* error) {
    std::vector<std::string> positional;
    std::string paintText, maxFramesText, frameWidthText;
    bool paintGiven = false, maxFramesGiven = false, frameWidthGiven = false; // "" is malformed
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            options->help = true;
            return true;
        }
        std::string* target = TextOption(arg, options);
        if (arg == "--paint") {
            target = &paintText;
            paintGiven = true;
        }
        if (arg == "--max-frames") {
            target = &maxFramesText;
            maxFramesGiven = true;
        }
        if (arg == "--frame-width") {
            target = &frameWidthText;
            frameWidthGiven = true;
        }
        if (target != nullptr) {
            if (i + 1 == args.size()) {
                *error = "option " + arg + " needs a value";
                return false;
            }
            *target = args[++i];
            continue;
        }
        // A negative number is a coordinate, anything else starting with '-' an option.
        int32_t unused;
        if (arg.size() > 1 && arg[0] == '-' && !ParseInt32(arg, &unused)) {
            *error = "unknown option " + arg;
            return false;
        }
        positional.push_back(arg);
    }

    if (positional.empty()) {
        *error = "no input picture given";
        return false;
    }
    options->inputPath = positional[0];
    if (positional.size() < 3) {
        *error = "no click given: expected X Y after the input picture";
        return false;
    }
    if (positional.size() % 2 == 0) {
        *error = "click X " + positional.back() + " has no Y";
        return false;
    }
    for (size_t i = 1; i < positional.size(); i += 2) {
        Click click;
        if (!ParseInt32(positional[i], &click.x) || !ParseInt32(positional[i + 1], &click.y)) {
            *error = "malformed click coordinates " + positional[i] + " " + positional[i + 1];
            return false;
        }
        options->clicks.push_back(click);
    }
    if (options->outputPath.empty()) {
        *error = "no output given: use -o OUT.png";
        return false;
    }
    if (paintGiven && !ParseColourHex(paintText, &options->paintColour)) {
        *error = "malformed colour " + paintText + ": expected RRGGBB in hex";
        return false;
    }
    if (maxFramesGiven &&
        (!ParseInt32(maxFramesText, &options->maxFrames) || options->maxFrames < 1)) {
        *error = "malformed --max-frames " + maxFramesText + ": expected a positive number";
        return false;
    }
    if (frameWidthGiven &&
        (!ParseInt32(frameWidthText, &options->frameWidth) || options->frameWidth < 1)) {
        *error = "malformed --frame-width " + frameWidthText + ": expected a positive number";
        return false;
    }
    return true;
}
