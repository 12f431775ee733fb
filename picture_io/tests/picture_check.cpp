// picture_check - compares pictures as picture_io decodes them, for the tests of the programs
// that write them. Runs on the build machine (the native build).
//
//   picture_check SCREEN NEEDLE [--at X Y]
//   picture_check SCREEN --pixmap BUTTON.pixmap [--at X Y]
//       Finds NEEDLE inside SCREEN, pixel for pixel (colour only, alpha aside): a picture, or the
//       button's text pixel map (plugin/button.pixmap: '.' C0C0C0, '#' black, '+' 000080).
//       Without --at, every position is tried. Prints "found at X Y" and exits 0, or says what
//       was wrong and exits 1.
//   picture_check --same A B [--bound N] [--mean-bound M]
//       A and B hold the same picture: the same size, colour words (alpha included), 16-bit
//       samples and colour chunks. Grey and alpha written as colour and alpha counts as the
//       same picture. With --bound, colour words may differ by up to N in each channel, and
//       with --mean-bound by at most M on average over all samples: the count of differing
//       pixels, the largest difference and the average are printed either way. Exits 0 when
//       they agree, 1 when not.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "picture_io.h"

namespace {

struct Needle {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB
    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

bool Read(const char* path, picture_io::Picture* picture) {
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        fprintf(stderr, "picture_check: cannot open %s\n", path);
        return false;
    }
    picture_io::Reader reader;
    std::string reason;
    if (!reader.Open(file, &reason) || !reader.Decode(picture, &reason)) {
        fprintf(stderr, "picture_check: cannot read %s: %s\n", path, reason.c_str());
        return false;
    }
    return true;
}

bool ReadColours(const char* path, Needle* needle) {
    picture_io::Picture picture;
    if (!Read(path, &picture))
        return false;
    needle->width = picture.width;
    needle->height = picture.height;
    needle->pixels = std::move(picture.pixels);
    for (uint32_t& pixel : needle->pixels)
        pixel &= 0x00FFFFFFu;
    return true;
}

bool ReadPixmap(const char* path, Needle* needle) {
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == ';')
            continue;
        if (needle->width != 0 && int(line.size()) != needle->width)
            return false;
        needle->width = int(line.size());
        for (char c : line) {
            if (c != '.' && c != '#' && c != '+')
                return false;
            needle->pixels.push_back(c == '.' ? 0xC0C0C0u : c == '#' ? 0u : 0x000080u);
        }
        ++needle->height;
    }
    return needle->height > 0;
}

// The number of differing pixels with the needle's top left at (left, top), stopping early.
size_t Differences(const Needle& screen, const Needle& needle, int left, int top, size_t enough) {
    size_t count = 0;
    for (int y = 0; y < needle.height; ++y)
        for (int x = 0; x < needle.width; ++x)
            if (screen.At(left + x, top + y) != needle.At(x, y) && ++count >= enough)
                return count;
    return count;
}

int Find(int argc, char** argv) {
    Needle screen, needle;
    int next = 2;
    const bool pixmap = std::string(argv[2]) == "--pixmap";
    if (pixmap)
        ++next;
    if (next >= argc) {
        fprintf(stderr, "picture_check: no needle\n");
        return 2;
    }
    if (!ReadColours(argv[1], &screen))
        return 1;
    if (!(pixmap ? ReadPixmap(argv[next], &needle) : ReadColours(argv[next], &needle))) {
        fprintf(stderr, "picture_check: cannot read %s\n", argv[next]);
        return 1;
    }
    ++next;
    const bool at = next + 2 < argc && std::string(argv[next]) == "--at";
    if (next < argc && !at) {
        fprintf(stderr, "picture_check: unexpected %s\n", argv[next]);
        return 2;
    }
    if (needle.width > screen.width || needle.height > screen.height) {
        printf("not found: the %dx%d needle is larger than the %dx%d picture\n", needle.width,
               needle.height, screen.width, screen.height);
        return 1;
    }
    if (at) {
        const int x = atoi(argv[next + 1]), y = atoi(argv[next + 2]);
        if (x < 0 || y < 0 || x + needle.width > screen.width ||
            y + needle.height > screen.height) {
            printf("not found: %d %d puts the needle outside the picture\n", x, y);
            return 1;
        }
        const size_t differing = Differences(screen, needle, x, y, SIZE_MAX);
        if (differing != 0) {
            printf("not found at %d %d: %zu of %d pixels differ\n", x, y, differing,
                   needle.width * needle.height);
            return 1;
        }
        printf("found at %d %d\n", x, y);
        return 0;
    }
    for (int y = 0; y + needle.height <= screen.height; ++y)
        for (int x = 0; x + needle.width <= screen.width; ++x)
            if (Differences(screen, needle, x, y, 1) == 0) {
                printf("found at %d %d\n", x, y);
                return 0;
            }
    printf("not found: no %dx%d area of the %dx%d picture matches\n", needle.width, needle.height,
           screen.width, screen.height);
    return 1;
}

// The 16-bit samples as colour and alpha (4 a pixel), whatever channels the file had.
std::vector<uint16_t> DeepAsRgba(const picture_io::Picture& picture) {
    const size_t channels = size_t(picture.Channels()), pixels = picture.pixels.size();
    std::vector<uint16_t> rgba(picture.deep.empty() ? 0 : pixels * 4);
    for (size_t i = 0; i < rgba.size() / 4; ++i) {
        const uint16_t* s = &picture.deep[i * channels];
        uint16_t* out = &rgba[i * 4];
        out[0] = s[0];
        out[1] = picture.grey ? s[0] : s[1];
        out[2] = picture.grey ? s[0] : s[2];
        out[3] = picture.hasAlpha ? s[channels - 1] : 0xFFFF;
    }
    return rgba;
}

std::string Layout(const picture_io::Picture& picture) {
    return std::string(picture.grey ? "grey" : "colour") + (picture.hasAlpha ? "+alpha" : "") +
           ", " + std::to_string(picture.BitDepth()) + "-bit";
}

std::string Chunks(const picture_io::Picture& picture) {
    std::string list;
    for (const picture_io::Chunk& chunk : picture.colour)
        list += (list.empty() ? "" : " ") + chunk.type;
    return list.empty() ? "none" : list;
}

int Same(int argc, char** argv) {
    int bound = 0;
    double meanBound = -1;
    bool understood = argc >= 4 && argc % 2 == 0;
    for (int i = 4; understood && i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--bound")
            bound = atoi(argv[i + 1]);
        else if (std::string(argv[i]) == "--mean-bound")
            meanBound = atof(argv[i + 1]);
        else
            understood = false;
    }
    if (!understood) {
        fprintf(stderr, "usage: picture_check --same A B [--bound N] [--mean-bound M]\n");
        return 2;
    }
    picture_io::Picture a, b;
    if (!Read(argv[2], &a) || !Read(argv[3], &b))
        return 1;
    if (a.width != b.width || a.height != b.height) {
        printf("different sizes: %d x %d and %d x %d\n", a.width, a.height, b.width, b.height);
        return 1;
    }
    bool same = true;
    // Grey and alpha may come back as colour and alpha (no encoder format for it); otherwise
    // the layouts agree.
    const bool greyAlphaAsColour = a.hasAlpha && b.hasAlpha && a.grey != b.grey;
    if (a.hasAlpha != b.hasAlpha || a.BitDepth() != b.BitDepth() ||
        (a.grey != b.grey && !greyAlphaAsColour)) {
        printf("different layouts: %s and %s\n", Layout(a).c_str(), Layout(b).c_str());
        same = false;
    }
    size_t differing = 0;
    int largest = 0;
    uint64_t total = 0; // of the differences, over every sample
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        if (a.pixels[i] == b.pixels[i])
            continue;
        ++differing;
        for (int shift = 0; shift < 32; shift += 8) {
            const int d = abs(int(a.pixels[i] >> shift & 0xFF) - int(b.pixels[i] >> shift & 0xFF));
            largest = d > largest ? d : largest;
            total += uint64_t(d);
        }
    }
    const double mean = double(total) / double(a.pixels.size() * (a.hasAlpha ? 4 : 3));
    printf("%d x %d, %s: %zu of %zu pixels differ, by at most %d, on average %.2f a sample\n",
           a.width, a.height, Layout(a).c_str(), differing, a.pixels.size(), largest, mean);
    if (largest > bound || (meanBound >= 0 && mean > meanBound))
        same = false;
    if (DeepAsRgba(a) != DeepAsRgba(b)) {
        printf("the 16-bit samples differ\n");
        same = false;
    }
    if (a.colour != b.colour) {
        printf("different colour chunks: %s and %s\n", Chunks(a).c_str(), Chunks(b).c_str());
        same = false;
    }
    return same ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--same")
        return Same(argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: picture_check SCREEN NEEDLE|--pixmap FILE [--at X Y]\n"
                        "       picture_check --same A B [--bound N] [--mean-bound M]\n");
        return 2;
    }
    return Find(argc, argv);
}
