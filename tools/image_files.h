// image_files.h - reading the pictures the tool works on and writing its results.
//
// Reading accepts PNG, JPEG and BMP (through stb_image) and converts every pixel to a colour
// word 0x00RRGGBB: red in bits 16-23, green in 8-15, blue in 0-7. An alpha channel is dropped;
// bits 24-31 stay 0. Writing produces PNG only.
//
// Writing never leaves a partial file under the final name: the picture is written to a
// temporary file in the same directory and renamed over the target when complete. A failure
// removes the temporary file and leaves any previous file at the target untouched.
#ifndef TOOLS_IMAGE_FILES_H
#define TOOLS_IMAGE_FILES_H

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

struct RgbImage {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels; // row-major, 0x00RRGGBB
};

// Loads a PNG, JPEG or BMP file. On failure returns false with a one-line reason in *error
// (missing or unreadable file, unsupported or damaged format).
bool ReadPicture(const std::string& path, RgbImage* image, std::string* error);

// Writes a PNG atomically, as described above. On failure returns false with a reason.
bool SavePng(const std::string& path, const RgbImage& image, std::string* error);

// `left` and `right` side by side, `gap` pixels of `gapColour` between them; the shorter is
// padded with the gap colour below.
RgbImage SideBySide(const RgbImage& left, const RgbImage& right, int32_t gap, uint32_t gapColour);

// A file opened now and written later: Open() checks early, before any work is done, that the
// target can be written, by creating a temporary file beside it. Write through File() or
// WritePng(); Close() finishes writing and reports a failed write; Commit() closes if needed
// and renames the temporary file over the target. A PendingFile destroyed without Commit()
// removes its temporary file. Close() and Commit() on a file never opened do nothing.
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
    std::string path_, temporaryPath_;
    FILE* file_ = nullptr;
    bool failed_ = false; // a write through WritePng() failed
};

// Where a file or folder for `path` is written before it is renamed to `path`: beside it,
// with the process id in its name.
std::string TemporaryPathFor(const std::string& path);

#endif
