// picture_check - finds one picture inside another, pixel for pixel, for the editor's tests.
//
//   picture_check SCREEN.png NEEDLE.png [--at X Y]
//   picture_check SCREEN.png --pixmap BUTTON.pixmap [--at X Y]
//
// NEEDLE is a PNG, or the button's text pixel map (plugin/button.pixmap: '.' C0C0C0, '#' black,
// '+' 000080). Without --at, every position is tried. Prints "found at X Y" and exits 0, or
// says what was wrong and exits 1. Runs on the build machine.
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <string>
#include <vector>

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB
    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

static bool ReadPng(const char* path, Picture* picture) {
    int channels;
    unsigned char* data = stbi_load(path, &picture->width, &picture->height, &channels, 3);
    if (data == nullptr)
        return false;
    picture->pixels.resize(size_t(picture->width) * picture->height);
    for (size_t i = 0; i < picture->pixels.size(); ++i)
        picture->pixels[i] =
            uint32_t(data[3 * i]) << 16 | uint32_t(data[3 * i + 1]) << 8 | data[3 * i + 2];
    stbi_image_free(data);
    return true;
}

static bool ReadPixmap(const char* path, Picture* picture) {
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == ';')
            continue;
        if (picture->width != 0 && int(line.size()) != picture->width)
            return false;
        picture->width = int(line.size());
        for (char c : line) {
            if (c != '.' && c != '#' && c != '+')
                return false;
            picture->pixels.push_back(c == '.' ? 0xC0C0C0u : c == '#' ? 0u : 0x000080u);
        }
        ++picture->height;
    }
    return picture->height > 0;
}

// The number of differing pixels with the needle's top left at (left, top), stopping early.
static size_t Differences(const Picture& screen, const Picture& needle, int left, int top,
                          size_t enough) {
    size_t count = 0;
    for (int y = 0; y < needle.height; ++y)
        for (int x = 0; x < needle.width; ++x)
            if (screen.At(left + x, top + y) != needle.At(x, y) && ++count >= enough)
                return count;
    return count;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: picture_check SCREEN.png NEEDLE.png|--pixmap FILE [--at X Y]\n");
        return 2;
    }
    Picture screen, needle;
    int next = 2;
    bool pixmap = std::string(argv[2]) == "--pixmap";
    if (pixmap)
        ++next;
    if (next >= argc) {
        fprintf(stderr, "picture_check: no needle\n");
        return 2;
    }
    if (!ReadPng(argv[1], &screen)) {
        fprintf(stderr, "picture_check: cannot read %s\n", argv[1]);
        return 1;
    }
    if (!(pixmap ? ReadPixmap(argv[next], &needle) : ReadPng(argv[next], &needle))) {
        fprintf(stderr, "picture_check: cannot read %s\n", argv[next]);
        return 1;
    }
    ++next;
    bool at = next + 2 < argc && std::string(argv[next]) == "--at";
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
        int x = atoi(argv[next + 1]), y = atoi(argv[next + 2]);
        if (x < 0 || y < 0 || x + needle.width > screen.width ||
            y + needle.height > screen.height) {
            printf("not found: %d %d puts the needle outside the picture\n", x, y);
            return 1;
        }
        size_t differing = Differences(screen, needle, x, y, SIZE_MAX);
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
