// Fuzzes picture reading with arbitrary files: headers, cut and corrupt data of every format.
// Reading must refuse or decode, never read out of bounds or crash, and a picture it accepts
// has the size its header gave and comes from the file alone: decoded again with the decoder's
// fresh memory holding another pattern, it is the same picture (or refused again). The limit is
// kept small so that a header claiming a big picture is refused rather than allocated.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "tools/picture_formats.h"
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
    SetDecoderMemoryFill(0);
    const bool decoded = reader.Decode(&image, &error);
    if (decoded &&
        (image.width != header.width || image.height != header.height ||
         image.pixels.size() != size_t(header.Pixels()) || image.hasAlpha != header.HasAlpha()))
        abort();
    PictureReader again;
    RgbImage other;
    SetDecoderMemoryFill(0xA5);
    const bool decodedAgain = again.Open(path, &error) && again.Decode(&other, &error);
    SetDecoderMemoryFill(0);
    if (decodedAgain != decoded || other.pixels != image.pixels)
        abort();
    return 0;
}
