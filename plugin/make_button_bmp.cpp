// Build-time tool: turns the button's text pixel map into the .bmp the resource script embeds.
//
//   make_button_bmp button.pixmap button.bmp
//
// The map has one line per pixel row, top row first, one character per pixel; lines starting
// with ';' are comments. The output is an uncompressed, bottom-up, 4-bit bitmap with the
// standard 16-colour palette, so every character names one palette entry. Any malformed line,
// unknown character or wrong size stops the build.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <string>
#include <vector>

enum { ImageSide = 20, PaletteSize = 16 };

// The 16 colours of the standard palette, as 0xRRGGBB, by index.
static const uint32_t StandardPalette[PaletteSize] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

// The characters the map may use, and the palette entries they stand for.
static int PaletteIndexOf(char pixel) {
    switch (pixel) {
    case '.':
        return 7; // light grey
    case '#':
        return 0; // black
    case '+':
        return 4; // dark blue
    }
    return -1;
}

static void PutLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

static bool ReadPixelMap(const char* path, std::vector<std::string>* rows) {
    std::ifstream in(path);
    if (!in) {
        fprintf(stderr, "%s: cannot open\n", path);
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line[0] == ';')
            continue;
        bool valid = line.size() == ImageSide;
        for (char pixel : line)
            valid = valid && PaletteIndexOf(pixel) >= 0;
        if (!valid) {
            fprintf(stderr, "%s:%d: want %d pixels from '.', '#', '+'\n", path, number, ImageSide);
            return false;
        }
        rows->push_back(line);
    }
    if (rows->size() != ImageSide) {
        fprintf(stderr, "%s: want %d rows, found %zu\n", path, ImageSide, rows->size());
        return false;
    }
    return true;
}

static std::vector<uint8_t> EncodeBitmap(const std::vector<std::string>& rows) {
    const uint32_t rowBytes = ((ImageSide * 4 + 31) / 32) * 4; // rows padded to 32 bits
    const uint32_t imageBytes = rowBytes * ImageSide;
    const uint32_t headerBytes = 14 + 40 + PaletteSize * 4;
    std::vector<uint8_t> out;
    // File header.
    out.push_back('B');
    out.push_back('M');
    PutLittleEndian(out, headerBytes + imageBytes, 4);
    PutLittleEndian(out, 0, 4);
    PutLittleEndian(out, headerBytes, 4);
    // Info header: positive height means bottom-up rows; 0 colours used means all 16.
    PutLittleEndian(out, 40, 4);
    PutLittleEndian(out, ImageSide, 4);
    PutLittleEndian(out, ImageSide, 4);
    PutLittleEndian(out, 1, 2); // planes
    PutLittleEndian(out, 4, 2); // bits per pixel
    PutLittleEndian(out, 0, 4); // uncompressed
    PutLittleEndian(out, imageBytes, 4);
    PutLittleEndian(out, 0, 4); // horizontal resolution: unspecified
    PutLittleEndian(out, 0, 4); // vertical resolution: unspecified
    PutLittleEndian(out, 0, 4); // colours used
    PutLittleEndian(out, 0, 4); // important colours
    // Palette: blue, green, red, reserved, which is 0xRRGGBB stored little-endian.
    for (uint32_t colour : StandardPalette)
        PutLittleEndian(out, colour, 4);
    // Pixels, bottom row first, two per byte with the left one in the high nibble.
    for (int y = ImageSide - 1; y >= 0; --y) {
        std::vector<uint8_t> row(rowBytes, 0);
        for (int x = 0; x < ImageSide; ++x)
            row[x / 2] |= uint8_t(PaletteIndexOf(rows[y][x]) << (x % 2 == 0 ? 4 : 0));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s PIXMAP BMP\n", argv[0]);
        return 2;
    }
    std::vector<std::string> rows;
    if (!ReadPixelMap(argv[1], &rows))
        return 1;
    std::vector<uint8_t> bitmap = EncodeBitmap(rows);
    FILE* out = fopen(argv[2], "wb");
    if (out == nullptr || fwrite(bitmap.data(), 1, bitmap.size(), out) != bitmap.size() ||
        fclose(out) != 0) {
        fprintf(stderr, "%s: cannot write\n", argv[2]);
        return 1;
    }
    return 0;
}
