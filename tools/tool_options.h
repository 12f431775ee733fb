// tool_options.h - the command line of region_grow.
//
//   region_grow IN X Y [X Y ...] [options] -o OUT.png
//
// IN is a PNG, JPEG or BMP picture. Each X Y pair is one click of the tool, applied in the
// order given. Options take their value as the next argument or after '=' (--step=12):
//   -o OUT.png             where the result goes (PNG); required; '-' is standard output
//   --step TEXT            StepTolerance text, parameter group 2 index 0 (default "12")
//   --seed-tolerance TEXT  SeedTolerance text, parameter group 2 index 1 (default "40")
//   --paint RRGGBB         paint colour in hex, '#' allowed (default FF00FF)
//   --drawn MASK           picture of IN's size: its non-black pixels start flagged drawn
//   --frames DIR           one PNG per refresh request, plus overview.png
//   --max-frames N         at most N frame files (default 200); see window_frames.h
//   --frame-width N        frames and animation at most N pixels wide and high (default 960)
//   --animation FILE       the refreshes as one animated picture, WebP or GIF by its name
//   --max-pixels N         refuse pictures of more than N pixels (default and most: 2^28)
//   --plugin PATH          the plug-in file to load instead of the one next to the tool
//   --before-after FILE    IN and the result side by side, as PNG
//   --record FILE          text record of the clicks, refresh requests, messages and the
//                          painted pixels, for comparing two runs
//   --explore DIR          the tolerance explorer for the one click (explore_run.h); -o is
//                          optional then
//   --explore-seeds LIST   one more growth curve per seed tolerance text, comma-separated
//   -h, --help             usage
//   --                     every later argument is IN or a coordinate, even if it starts with '-'
//
// A file name given empty ("") is refused. Each option may be given once: a repeated one is refused
// rather than silently overriding the first, since in a script that is almost always a mistake. A
// negative number where an option could stand is a coordinate.
//
// The tolerance texts go to the plug-in exactly as typed, as the host's parameter store
// would hand them over: a text that is not a number behaves as it does in the host.
#ifndef TOOLS_TOOL_OPTIONS_H
#define TOOLS_TOOL_OPTIONS_H

#include <stdint.h>

#include <string>
#include <vector>

#include "image_files.h" // MaxPicturePixels

struct Click {
    int32_t x, y;
};

struct ToolOptions {
    std::string inputPath, outputPath;
    std::vector<Click> clicks;
    std::string stepText = "12", seedText = "40";
    uint32_t paintColour = 0x00FF00FFu; // 0x00RRGGBB
    std::string drawnMaskPath, framesDir, pluginPath, recordPath, beforeAfterPath, animationPath;
    std::string exploreDir, exploreSeedsText; // --explore, --explore-seeds
    int32_t maxFrames = 200;
    int64_t maxPixels = MaxPicturePixels;
    int32_t frameWidth = 960;
    bool help = false;
};

// The widest (and highest) frame: the most an animated WebP picture holds.
const int32_t MaxFrameWidth = 16383;

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
std::string Quoted(const std::string& text);

#endif
