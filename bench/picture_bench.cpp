// picture_bench - how fast picture_io writes and reads the pictures the programs handle: the
// photograph-like bench picture (4096 x 4096) as 8-bit colour, colour with alpha, grey, and
// 16-bit colour, each written as PNG and read back (best of 3, wall-clock seconds: the work is
// compression and the file system's). Each picture read back must be the one written.
//
// Usage: picture_bench [FOLDER]   (the files go to FOLDER, default /tmp, and are removed)
#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench_images.h"
#include "picture_io.h"

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

picture_io::Picture Variant(const bench::BenchImage& image, const std::string& kind) {
    picture_io::Picture picture;
    picture.width = image.width;
    picture.height = image.height;
    picture.pixels = image.pixels;
    picture.hasAlpha = kind == "colour+alpha";
    picture.grey = kind == "grey";
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        uint32_t& p = picture.pixels[i];
        if (picture.hasAlpha)
            p |= uint32_t(i * 7 % 256) << 24;
        if (picture.grey)
            p = (p & 0xFF) * 0x010101u;
        if (kind == "16-bit colour")
            for (int shift : {16, 8, 0})
                picture.deep.push_back(uint16_t((p >> shift & 0xFF) << 8 | (i * 13 + shift) % 256));
    }
    return picture;
}

} // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "/tmp";
    const std::string path = folder + "/picture_bench.png";
    const bench::BenchImage image = bench::PhotographImage();
    printf("%-14s %10s %8s %8s %8s\n", "picture", "PNG bytes", "write s", "read s", "Mpx/s r");
    for (const char* kind : {"colour", "colour+alpha", "grey", "16-bit colour"}) {
        const picture_io::Picture picture = Variant(image, kind);
        double write = 1e9, read = 1e9;
        long bytes = 0;
        bool same = true;
        for (int round = 0; round < 3; ++round) {
            std::string reason;
            double start = Now();
            FILE* file = fopen(path.c_str(), "wb");
            if (file == nullptr || !picture_io::WritePng(file, picture, &reason)) {
                fprintf(stderr, "picture_bench: cannot write %s: %s\n", path.c_str(),
                        reason.c_str());
                return 1;
            }
            bytes = ftell(file);
            fclose(file);
            write = std::min(write, Now() - start);
            start = Now();
            picture_io::Reader reader;
            picture_io::Picture back;
            FILE* in = fopen(path.c_str(), "rb");
            if (in == nullptr || !reader.Open(in, &reason) || !reader.Decode(&back, &reason)) {
                fprintf(stderr, "picture_bench: cannot read %s: %s\n", path.c_str(),
                        reason.c_str());
                return 1;
            }
            read = std::min(read, Now() - start);
            same = same && back.pixels == picture.pixels && back.deep == picture.deep;
        }
        printf("%-14s %10ld %8.3f %8.3f %8.1f%s\n", kind, bytes, write, read,
               picture.pixels.size() / read / 1e6, same ? "" : "  (read back differently!)");
    }
    remove(path.c_str());
    return 0;
}
