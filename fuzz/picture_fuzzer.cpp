// Fuzzes picture reading with arbitrary files: headers, cut and corrupt data of every format.
// Reading must refuse or decode, never read out of bounds or crash, and a picture it accepts
// has the size its header gave. The limit is kept small so that a header claiming a big
// picture is refused rather than allocated.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "tools/picture_input.h"

static std::string ScratchFile() {
    char path[] = "/tmp/picture_fuzzer_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        abort();
    close(fd);
    return path;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = ScratchFile();
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr || fwrite(data, 1, size, file) != size || fclose(file) != 0)
        abort();
    PictureReader reader;
    std::string error;
    if (!reader.Open(path, &error) || !CheckPictureSize(path, reader.Header(), 1 << 20, &error))
        return 0;
    const PictureHeader header = reader.Header();
    RgbImage image;
    if (reader.Decode(&image, &error) &&
        (image.width != header.width || image.height != header.height ||
         image.pixels.size() != size_t(header.Pixels()) || image.hasAlpha != header.HasAlpha()))
        abort();
    return 0;
}
