// The input every decoder reads: the bytes Reader took to tell the format, then the file read
// straight through. Apart from the Reader, so that a decoder can be built on its own (the
// browser page compiles the BMP decoder with these alone, over a file in memory).
#include "decoders.h"

namespace picture_io {

size_t Input::Read(void* to, size_t count) {
    unsigned char* out = static_cast<unsigned char*>(to);
    size_t got = 0;
    while (got < count && headUsed < headSize)
        out[got++] = head[headUsed++];
    if (got < count && file != nullptr) {
        const size_t read = fread(out + got, 1, count - got, file);
        if (read < count - got && ferror(file))
            failed = true;
        got += read;
    }
    position += int64_t(got);
    return got;
}

bool Input::Skip(int64_t count) {
    unsigned char buffer[4096];
    while (count > 0) {
        const size_t step = count < int64_t(sizeof buffer) ? size_t(count) : sizeof buffer;
        if (Read(buffer, step) != step)
            return false;
        count -= int64_t(step);
    }
    return true;
}

Reader::Decoder::~Decoder() {
    if (input.file != nullptr)
        fclose(input.file);
}

} // namespace picture_io
