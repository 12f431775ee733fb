// picture_input.h - the pictures the programs work on, opened by file name.
//
// A thin layer over picture_io (picture_io/picture_io.h), which reads every format: this one
// opens files by their UTF-8 names on every platform (utf8_files.h), says what a name that is
// no picture file names (a folder, nothing), and puts the picture's name in every message:
// "cannot read image 'NAME': REASON". Reading goes in picture_io's two steps, so that a caller
// can refuse a picture from its header before any buffer of its size exists.
//
// A regular file or a pipe (`<(cat a.png)`, /dev/stdin) is read as it comes, never rewound.
#ifndef FILES_PICTURE_INPUT_H
#define FILES_PICTURE_INPUT_H

#include <stdint.h>

#include <string>

#include "picture_io.h"

namespace files {

// One picture file, from its header to its pixels.
class PictureReader {
  public:
    // Opens `path` and reads its header. False with the message in *error.
    bool Open(const std::string& path, std::string* error);
    const picture_io::Header& Header() const { return reader_.header(); }
    bool Opened() const { return opened_; }
    // Decodes the picture opened, once. False with the message in *error, *image left empty.
    bool Decode(picture_io::Picture* image, std::string* error);

  private:
    std::string name_; // "image 'PATH'", as messages name it
    picture_io::Reader reader_;
    bool opened_ = false;
};

// False, with a "too large" message naming `path`, when the header claims more than maxPixels
// pixels (or more than picture_io::MaxPixels, whatever maxPixels says); the limit, when lower
// than that, is named as set by --max-pixels.
bool CheckPictureSize(const std::string& path, const picture_io::Header& header, int64_t maxPixels,
                      std::string* error);

// Open, CheckPictureSize and Decode in one.
bool ReadPicture(const std::string& path, picture_io::Picture* image, std::string* error,
                 int64_t maxPixels = picture_io::MaxPixels);

} // namespace files

#endif
