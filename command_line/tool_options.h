// tool_options.h - the command line of region_grow.
//
// The options, their defaults and the exit codes are told once, in ToolUsage below: the text
// `region_grow --help` prints, which region_grow/README.md quotes whole (a test compares the two).
// What the parser does beyond that text:
//
// A file name given empty ("") is refused. Each option may be given once: a repeated one is refused
// rather than silently overriding the first, since in a script that is almost always a mistake. A
// negative number where an option could stand is a coordinate.
//
// The tolerance texts go to the plug-in exactly as typed, as the host's parameter store
// would hand them over (parameter group 2: index 0 the step, 1 the seed tolerance): a text
// that is not a number behaves as it does in the host. What the plug-in reads a text as is
// shown wherever the text is (ToleranceShown, explore_outputs.h). The explorer's extra seed
// tolerances are its own, never the plug-in's: whole numbers from 0 to 255, read strictly.
#ifndef COMMAND_LINE_TOOL_OPTIONS_H
#define COMMAND_LINE_TOOL_OPTIONS_H

#include <stdint.h>

#include <string>
#include <vector>

#include "picture_io.h" // MaxPixels

namespace command_line {

struct Click {
    int32_t x, y;
};

struct ToolOptions {
    std::string inputPath, outputPath;
    std::vector<Click> clicks;
    std::string stepText = "12", seedText = "40";
    uint32_t paintColour = 0x00FF00FFu; // 0x00RRGGBB
    std::string drawnMaskPath, framesDir, pluginPath, recordPath, beforeAfterPath, animationPath;
    std::string exploreDir;            // --explore
    std::vector<int32_t> exploreSeeds; // --explore-seeds, in the order given
    int32_t maxFrames = 200;
    int64_t maxPixels = picture_io::MaxPixels;
    int32_t frameWidth = 960;
    bool help = false;
};

// The widest (and highest) frame: the most an animated WebP picture holds.
const int32_t MaxFrameWidth = 16383;
// The most --explore-seeds lists: growth.svg draws each extra curve in a colour of its own.
const int32_t MostExploreSeeds = 6;

extern const char ToolUsage[];

// Reads the arguments (without the program name). On a malformed command line returns false
// with a one-line reason in *error, in which every value the user typed is Quoted().
bool ParseToolOptions(const std::vector<std::string>& args, ToolOptions* options,
                      std::string* error);

// Strict readers, shared with the tests: the whole text must be the number.
enum class NumberText { Valid, Malformed, OutOfRange };
NumberText ReadInteger(const std::string& text, int64_t least, int64_t most, int64_t* value);
bool ParseInt32(const std::string& text, int32_t* value);
bool ParseColourHex(const std::string& text, uint32_t* colour);

// A value as messages show it: in single quotes, so that spaces and empty texts are visible,
// with quotes, backslashes and control characters escaped (' 5' -> "' 5'", tab -> "'\t'").
// The summary quotes texts in double quotes, as in stopped on "Buffer over".
std::string Quoted(const std::string& text, char quote = '\'');

} // namespace command_line

#endif
