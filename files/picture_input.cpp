// Pictures by file name: the file opened, then picture_io's header and pixels, each message
// naming the picture.
#include "picture_input.h"

#include <errno.h>
#include <string.h>

#include <filesystem>
#include <system_error>

#include "tool_options.h" // Quoted
#include "utf8_files.h"

namespace files {

bool PictureReader::Open(const std::string& path, std::string* error) {
    name_ = "image " + command_line::Quoted(path);
    opened_ = false;
    // A folder opens on some systems and reads as an error; Windows says "Permission denied".
    std::error_code ignored;
    if (std::filesystem::is_directory(PathFromUtf8(path), ignored)) {
        *error = "cannot read " + name_ + ": it is a directory";
        return false;
    }
    FILE* file = OpenUtf8(path, "rb");
    if (file == nullptr) {
        *error = "cannot read " + name_ + ": " + strerror(errno);
        return false;
    }
    std::string reason;
    if (!reader_.Open(file, &reason)) {
        *error = "cannot read " + name_ + ": " + reason;
        return false;
    }
    opened_ = true;
    return true;
}

bool PictureReader::Decode(picture_io::Picture* image, std::string* error) {
    std::string reason;
    if (reader_.Decode(image, &reason))
        return true;
    if (reason == "not enough memory")
        reason += " for " + std::to_string(Header().width) + " x " +
                  std::to_string(Header().height) + " pixels";
    *error = "cannot read " + name_ + ": " + reason;
    return false;
}

bool CheckPictureSize(const std::string& path, const picture_io::Header& header, int64_t maxPixels,
                      std::string* error) {
    std::string reason;
    if (picture_io::CheckSize(header, maxPixels, "--max-pixels", &reason))
        return true;
    *error = "cannot read image " + command_line::Quoted(path) + ": " + reason;
    return false;
}

bool ReadPicture(const std::string& path, picture_io::Picture* image, std::string* error,
                 int64_t maxPixels) {
    PictureReader reader;
    return reader.Open(path, error) && CheckPictureSize(path, reader.Header(), maxPixels, error) &&
           reader.Decode(image, error);
}

} // namespace files
