// tool_paths.h - what the paths on the command line name: where an output really goes, outputs
// that would overwrite one another, and the plug-in file.
//
// An output path may name a regular file or none yet (written to a temporary file beside it and
// renamed into place when complete), a symbolic link (followed to its final target, which is
// then treated the same way: the link stays a link), a device, FIFO or socket (written straight
// into, since it cannot be replaced), or "-" (standard output).
#ifndef TOOLS_TOOL_PATHS_H
#define TOOLS_TOOL_PATHS_H

#include <string>

#include "tool_options.h"

enum class OutputKind { StandardOutput, Stream, File, Directory };

struct OutputTarget {
    OutputKind kind = OutputKind::File;
    std::string path; // with every symbolic link followed; empty for standard output
};

// Follows `given` through its symbolic links and says what it names. Fails only on a loop of
// links, with a one-line reason.
bool ResolveOutput(const std::string& given, OutputTarget* target, std::string* error);

// The names the frames take in their folder: "frame-" and digits ".png", and "overview.png".
// Only those are replaced when frames are written into a folder that already has some.
bool IsFrameFileName(const std::string& name);

// Refuses, with a one-line reason, two outputs (-o, --record, --before-after, --animation) that
// name the same file, through whatever spelling or links, except a character device such as
// /dev/null, and an output that is the --frames folder or a file in it that the frames replace.
bool CheckOutputsApart(const ToolOptions& options, std::string* error);

// True when -o, --record, --before-after or --animation is "-": the summary then goes to
// standard error.
bool WritesToStandardOutput(const ToolOptions& options);

// The plug-in file `given` names, as a path the loader takes as a file and never looks up on a
// library search path ("paint.so" is ./paint.so). Fails, naming the file, when there is none.
bool PluginFilePath(const std::string& given, std::string* path, std::string* error);

#endif
