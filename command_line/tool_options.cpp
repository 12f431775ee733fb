#include "tool_options.h"

#include <stdio.h>

#include <set>

namespace command_line {

const char ToolUsage[] =
    "usage: region_grow IN X Y [X Y ...] [--step TEXT] [--seed-tolerance TEXT]\n"
    "                   [--paint RRGGBB] [--drawn MASK] [--frames DIR] [--max-frames N]\n"
    "                   [--frame-width N] [--animation FILE] [--max-pixels N] [--plugin PATH]\n"
    "                   [--record FILE]\n"
    "                   [--before-after FILE.png] -o OUT.png\n"
    "       region_grow IN X Y [--step TEXT] [--seed-tolerance TEXT] [--drawn MASK]\n"
    "                   [--explore-seeds S1,S2,...] --explore DIR [-o OUT.png]\n"
    "       region_grow --batch FILE\n"
    "Applies the RegionGrowing tool at each X Y in turn to the picture IN (PNG, JPEG or BMP)\n"
    "and writes the result as PNG. An option's value follows it or an '=' (--step=12); each\n"
    "option may be given once; after -- every argument is IN or a coordinate.\n"
    "  -o OUT.png             result picture (required, but for --explore); - writes it to\n"
    "                         standard output, and the summary line then goes to standard error;\n"
    "                         -o IN replaces a PNG input once everything else has succeeded\n"
    "  --step TEXT            step tolerance, as the host's parameter text (default 12)\n"
    "  --seed-tolerance TEXT  seed tolerance, as the host's parameter text (default 40). Both\n"
    "                         reach the plug-in as typed; for a text that is not a whole number\n"
    "                         from 0 to 255 the summary says what it reads: \"1e2\" (read as 1)\n"
    "  --paint RRGGBB         paint colour (default FF00FF)\n"
    "  --drawn MASK           non-black pixels of MASK start flagged as drawn\n"
    "  --frames DIR           what the window shows at each refresh request, plus overview.png;\n"
    "                         replaces only frame-N.png and overview.png in DIR\n"
    "  --max-frames N         write at most N frames (default 200): each click's last\n"
    "                         first, the rest spread evenly over all refresh requests\n"
    "  --frame-width N        frames and animation at most N pixels wide and high\n"
    "                         (default 960, at most 16383)\n"
    "  --animation FILE       the refresh requests as one animated picture: WebP (.webp)\n"
    "                         or GIF (.gif), as the name says\n"
    "  --max-pixels N         refuse pictures of more than N pixels (default and most 268435456)\n"
    "  --plugin PATH          plug-in file to load (default: the one next to this program)\n"
    "  --record FILE          text record of refresh requests and painted pixels, never named\n"
    "                         as a picture (.png, .jpg, .jpeg, .bmp, .gif, .webp, .tif, .tiff)\n"
    "  --before-after FILE    IN and the result side by side (PNG)\n"
    "  --explore DIR          for the one click, what every step tolerance paints: DIR gets\n"
    "                         tolerances.png (16-bit grey: the least step that paints each\n"
    "                         pixel, 65535 never), map.png (the same in colour), growth.tsv and\n"
    "                         growth.svg (pixels painted per step); stdout gets the stable\n"
    "                         ranges, the next leak above --step and a suggested step. A\n"
    "                         stable range runs from a step to the last step painting at most\n"
    "                         a quarter more (4 * pixels(b) <= 5 * pixels(a)), the next from\n"
    "                         the step after; the suggestion is the middle of the widest\n"
    "                         stable range of two steps or more that paints more than the seed\n"
    "                         and, at its top, less than step 255 (failing that, more than the\n"
    "                         seed); a leak is the first step above --step that paints more\n"
    "                         than a quarter more. -o is optional here. The map leaves out the\n"
    "                         queue's limit: the summary says when the fill stopped on\n"
    "                         \"Buffer over\"\n"
    "  --explore-seeds LIST   one more growth curve per seed tolerance in LIST (1,30,255): at\n"
    "                         most 6 (a colour each), each a whole number from 0 to 255\n"
    "Outputs are put in place together, only when all are complete and the summary has been\n"
    "written. -o and --before-after are named .png. Outputs may be devices, pipes, sockets,\n"
    "descriptors (/dev/stdout, /dev/fd/N: written through, never truncated; no name to check)\n"
    "or symbolic links (their target is replaced). A replaced file keeps its mode, owner and\n"
    "group; a hard-linked one is replaced, its other names keep the old content; one whose\n"
    "mode has no write bit is refused, as cp refuses it. No two outputs may name the same\n"
    "file, nor may one name IN (but -o, for a PNG input), MASK or the plug-in. Pixels are\n"
    "compared by their red, green and blue; an alpha channel is kept, and painted pixels are\n"
    "opaque.\n"
    "--batch FILE runs each line of FILE as one command line, its arguments separated by tabs,\n"
    "and after each prints \"batch line N: status S\" (S: the run's exit status, below).\n"
    "Exit status: 0 done, 1 a file, a write (a closed pipe included) or the plug-in failed,\n"
    "2 a bad command line or click, or outputs that clash or are misnamed, 3 done but a fill\n"
    "stopped on \"Buffer over\", 130/143/129 interrupted (SIGINT/SIGTERM/SIGHUP).\n";

NumberText ReadInteger(const std::string& text, int64_t least, int64_t most, int64_t* value) {
    size_t i = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size())
        return NumberText::Malformed;
    bool negative = text[0] == '-', overflow = false;
    uint64_t magnitude = 0;
    for (size_t j = i; j < text.size(); ++j) {
        if (text[j] < '0' || text[j] > '9')
            return NumberText::Malformed;
        // magnitude * 10 + digit cannot wrap while magnitude <= (UINT64_MAX - 9) / 10. A number
        // past that is beyond every int64_t range, so its remaining digits are only checked.
        if (magnitude > (UINT64_MAX - 9) / 10)
            overflow = true;
        else
            magnitude = magnitude * 10 + uint64_t(text[j] - '0');
    }
    // The largest magnitude the sign allows. For a negative number that is -least, taken as
    // 0 - least modulo 2^64: exact for every negative least, INT64_MIN included, whose magnitude
    // 2^63 no int64_t holds. A least of 0 or more allows no negative number but -0, which the
    // middle test keeps apart (0 - least would wrap to a huge limit there).
    const uint64_t limit = negative ? uint64_t(0) - uint64_t(least) : uint64_t(most);
    if (overflow || (negative && least >= 0 && magnitude != 0) || magnitude > limit)
        return NumberText::OutOfRange;
    // The same modulo-2^64 negation, read back as two's complement: -2^63 comes out exact.
    *value = negative ? int64_t(uint64_t(0) - magnitude) : int64_t(magnitude);
    if (*value < least || *value > most)
        return NumberText::OutOfRange;
    return NumberText::Valid;
}

bool ParseInt32(const std::string& text, int32_t* value) {
    int64_t number;
    if (ReadInteger(text, INT32_MIN, INT32_MAX, &number) != NumberText::Valid)
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

std::string Quoted(const std::string& text, char quote) {
    std::string quoted(1, quote);
    for (unsigned char c : text) {
        if (c == (unsigned char)quote || c == '\\') {
            quoted += '\\';
            quoted += char(c);
        } else if (c == '\t') {
            quoted += "\\t";
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\x%02X", c);
            quoted += escape;
        } else {
            quoted += char(c);
        }
    }
    return quoted + quote;
}

namespace {

// The texts of the options that take a value, as typed; parsed after the whole line is read.
struct OptionTexts {
    std::string paint, maxFrames, frameWidth, maxPixels, exploreSeeds;
};

std::string* ValueOf(const std::string& name, ToolOptions* options, OptionTexts* texts) {
    if (name == "-o")
        return &options->outputPath;
    if (name == "--step")
        return &options->stepText;
    if (name == "--seed-tolerance")
        return &options->seedText;
    if (name == "--paint")
        return &texts->paint;
    if (name == "--drawn")
        return &options->drawnMaskPath;
    if (name == "--frames")
        return &options->framesDir;
    if (name == "--max-frames")
        return &texts->maxFrames;
    if (name == "--frame-width")
        return &texts->frameWidth;
    if (name == "--max-pixels")
        return &texts->maxPixels;
    if (name == "--plugin")
        return &options->pluginPath;
    if (name == "--record")
        return &options->recordPath;
    if (name == "--before-after")
        return &options->beforeAfterPath;
    if (name == "--animation")
        return &options->animationPath;
    if (name == "--explore")
        return &options->exploreDir;
    if (name == "--explore-seeds")
        return &texts->exploreSeeds;
    return nullptr;
}

bool LooksLikeNumber(const std::string& text) {
    int64_t unused;
    return ReadInteger(text, INT64_MIN, INT64_MAX, &unused) != NumberText::Malformed;
}

// A count option's value: a whole number from `least` to `most`.
bool ReadCount(const std::string& name, const std::string& text, int64_t least, int64_t most,
               int64_t* value, std::string* error) {
    switch (ReadInteger(text, least, most, value)) {
    case NumberText::Valid:
        return true;
    case NumberText::Malformed:
        *error = "malformed " + name + " " + Quoted(text) + ": expected a whole number";
        return false;
    case NumberText::OutOfRange:
        break;
    }
    *error = name + " " + Quoted(text) + " is out of range (" + std::to_string(least) + " to " +
             std::to_string(most) + ")";
    return false;
}

bool ReadCoordinates(const std::string& xText, const std::string& yText, Click* click,
                     std::string* error) {
    int64_t x, y;
    NumberText xRead = ReadInteger(xText, INT32_MIN, INT32_MAX, &x);
    NumberText yRead = ReadInteger(yText, INT32_MIN, INT32_MAX, &y);
    if (xRead == NumberText::Malformed || yRead == NumberText::Malformed) {
        *error = "malformed click coordinates " + Quoted(xText) + " " + Quoted(yText);
        return false;
    }
    if (xRead == NumberText::OutOfRange || yRead == NumberText::OutOfRange) {
        *error = "click coordinates " + Quoted(xText) + " " + Quoted(yText) + " are out of range";
        return false;
    }
    click->x = int32_t(x);
    click->y = int32_t(y);
    return true;
}

// The command line sorted: the options' values stored, the rest kept in order.
struct SortedArguments {
    std::vector<std::string> positional; // IN and the coordinates
    OptionTexts texts;
    std::set<std::string> given; // an option given with an empty value still counts
};

// Stores each option's value, and keeps IN and the coordinates apart. Stops at -h or --help
// (options->help), whatever follows.
bool SortArguments(const std::vector<std::string>& args, ToolOptions* options,
                   SortedArguments* sorted, std::string* error) {
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-' || LooksLikeNumber(arg)) {
            sorted->positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // "--step=6", and "-o=out.png" for the one short option that takes a value.
        size_t equals =
            arg.rfind("--", 0) == 0 || arg.rfind("-o=", 0) == 0 ? arg.find('=') : std::string::npos;
        std::string name = arg.substr(0, equals);
        if (name == "-h" || name == "--help") {
            if (equals != std::string::npos) {
                *error = "option " + name + " takes no value";
                return false;
            }
            options->help = true;
            return true;
        }
        std::string* value = ValueOf(name, options, &sorted->texts);
        if (value == nullptr) {
            *error = "unknown option " + Quoted(name);
            return false;
        }
        if (!sorted->given.insert(name).second) {
            *error = "option " + name + " given twice";
            return false;
        }
        if (equals != std::string::npos) {
            *value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            *value = args[++i];
        } else {
            *error = "option " + name + " needs a value";
            return false;
        }
    }
    return true;
}

// IN, then one click per X Y pair.
bool ReadInputAndClicks(const std::vector<std::string>& positional, ToolOptions* options,
                        std::string* error) {
    if (positional.empty()) {
        *error = "no input picture given";
        return false;
    }
    options->inputPath = positional[0];
    if (positional.size() == 2) {
        *error = "click X " + Quoted(positional[1]) + " has no Y";
        return false;
    }
    if (positional.size() < 3) {
        *error = "no click given: expected X Y after the input picture";
        return false;
    }
    if (positional.size() % 2 == 0) {
        *error = "click X " + Quoted(positional.back()) + " has no Y";
        return false;
    }
    for (size_t i = 1; i < positional.size(); i += 2) {
        Click click;
        if (!ReadCoordinates(positional[i], positional[i + 1], &click, error))
            return false;
        options->clicks.push_back(click);
    }
    return true;
}

// The options that go together: --explore with one click and --explore-seeds, -o without
// --explore, and no file name given empty.
bool CheckOptionsTogether(const SortedArguments& sorted, ToolOptions* options, std::string* error) {
    const std::set<std::string>& given = sorted.given;
    const bool exploring = given.count("--explore") != 0;
    if (exploring && options->exploreDir.empty()) {
        *error = "--explore needs a folder";
        return false;
    }
    if (exploring && options->clicks.size() != 1) {
        *error = "--explore takes exactly one click; " + std::to_string(options->clicks.size()) +
                 " given";
        return false;
    }
    if (given.count("--explore-seeds") && !exploring) {
        *error = "--explore-seeds needs --explore DIR";
        return false;
    }
    if (!exploring && !given.count("-o")) {
        *error = "no output given: use -o OUT.png";
        return false;
    }
    // A file name given empty is a mistake (an unset variable in a script), never "none".
    OptionTexts unused; // file names are kept in *options, never among the texts
    for (const char* name :
         {"-o", "--drawn", "--frames", "--plugin", "--record", "--before-after", "--animation"})
        if (given.count(name) && ValueOf(name, options, &unused)->empty()) {
            *error = std::string("option ") + name + " has an empty value: a file name is needed";
            return false;
        }
    return true;
}

// --explore-seeds: whole numbers from 0 to 255 (a seed tolerance above 255 grows what 255
// does, a negative one the seed alone), at most one for each colour the plot has.
bool ReadExploreSeeds(const std::string& text, std::vector<int32_t>* seeds, std::string* error) {
    for (size_t start = 0;;) {
        const size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? comma : comma - start);
        if (item.empty()) {
            *error = "--explore-seeds " + Quoted(text) + " has an empty item";
            return false;
        }
        int64_t seed;
        if (ReadInteger(item, 0, 255, &seed) != NumberText::Valid) {
            *error = "--explore-seeds " + Quoted(text) + ": " + Quoted(item) +
                     " is not a whole number from 0 to 255";
            return false;
        }
        seeds->push_back(int32_t(seed));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (seeds->size() > size_t(MostExploreSeeds)) {
        *error = "--explore-seeds " + Quoted(text) + " lists more than " +
                 std::to_string(MostExploreSeeds) + " seed tolerances";
        return false;
    }
    return true;
}

// The colour, the counts and the explorer's seed tolerances, from the texts typed.
bool ReadOptionNumbers(const SortedArguments& sorted, ToolOptions* options, std::string* error) {
    const std::set<std::string>& given = sorted.given;
    const OptionTexts& texts = sorted.texts;
    if (given.count("--paint") && !ParseColourHex(texts.paint, &options->paintColour)) {
        *error = "malformed colour " + Quoted(texts.paint) + ": expected RRGGBB in hex";
        return false;
    }
    int64_t count;
    if (given.count("--max-frames")) {
        if (!ReadCount("--max-frames", texts.maxFrames, 1, INT32_MAX, &count, error))
            return false;
        options->maxFrames = int32_t(count);
    }
    if (given.count("--max-pixels") &&
        !ReadCount("--max-pixels", texts.maxPixels, 1, picture_io::MaxPixels, &options->maxPixels,
                   error))
        return false;
    if (given.count("--frame-width")) {
        if (!ReadCount("--frame-width", texts.frameWidth, 1, MaxFrameWidth, &count, error))
            return false;
        options->frameWidth = int32_t(count);
    }
    return !given.count("--explore-seeds") ||
           ReadExploreSeeds(texts.exploreSeeds, &options->exploreSeeds, error);
}

} // namespace

bool ParseToolOptions(const std::vector<std::string>& args, ToolOptions* options,
                      std::string* error) {
    SortedArguments sorted;
    if (!SortArguments(args, options, &sorted, error))
        return false;
    if (options->help)
        return true;
    return ReadInputAndClicks(sorted.positional, options, error) &&
           CheckOptionsTogether(sorted, options, error) &&
           ReadOptionNumbers(sorted, options, error);
}

} // namespace command_line
