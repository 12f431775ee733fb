// Build-machine check of the built PAINT.DLL, read as a file: the export table, the import
// table, the load/unload entry, and the two resources with their language and exact content.
// Prints one line per difference and exits non-zero if there is any.
//
//   check_dll_image PAINT.DLL button.pixmap [--code]
//
// --code also checks the machine code of the entry point and of the five constant exports
// (result code and stack cleanup); it is meant for optimised builds, where each is a single
// "mov eax, code" followed by "ret" or "ret N".
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

static int Failures = 0;

static void Expect(bool ok, const std::string& what) {
    if (!ok) {
        printf("FAIL: %s\n", what.c_str());
        ++Failures;
    }
}

// ---- The file and its address space ------------------------------------------------------------

struct Section {
    uint32_t rva, virtualSize, fileOffset, fileSize, characteristics;
};

struct PeFile {
    std::vector<uint8_t> bytes;
    std::vector<Section> sections;
    uint32_t entryRva = 0;
    uint32_t directoryRva[3] = {}, directorySize[3] = {}; // exports, imports, resources

    uint32_t U32(size_t offset) const {
        if (offset + 4 > bytes.size())
            return 0;
        return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
               uint32_t(bytes[offset + 3]) << 24;
    }
    uint16_t U16(size_t offset) const {
        return offset + 2 > bytes.size() ? 0 : uint16_t(bytes[offset] | bytes[offset + 1] << 8);
    }
    const Section* SectionOf(uint32_t rva) const {
        for (const Section& section : sections)
            if (rva >= section.rva && rva < section.rva + section.virtualSize)
                return &section;
        return nullptr;
    }
    // File offset of an address, or 0 if the address has no bytes in the file.
    size_t OffsetOf(uint32_t rva) const {
        const Section* section = SectionOf(rva);
        if (section == nullptr || rva - section->rva >= section->fileSize)
            return 0;
        return section->fileOffset + (rva - section->rva);
    }
    uint32_t U32At(uint32_t rva) const { return U32(OffsetOf(rva)); }
    uint16_t U16At(uint32_t rva) const { return U16(OffsetOf(rva)); }
    std::string TextAt(uint32_t rva) const {
        std::string text;
        for (size_t offset = OffsetOf(rva); offset != 0 && offset < bytes.size() && bytes[offset];
             ++offset)
            text += char(bytes[offset]);
        return text;
    }
    std::vector<uint8_t> BytesAt(uint32_t rva, size_t count) const {
        size_t offset = OffsetOf(rva);
        if (offset == 0 || offset + count > bytes.size())
            return {};
        return std::vector<uint8_t>(bytes.begin() + offset, bytes.begin() + offset + count);
    }
};

static bool ReadPe(const char* path, PeFile* pe) {
    std::ifstream in(path, std::ios::binary);
    pe->bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (pe->bytes.size() < 0x40 || pe->U16(0) != 0x5A4D) {
        printf("FAIL: %s is not an executable image\n", path);
        return false;
    }
    size_t nt = pe->U32(0x3C);
    if (pe->U32(nt) != 0x00004550) {
        printf("FAIL: %s has no PE header\n", path);
        return false;
    }
    size_t coff = nt + 4, optional = coff + 20;
    Expect(pe->U16(coff) == 0x14C, "machine is i386");
    Expect((pe->U16(coff + 18) & 0x2000) != 0, "image is marked as a DLL");
    Expect(pe->U16(optional) == 0x10B, "optional header is PE32");
    pe->entryRva = pe->U32(optional + 16);
    for (int i = 0; i < 3; ++i) {
        pe->directoryRva[i] = pe->U32(optional + 96 + 8 * i);
        pe->directorySize[i] = pe->U32(optional + 100 + 8 * i);
    }
    size_t table = optional + pe->U16(coff + 16);
    for (int i = 0; i < pe->U16(coff + 2); ++i) {
        size_t header = table + 40 * size_t(i);
        pe->sections.push_back({pe->U32(header + 12), pe->U32(header + 8), pe->U32(header + 20),
                                pe->U32(header + 16), pe->U32(header + 36)});
    }
    return true;
}

static std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[4];
    for (uint8_t byte : bytes) {
        snprintf(digits, sizeof digits, "%02X ", byte);
        text += digits;
    }
    return text;
}

// ---- Exports and the entry point --------------------------------------------------------------

struct ExportExpectation {
    const char* name;
    std::vector<uint8_t> optimisedCode; // empty: not a constant answer
};

static std::vector<uint8_t> ReturnCode(uint8_t code, uint8_t bytesRemoved) {
    std::vector<uint8_t> bytes = {0xB8, code, 0, 0, 0}; // mov eax, code
    if (bytesRemoved == 0)
        bytes.push_back(0xC3); // ret
    else
        bytes.insert(bytes.end(), {0xC2, bytesRemoved, 0}); // ret bytesRemoved
    return bytes;
}

static void CheckExports(const PeFile& pe, bool checkCode) {
    // Alphabetical by name, which gives the ordinals 1 to 6.
    const ExportExpectation expected[] = {{"VXcCancelOne", ReturnCode(4, 12)},
                                          {"VXcDrawGuideLine", ReturnCode(1, 24)},
                                          {"VXcDrawIt", {}},
                                          {"VXcGetDrawInfo", ReturnCode(1, 0)},
                                          {"VXcGetDrawInterface", ReturnCode(2, 0)},
                                          {"VXcSetPoint", ReturnCode(4, 16)}};
    uint32_t directory = pe.directoryRva[0];
    if (directory == 0) {
        Expect(false, "the DLL has an export table");
        return;
    }
    Expect(pe.TextAt(pe.U32At(directory + 12)) == "PAINT.DLL", "export table names PAINT.DLL");
    uint32_t base = pe.U32At(directory + 16), functions = pe.U32At(directory + 20),
             names = pe.U32At(directory + 24);
    Expect(base == 1, "ordinal base is 1, found " + std::to_string(base));
    Expect(functions == 6 && names == 6, "six exports, all named: found " +
                                             std::to_string(functions) + " addresses, " +
                                             std::to_string(names) + " names");
    uint32_t addressTable = pe.U32At(directory + 28), nameTable = pe.U32At(directory + 32),
             ordinalTable = pe.U32At(directory + 36);
    std::set<uint32_t> seen;
    for (uint32_t i = 0; i < 6 && i < names; ++i) {
        std::string name = pe.TextAt(pe.U32At(nameTable + 4 * i));
        uint32_t ordinal = base + pe.U16At(ordinalTable + 2 * i);
        Expect(name == expected[i].name, "export name " + std::to_string(i + 1) + " is " +
                                             expected[i].name + ", found " + name);
        Expect(ordinal == i + 1, name + " has ordinal " + std::to_string(i + 1) + ", found " +
                                     std::to_string(ordinal));
        uint32_t rva = pe.U32At(addressTable + 4 * (ordinal - base));
        const Section* section = pe.SectionOf(rva);
        Expect(section != nullptr && (section->characteristics & 0x20000000) != 0,
               name + " points into code (not a forwarder)");
        Expect(seen.insert(rva).second, name + " has an address of its own");
        if (checkCode && !expected[i].optimisedCode.empty()) {
            std::vector<uint8_t> code = pe.BytesAt(rva, expected[i].optimisedCode.size());
            Expect(code == expected[i].optimisedCode,
                   name + " is " + Hex(expected[i].optimisedCode) + "found " + Hex(code));
        }
    }
    if (checkCode) {
        // DllMain(module, reason, reserved): TRUE, whatever the reason, and three words removed.
        std::vector<uint8_t> entry = ReturnCode(1, 12);
        std::vector<uint8_t> code = pe.BytesAt(pe.entryRva, entry.size());
        Expect(code == entry, "entry point is " + Hex(entry) + "found " + Hex(code));
    }
}

// ---- Imports ------------------------------------------------------------------------------------

static void CheckImports(const PeFile& pe) {
    const std::set<std::string> user32 = {"LoadCursorA", "MessageBoxA", "SetCursor"};
    const std::set<std::string> host = {
        "_VXsGetParameter",     "_VXsGetCDIBinfo", "_VXsStartOnImage", "_VXsGetColorOnImage",
        "_VXsGetMask",          "_VXsStartPset",   "_VXsPSet",         "_VXsSetDrawFlag",
        "_VXsUpdateImageWindow"};
    bool sawUser32 = false, sawHost = false;
    for (uint32_t descriptor = pe.directoryRva[1]; descriptor != 0 && pe.U32At(descriptor + 12);
         descriptor += 20) {
        std::string dll = pe.TextAt(pe.U32At(descriptor + 12));
        uint32_t lookup = pe.U32At(descriptor);
        if (lookup == 0)
            lookup = pe.U32At(descriptor + 16);
        std::set<std::string> imported;
        for (uint32_t entry; (entry = pe.U32At(lookup)) != 0; lookup += 4) {
            Expect((entry & 0x80000000u) == 0, dll + ": imports by name only");
            imported.insert(pe.TextAt(entry + 2));
        }
        if (dll == "USER32.dll") {
            sawUser32 = true;
            Expect(imported == user32, "USER32.dll: exactly LoadCursorA, MessageBoxA, SetCursor");
        } else if (dll == "vexra.exe") {
            sawHost = true;
            Expect(imported == host, "vexra.exe: exactly the nine _VXs services");
        } else {
            Expect(strcasecmp(dll.c_str(), "KERNEL32.dll") == 0 ||
                       strcasecmp(dll.c_str(), "msvcrt.dll") == 0,
                   "no import from " + dll +
                       " (only vexra.exe, USER32.dll, KERNEL32.dll, "
                       "msvcrt.dll are allowed)");
        }
    }
    Expect(sawUser32, "imports from USER32.dll");
    Expect(sawHost, "imports from vexra.exe");
}

// ---- Resources ----------------------------------------------------------------------------------

struct Resource {
    uint32_t type, name, language, rva, size;
};

// The three-level tree type / name / language, flattened. Named entries are reported as such.
static void CollectResources(const PeFile& pe, uint32_t directory, int level, Resource path,
                             std::vector<Resource>* found) {
    uint32_t root = pe.directoryRva[2];
    int named = pe.U16At(root + directory + 12), numbered = pe.U16At(root + directory + 14);
    Expect(named == 0, "resources are identified by number only");
    for (int i = 0; i < named + numbered; ++i) {
        uint32_t entry = root + directory + 16 + 8 * uint32_t(i);
        uint32_t id = pe.U32At(entry), target = pe.U32At(entry + 4);
        (level == 0 ? path.type : level == 1 ? path.name : path.language) = id;
        if (target & 0x80000000u) {
            CollectResources(pe, target & 0x7FFFFFFFu, level + 1, path, found);
        } else {
            path.rva = pe.U32At(root + target);
            path.size = pe.U32At(root + target + 4);
            Expect(level == 2, "resource tree has three levels");
            found->push_back(path);
        }
    }
}

static void CheckStringTable(const PeFile& pe, const Resource& block) {
    // Block 7 holds strings 96 to 111: each a 16-bit length and that many UTF-16 units.
    std::vector<uint8_t> expected;
    for (int id = 96; id < 112; ++id) {
        const char* text = id == 100 ? "RegionGrowing" : "";
        expected.push_back(uint8_t(strlen(text)));
        expected.push_back(0);
        for (const char* c = text; *c; ++c)
            expected.insert(expected.end(), {uint8_t(*c), 0});
    }
    std::vector<uint8_t> found = pe.BytesAt(block.rva, block.size);
    Expect(found == expected, "string table holds only 100 \"RegionGrowing\": found " + Hex(found));
}

// Pixels as the characters of the pixel map; '?' for any palette entry the picture must not use.
static std::vector<std::string> DecodeButton(const std::vector<uint8_t>& bitmap) {
    std::vector<std::string> rows(20, std::string(20, '?'));
    const size_t pixelsAt = 40 + 16 * 4, rowBytes = 12;
    for (int y = 0; y < 20; ++y) {
        size_t row = pixelsAt + rowBytes * size_t(19 - y); // bottom-up
        for (int x = 0; x < 20; ++x) {
            int index = (bitmap[row + size_t(x / 2)] >> (x % 2 == 0 ? 4 : 0)) & 0xF;
            rows[size_t(y)][size_t(x)] = index == 7   ? '.'
                                         : index == 0 ? '#'
                                         : index == 4 ? '+'
                                                      : '?';
        }
    }
    return rows;
}

static std::vector<std::string> ReadPixelMap(const char* path) {
    std::vector<std::string> rows;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (line.empty() || line[0] != ';')
            rows.push_back(line);
    return rows;
}

// What the picture must show, checked from the rows themselves rather than from the map.
static void CheckButtonDrawing(const std::vector<std::string>& rows) {
    auto at = [&](int x, int y) { return x < 0 || y < 0 || x > 19 || y > 19 ? '.' : rows[y][x]; };
    auto run = [&](bool alongRow, int line, char colour, int from, int to, const char* what) {
        std::string expected, found;
        for (int i = 0; i < 20; ++i) {
            expected += i >= from && i <= to ? colour : '-';
            found += (alongRow ? at(i, line) : at(line, i)) == colour ? colour : '-';
        }
        Expect(found == expected, std::string(what) + ": want " + expected + " found " + found);
    };
    for (int i = 0; i < 20; ++i)
        for (int margin : {0, 1, 18, 19})
            Expect(at(i, margin) == '.' && at(margin, i) == '.', "two-pixel light-grey margin");
    run(true, 2, '#', 11, 13, "outline top, row 2");
    run(false, 2, '#', 10, 15, "outline left, column 2");
    run(false, 17, '#', 9, 15, "outline right, column 17");
    run(true, 17, '#', 4, 15, "outline bottom, row 17");

    std::set<std::pair<int, int>> cross = {{11, 11}};
    for (int i = 6; i <= 9; ++i)
        for (auto pixel : {std::make_pair(11, i), {11, 22 - i}, {i, 11}, {22 - i, 11}})
            cross.insert(pixel);
    for (int i = 10; i <= 12; ++i)
        for (auto pixel : {std::make_pair(i, 7), {i, 15}, {7, i}, {15, i}})
            cross.insert(pixel);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            Expect((at(x, y) == '+') == (cross.count({x, y}) != 0),
                   "dark blue exactly on the dot, arms and bars, at (" + std::to_string(x) + ", " +
                       std::to_string(y) + ")");

    // One closed curve, one pixel wide: each black pixel touches exactly two others, and all
    // black pixels hang together.
    std::vector<std::pair<int, int>> black;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if (at(x, y) == '#')
                black.push_back({x, y});
    for (auto [x, y] : black) {
        int neighbours = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                neighbours += (dx || dy) && at(x + dx, y + dy) == '#';
        Expect(neighbours == 2, "outline is one pixel wide and unbroken at (" + std::to_string(x) +
                                    ", " + std::to_string(y) + ")");
    }
    std::set<std::pair<int, int>> reached;
    std::vector<std::pair<int, int>> pending = {black.front()};
    while (!pending.empty()) {
        auto [x, y] = pending.back();
        pending.pop_back();
        if (at(x, y) != '#' || !reached.insert({x, y}).second)
            continue;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                pending.push_back({x + dx, y + dy});
    }
    Expect(reached.size() == black.size(), "outline is a single curve");
    // Enclosure: from the corner, stepping between 4-neighbours that are not black, no dark-blue
    // pixel can be reached.
    std::set<std::pair<int, int>> outside;
    pending = {{0, 0}};
    while (!pending.empty()) {
        auto [x, y] = pending.back();
        pending.pop_back();
        if (x < 0 || y < 0 || x > 19 || y > 19 || at(x, y) == '#' || !outside.insert({x, y}).second)
            continue;
        Expect(at(x, y) != '+', "outline encloses the dark-blue drawing");
        pending.insert(pending.end(), {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}});
    }
}

static void CheckButton(const PeFile& pe, const Resource& button, const char* pixmapPath) {
    std::vector<uint8_t> bitmap = pe.BytesAt(button.rva, button.size);
    const size_t expectedSize = 40 + 16 * 4 + 12 * 20;
    Expect(bitmap.size() == expectedSize, "bitmap is " + std::to_string(expectedSize) +
                                              " bytes, found " + std::to_string(button.size));
    if (bitmap.size() != expectedSize)
        return;
    PeFile view; // reuse the little-endian readers on the resource's own bytes
    view.bytes = bitmap;
    Expect(view.U32(0) == 40, "bitmap header is BITMAPINFOHEADER");
    Expect(view.U32(4) == 20 && view.U32(8) == 20, "bitmap is 20 x 20, rows bottom-up");
    Expect(view.U16(12) == 1 && view.U16(14) == 4, "bitmap has one plane of 4 bits per pixel");
    Expect(view.U32(16) == 0, "bitmap is uncompressed");
    Expect(view.U32(20) == 240, "bitmap declares 240 bytes of pixels");
    Expect(view.U32(32) == 0 || view.U32(32) == 16, "bitmap uses the whole 16-colour palette");
    const uint32_t standard[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                   0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                   0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (int i = 0; i < 16; ++i) {
        // Stored blue, green, red, reserved: read little-endian, that is 0x00RRGGBB.
        uint32_t quad = view.U32(40 + 4 * size_t(i));
        char found[16];
        snprintf(found, sizeof found, "%08X", quad);
        Expect(quad == standard[i],
               "palette entry " + std::to_string(i) + " is the standard colour, found " + found);
    }
    std::vector<std::string> rows = DecodeButton(bitmap);
    std::vector<std::string> map = ReadPixelMap(pixmapPath);
    for (size_t y = 0; y < 20; ++y)
        Expect(y < map.size() && rows[y] == map[y],
               "row " + std::to_string(y) + " matches the pixel map: found " + rows[y]);
    CheckButtonDrawing(rows);
}

static void CheckResources(const PeFile& pe, const char* pixmapPath) {
    std::vector<Resource> resources;
    if (pe.directoryRva[2] != 0)
        CollectResources(pe, 0, 0, Resource{}, &resources);
    Expect(resources.size() == 2,
           "exactly two resources, found " + std::to_string(resources.size()));
    bool sawString = false, sawBitmap = false;
    for (const Resource& resource : resources) {
        std::string id = "resource type " + std::to_string(resource.type) + " name " +
                         std::to_string(resource.name);
        Expect(resource.language == 1033, id + " is in language 1033");
        if (resource.type == 6 && resource.name == 7) {
            sawString = true;
            CheckStringTable(pe, resource);
        } else if (resource.type == 2 && resource.name == 102) {
            sawBitmap = true;
            CheckButton(pe, resource, pixmapPath);
        } else {
            Expect(false, "no " + id);
        }
    }
    Expect(sawString, "string table block 7 (string 100) is present");
    Expect(sawBitmap, "bitmap 102 is present");
}

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4 || (argc == 4 && strcmp(argv[3], "--code") != 0)) {
        fprintf(stderr, "usage: %s DLL PIXMAP [--code]\n", argv[0]);
        return 2;
    }
    PeFile pe;
    if (!ReadPe(argv[1], &pe))
        return 1;
    CheckExports(pe, argc == 4);
    CheckImports(pe);
    CheckResources(pe, argv[2]);
    if (Failures != 0) {
        printf("%s: %d difference(s)\n", argv[1], Failures);
        return 1;
    }
    printf("%s: exports, imports, entry point and resources as required\n", argv[1]);
    return 0;
}
