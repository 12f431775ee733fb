// tool_paths.h - what the paths on the command line name: where an output really goes, outputs
// that would overwrite one another, and the plug-in file.
//
// An output is one of:
//   - a descriptor the process already holds: "-" (standard output), and on Linux a path that
//     names one, such as /dev/stdout, /dev/stderr, /dev/fd/N or /proc/self/fd/N, found before
//     any link is followed. It is written through that descriptor, never reopened or
//     truncated, so that a shell's ">>" appends and a pipe gets the bytes;
//   - a stream: a character device, FIFO or socket (after links), opened and written into;
//   - a file: a regular file or none yet (after links: a link stays a link and its final
//     target is what gets replaced);
//   - a folder, which no output may be.
#ifndef FILES_TOOL_PATHS_H
#define FILES_TOOL_PATHS_H

#include <string>
#include <vector>

#include "tool_options.h"

namespace files {

enum class OutputKind { Descriptor, Stream, File, Directory };

struct OutputTarget {
    OutputKind kind = OutputKind::File;
    std::string path;    // with every symbolic link followed; empty for a descriptor
    int descriptor = -1; // for a descriptor: its number
};

// Call first in main(), before anything is opened: a standard descriptor (0, 1, 2) that the
// tool was started without is taken by a read-only /dev/null, so that no file the tool opens
// gets its number and writes to it fail, and it is remembered as closed.
void GuardStandardDescriptors();
bool StandardDescriptorClosed(int descriptor);

// Says what `given` names, following its symbolic links. Fails with a one-line reason on a loop
// of links, or a descriptor the process does not hold open for writing.
bool ResolveOutput(const std::string& given, OutputTarget* target, std::string* error);

// An output of the command line with what it names.
struct NamedOutput {
    const char* option; // "-o", "--record", ...
    std::string given;
    OutputTarget target;
};

// The names the explorer writes in its folder (--explore DIR).
extern const char* const ExploreFileNames[4];

// Resolves -o, --record, --before-after and --animation (those given), in that order, then
// the four files of --explore in its folder.
bool ResolveOutputs(const command_line::ToolOptions& options, std::vector<NamedOutput>* outputs,
                    std::string* error);

// Refuses, with a one-line reason: two outputs that name the same file, through whatever
// spelling, link or descriptor (except a character device such as /dev/null, where writes do
// not replace one another); an output that is the --frames folder, a frame file in it, or
// lies in (or is) a folder the run would create for --frames. (An output that is some other
// folder is a file that cannot be written: PendingFile::Open says so.)
bool CheckOutputsApart(const command_line::ToolOptions& options,
                       const std::vector<NamedOutput>& outputs, std::string* error);

// Refuses, with a one-line reason naming both, an output that names IN, the --drawn mask or the
// plug-in file `pluginPath`, through whatever spelling, symbolic link or hard link (the same
// device and inode), and an input that lies in the --frames folder under a frame's name. The
// one output that may name IN is -o, as a file (not a stream): it replaces IN once everything
// else has succeeded. *editsInput then says so, for the caller to refuse it all the same when
// IN turns out not to be a PNG (from its header: the name says nothing).
bool CheckOutputsSpareInputs(const command_line::ToolOptions& options,
                             const std::string& pluginPath, const std::vector<NamedOutput>& outputs,
                             bool* editsInput, std::string* error);

// Refuses, with a one-line reason, a file output whose name does not say what it holds: -o and
// --before-after write PNG and are named .png; --record writes text and is never named as a
// picture (.png, .jpg, .jpeg, .bmp, .gif, .webp, .tif, .tiff). In any case, for the name given
// and, when links lead elsewhere, for the file they lead to. Streams and descriptors have no
// name to check; --animation's name is checked for its format (window_animation.h).
bool CheckOutputNames(const std::vector<NamedOutput>& outputs, std::string* error);

// Refuses, as cp refuses it, a file output the process may not write: "cannot write 'NAME':
// Permission denied". An existing file whose mode has no write bit at all (0444) is refused to
// everyone, root included (whom access() lets write anything); for the rest access() decides,
// for the file and for the folder its replacement is made in.
bool CheckOutputsWritable(const std::vector<NamedOutput>& outputs, std::string* error);

// True when an output goes to standard output (descriptor 1, by any name): the summary then
// goes to standard error.
bool WritesToStandardOutput(const std::vector<NamedOutput>& outputs);

// The names the frames take in their folder: "frame-" and digits ".png", and "overview.png".
// Only those are replaced when frames are written into a folder that already has some.
bool IsFrameFileName(const std::string& name);

// The plug-in file `given` names, as a path the loader takes as a file and never looks up on a
// library search path ("paint.so" is ./paint.so). Fails, naming the file, when there is none.
bool PluginFilePath(const std::string& given, std::string* path, std::string* error);

} // namespace files

#endif
