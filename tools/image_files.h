// image_files.h - writing the tool's results; reading its pictures is picture_input.h.
//
// Colour words are as picture_input.h reads them: a picture with alpha is written with it,
// one without as RGB. Writing produces PNG only.
//
// Writing never leaves a partial file under the final name: a regular file (or a new one) is
// written to a temporary file beside it and renamed over it when complete; a failure or an
// interruption removes the temporary file and leaves any previous file untouched. A symbolic
// link is followed to its target, which gets that treatment; devices, FIFOs and "-" (standard
// output) are written straight into (tool_paths.h).
#ifndef TOOLS_IMAGE_FILES_H
#define TOOLS_IMAGE_FILES_H

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "picture_input.h" // RgbImage, ReadPicture

// Writes a PNG atomically, as described above. On failure returns false with a reason.
bool SavePng(const std::string& path, const RgbImage& image, std::string* error);

// `left` and `right` side by side, `gap` pixels of `gapColour` between them; the shorter is
// padded with the gap colour below. With alpha in either, the result has alpha and the gap is
// opaque.
RgbImage SideBySide(const RgbImage& left, const RgbImage& right, int32_t gap, uint32_t gapColour);

// A file opened now and written later: Open() checks early, before any work is done, that the
// target can be written, by creating a temporary file beside it (or opening the device, FIFO
// or standard output). Write through File() or WritePng(); Close() finishes writing and
// reports a failed write; Commit() closes if needed and renames the temporary file over the
// target. A PendingFile destroyed without Commit() removes its temporary file; so does an
// interruption (interrupt_cleanup.h). Close() and Commit() on a file never opened do nothing.
// Messages name the path as given, never the temporary file.
class PendingFile {
  public:
    bool Open(const std::string& path, std::string* error);
    FILE* File() const { return file_; }
    bool WritePng(const RgbImage& image, std::string* error);
    // The same, using the image's own buffer for the PNG's rows (the image is used up): saves
    // the copy, which for a big picture is the largest buffer of the write.
    bool WritePng(RgbImage&& image, std::string* error);
    bool Close(std::string* error);
    bool Commit(std::string* error);
    ~PendingFile();

  private:
    std::string path_, target_, temporaryPath_; // as given; after links; beside the target
    FILE* file_ = nullptr;
    bool standardOutput_ = false;
    bool failed_ = false; // a write through WritePng() failed
};

// Where a file or folder for `path` is written before it is renamed to `path`: beside it,
// with the process id in its name.
std::string TemporaryPathFor(const std::string& path);

#endif
