#!/usr/bin/python3
"""Build-machine check of the built PAINT.DLL, read as a file with pefile.

    check_dll_image.py PAINT.DLL BUTTON.BMP [--code] [--time-stamp SECONDS]

Checks the headers of a release file (i386 DLL, GUI subsystem, OS and subsystem version 4.0,
DYNAMIC_BASE and NX_COMPAT, relocations, a valid checksum, no symbol table, no unwind
section, nothing appended), the export table, the import table, the load/unload entry, and the
two resources with their language and exact content. Prints one line per difference and exits
non-zero if there is any.

BUTTON.BMP is the bitmap file the build made from plugin/button.pixmap (make_button_bmp, the
one reader of that map): the DLL's bitmap 102 must be its content, and the picture must show
what the button is required to show, checked from the decoded pixels themselves.

--code also checks the machine code of the entry point and of the five constant exports
(result code and stack cleanup); it is meant for optimised builds, where each is a single
"mov eax, code" followed by "ret" or "ret N".

--time-stamp checks that the header and the export table carry exactly that time stamp and
the resource directories none, so that the file does not depend on when it was linked.
"""
import argparse
import sys

import pefile

failures = []


def expect(ok, what):
    if not ok:
        print("FAIL: " + what)
        failures.append(what)


def hex_bytes(data):
    return " ".join("%02X" % byte for byte in data)


# ---- Headers -------------------------------------------------------------------------------


IMAGE_FILE_RELOCS_STRIPPED = 0x0001
IMAGE_FILE_DLL = 0x2000
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
DYNAMIC_BASE_AND_NX_COMPAT = 0x0040 | 0x0100
IMAGE_SCN_MEM_EXECUTE = 0x20000000


def check_headers(pe):
    header, optional = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    expect(header.Machine == 0x14C, "machine is i386")
    expect(header.Characteristics & IMAGE_FILE_DLL, "image is marked as a DLL")
    expect(optional.Magic == 0x10B, "optional header is PE32")
    expect(
        optional.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI,
        "subsystem is Windows GUI (2), found %d" % optional.Subsystem,
    )
    expect(
        optional.DllCharacteristics == DYNAMIC_BASE_AND_NX_COMPAT,
        "DllCharacteristics are DYNAMIC_BASE | NX_COMPAT (0x0140), found 0x%04X"
        % optional.DllCharacteristics,
    )
    versions = {
        "OS": (optional.MajorOperatingSystemVersion, optional.MinorOperatingSystemVersion),
        "subsystem": (optional.MajorSubsystemVersion, optional.MinorSubsystemVersion),
    }
    for what, version in versions.items():
        expect(version == (4, 0), "%s version is 4.0, found %d.%d" % (what, *version))
    # The image must be movable: DYNAMIC_BASE means nothing without relocations.
    relocations = getattr(pe, "DIRECTORY_ENTRY_BASERELOC", [])
    expect(
        not header.Characteristics & IMAGE_FILE_RELOCS_STRIPPED and len(relocations) > 0,
        "the image keeps its base relocations",
    )
    expect(
        optional.CheckSum == pe.generate_checksum(),
        "checksum 0x%08X matches the file's contents (0x%08X)"
        % (optional.CheckSum, pe.generate_checksum()),
    )
    # The COFF symbol table and its string table would follow the sections; their names
    # include paths of the build machine.
    expect(
        header.PointerToSymbolTable == 0 and header.NumberOfSymbols == 0,
        "no symbol table, found %d symbols" % header.NumberOfSymbols,
    )
    expect(
        pe.get_overlay_data_start_offset() is None, "nothing follows the last section in the file"
    )
    names = [section.Name.rstrip(b"\0").decode("latin-1") for section in pe.sections]
    expect(
        not any(name.startswith(".eh_fram") for name in names),
        "no .eh_frame section: sections are " + " ".join(names),
    )
    # A name longer than eight characters is "/offset" into the string table.
    expect(not any(name.startswith("/") for name in names), "no section with a long name")


def check_time_stamps(pe, time_stamp):
    found = pe.FILE_HEADER.TimeDateStamp
    expect(found == time_stamp, "header time stamp is %d, found %d" % (time_stamp, found))
    if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        found = pe.DIRECTORY_ENTRY_EXPORT.struct.TimeDateStamp
        expect(found == time_stamp, "export time stamp is %d, found %d" % (time_stamp, found))
    pending = [getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)]
    while pending:
        directory = pending.pop()
        if directory is None:
            continue
        found = directory.struct.TimeDateStamp
        expect(found == 0, "resource directory time stamp is 0, found %d" % found)
        pending += [getattr(entry, "directory", None) for entry in directory.entries]


# ---- Exports and the entry point -----------------------------------------------------------


def return_code(code, bytes_removed):
    """mov eax, code; then ret, or ret bytes_removed."""
    ret = bytes([0xC3]) if bytes_removed == 0 else bytes([0xC2, bytes_removed, 0])
    return bytes([0xB8, code, 0, 0, 0]) + ret


# Alphabetical by name, which gives the ordinals 1 to 6; None: not a constant answer.
EXPECTED_EXPORTS = [
    ("VXcCancelOne", return_code(4, 12)),
    ("VXcDrawGuideLine", return_code(1, 24)),
    ("VXcDrawIt", None),
    ("VXcGetDrawInfo", return_code(1, 0)),
    ("VXcGetDrawInterface", return_code(2, 0)),
    ("VXcSetPoint", return_code(4, 16)),
]


def check_exports(pe, check_code):
    if not hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        expect(False, "the DLL has an export table")
        return
    exports = pe.DIRECTORY_ENTRY_EXPORT
    directory = exports.struct
    expect(exports.name == b"PAINT.DLL", "export table names PAINT.DLL")
    expect(directory.Base == 1, "ordinal base is 1, found %d" % directory.Base)
    expect(
        directory.NumberOfFunctions == 6 and directory.NumberOfNames == 6,
        "six exports, all named: found %d addresses, %d names"
        % (directory.NumberOfFunctions, directory.NumberOfNames),
    )
    # pefile lists the named exports first, in the order of the name table.
    named = [symbol for symbol in exports.symbols if symbol.name is not None]
    seen = set()
    for number, (symbol, (name, code)) in enumerate(zip(named, EXPECTED_EXPORTS), start=1):
        found = symbol.name.decode("latin-1")
        expect(found == name, "export name %d is %s, found %s" % (number, name, found))
        expect(
            symbol.ordinal == number,
            "%s has ordinal %d, found %d" % (found, number, symbol.ordinal),
        )
        section = pe.get_section_by_rva(symbol.address)
        expect(
            symbol.forwarder is None
            and section is not None
            and section.Characteristics & IMAGE_SCN_MEM_EXECUTE,
            found + " points into code (not a forwarder)",
        )
        expect(symbol.address not in seen, found + " has an address of its own")
        seen.add(symbol.address)
        if check_code and code is not None:
            actual = pe.get_data(symbol.address, len(code))
            expect(
                actual == code,
                "%s is %s, found %s" % (found, hex_bytes(code), hex_bytes(actual)),
            )
    if check_code:
        # DllMain(module, reason, reserved): TRUE, whatever the reason, and three words removed.
        entry = return_code(1, 12)
        actual = pe.get_data(pe.OPTIONAL_HEADER.AddressOfEntryPoint, len(entry))
        expect(
            actual == entry,
            "entry point is %s, found %s" % (hex_bytes(entry), hex_bytes(actual)),
        )


# ---- Imports -------------------------------------------------------------------------------


USER32_IMPORTS = {"LoadCursorA", "MessageBoxA", "SetCursor"}
HOST_IMPORTS = {
    "_VXsGetParameter",
    "_VXsGetCDIBinfo",
    "_VXsStartOnImage",
    "_VXsGetColorOnImage",
    "_VXsGetMask",
    "_VXsStartPset",
    "_VXsPSet",
    "_VXsSetDrawFlag",
    "_VXsUpdateImageWindow",
}


def check_imports(pe):
    saw_user32 = saw_host = False
    for descriptor in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = descriptor.dll.decode("latin-1")
        imported = set()
        for entry in descriptor.imports:
            expect(not entry.import_by_ordinal, dll + ": imports by name only")
            if entry.name is not None:
                imported.add(entry.name.decode("latin-1"))
        if dll == "USER32.dll":
            saw_user32 = True
            expect(
                imported == USER32_IMPORTS,
                "USER32.dll: exactly LoadCursorA, MessageBoxA, SetCursor",
            )
        elif dll == "vexra.exe":
            saw_host = True
            expect(imported == HOST_IMPORTS, "vexra.exe: exactly the nine _VXs services")
        else:
            expect(
                dll.lower() in ("kernel32.dll", "msvcrt.dll"),
                "no import from %s (only vexra.exe, USER32.dll, KERNEL32.dll, "
                "msvcrt.dll are allowed)" % dll,
            )
    expect(saw_user32, "imports from USER32.dll")
    expect(saw_host, "imports from vexra.exe")


# ---- Resources -----------------------------------------------------------------------------


RT_BITMAP, RT_STRING = 2, 6
LANGUAGE_ENGLISH_US = 1033


def collect_resources(directory, level=0, path=()):
    """The three-level tree type / name / language, flattened to
    (type, name, language, data entry) tuples."""
    found = []
    for entry in directory.entries:
        expect(entry.name is None, "resources are identified by number only")
        if hasattr(entry, "directory"):
            found += collect_resources(entry.directory, level + 1, path + (entry.id,))
        else:
            expect(level == 2, "resource tree has three levels")
            if level == 2:
                found.append(path + (entry.id, entry.data.struct))
    return found


def check_string_table(pe, data):
    # Block 7 holds strings 96 to 111: each a 16-bit length and that many UTF-16 units.
    expected = b""
    for number in range(96, 112):
        text = "RegionGrowing" if number == 100 else ""
        expected += len(text).to_bytes(2, "little") + text.encode("utf-16-le")
    found = pe.get_data(data.OffsetToData, data.Size)
    expect(
        found == expected,
        'string table holds only 100 "RegionGrowing": found ' + hex_bytes(found),
    )


SIDE = 20
HEADER_BYTES, PALETTE_BYTES, ROW_BYTES = 40, 16 * 4, 12
STANDARD_PALETTE = [
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
]  # fmt: skip
# Pixels are shown in the characters of plugin/button.pixmap, by palette entry; '?' for any
# entry the picture must not use.
PIXEL_CHARACTERS = {7: ".", 0: "#", 4: "+"}


def u32(data, offset):
    return int.from_bytes(data[offset : offset + 4], "little")


def u16(data, offset):
    return int.from_bytes(data[offset : offset + 2], "little")


def decode_button(bitmap):
    """The pixels as rows of pixel-map characters, top row first."""
    rows = []
    for y in range(SIDE):
        row = HEADER_BYTES + PALETTE_BYTES + ROW_BYTES * (SIDE - 1 - y)  # bottom-up
        pixels = ""
        for x in range(SIDE):
            index = (bitmap[row + x // 2] >> (4 if x % 2 == 0 else 0)) & 0xF
            pixels += PIXEL_CHARACTERS.get(index, "?")
        rows.append(pixels)
    return rows


def read_button_file(path):
    """The bitmap as a resource holds it: the .bmp file less its 14-byte file header."""
    with open(path, "rb") as file:
        data = file.read()
    expect(data[:2] == b"BM" and len(data) > 14, "%s is a .bmp file" % path)
    return data[14:]


def check_button_drawing(rows):
    """What the picture must show, checked from the rows themselves rather than from the map."""

    def at(x, y):
        return "." if x < 0 or y < 0 or x >= SIDE or y >= SIDE else rows[y][x]

    def run(along_row, line, colour, first, last, what):
        expected = found = ""
        for i in range(SIDE):
            expected += colour if first <= i <= last else "-"
            pixel = at(i, line) if along_row else at(line, i)
            found += colour if pixel == colour else "-"
        expect(found == expected, "%s: want %s found %s" % (what, expected, found))

    for i in range(SIDE):
        for margin in (0, 1, 18, 19):
            expect(
                at(i, margin) == "." and at(margin, i) == ".", "two-pixel light-grey margin"
            )
    run(True, 2, "#", 11, 13, "outline top, row 2")
    run(False, 2, "#", 10, 15, "outline left, column 2")
    run(False, 17, "#", 9, 15, "outline right, column 17")
    run(True, 17, "#", 4, 15, "outline bottom, row 17")

    cross = {(11, 11)}
    for i in range(6, 10):
        cross |= {(11, i), (11, 22 - i), (i, 11), (22 - i, 11)}
    for i in range(10, 13):
        cross |= {(i, 7), (i, 15), (7, i), (15, i)}
    for y in range(SIDE):
        for x in range(SIDE):
            expect(
                (at(x, y) == "+") == ((x, y) in cross),
                "dark blue exactly on the dot, arms and bars, at (%d, %d)" % (x, y),
            )

    # One closed curve, one pixel wide: each black pixel touches exactly two others, and all
    # black pixels hang together.
    around = [(dx, dy) for dy in (-1, 0, 1) for dx in (-1, 0, 1) if dx or dy]
    black = [(x, y) for y in range(SIDE) for x in range(SIDE) if at(x, y) == "#"]
    for x, y in black:
        neighbours = sum(at(x + dx, y + dy) == "#" for dx, dy in around)
        expect(
            neighbours == 2, "outline is one pixel wide and unbroken at (%d, %d)" % (x, y)
        )
    reached, pending = set(), black[:1]
    while pending:
        x, y = pending.pop()
        if at(x, y) != "#" or (x, y) in reached:
            continue
        reached.add((x, y))
        pending += [(x + dx, y + dy) for dx, dy in around]
    expect(len(reached) == len(black), "outline is a single curve")
    # Enclosure: from the corner, stepping between 4-neighbours that are not black, no
    # dark-blue pixel can be reached.
    outside, pending = set(), [(0, 0)]
    while pending:
        x, y = pending.pop()
        if not (0 <= x < SIDE and 0 <= y < SIDE) or at(x, y) == "#" or (x, y) in outside:
            continue
        outside.add((x, y))
        expect(at(x, y) != "+", "outline encloses the dark-blue drawing")
        pending += [(x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)]


def check_button(pe, data, button_path):
    bitmap = pe.get_data(data.OffsetToData, data.Size)
    expected_size = HEADER_BYTES + PALETTE_BYTES + ROW_BYTES * SIDE
    expect(
        len(bitmap) == expected_size,
        "bitmap is %d bytes, found %d" % (expected_size, data.Size),
    )
    if len(bitmap) != expected_size:
        return
    expect(u32(bitmap, 0) == 40, "bitmap header is BITMAPINFOHEADER")
    expect(u32(bitmap, 4) == SIDE and u32(bitmap, 8) == SIDE, "bitmap is 20 x 20, rows bottom-up")
    expect(
        u16(bitmap, 12) == 1 and u16(bitmap, 14) == 4,
        "bitmap has one plane of 4 bits per pixel",
    )
    expect(u32(bitmap, 16) == 0, "bitmap is uncompressed")
    expect(u32(bitmap, 20) == ROW_BYTES * SIDE, "bitmap declares 240 bytes of pixels")
    expect(u32(bitmap, 32) in (0, 16), "bitmap uses the whole 16-colour palette")
    for index, colour in enumerate(STANDARD_PALETTE):
        # Stored blue, green, red, reserved: read little-endian, that is 0x00RRGGBB.
        quad = u32(bitmap, HEADER_BYTES + 4 * index)
        expect(
            quad == colour,
            "palette entry %d is the standard colour, found %08X" % (index, quad),
        )
    rows = decode_button(bitmap)
    built = read_button_file(button_path)
    built_rows = decode_button(built) if len(built) == expected_size else []
    for y, row in enumerate(rows):
        wanted = built_rows[y] if y < len(built_rows) else "(none)"
        expect(row == wanted, "row %d matches button.bmp: found %s, want %s" % (y, row, wanted))
    expect(bitmap == built, "bitmap 102 is button.bmp without its file header")
    check_button_drawing(rows)


def check_resources(pe, button_path):
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    resources = collect_resources(root) if root is not None else []
    expect(len(resources) == 2, "exactly two resources, found %d" % len(resources))
    saw_string = saw_bitmap = False
    for kind, name, language, data in resources:
        what = "resource type %d name %d" % (kind, name)
        expect(language == LANGUAGE_ENGLISH_US, what + " is in language 1033")
        if (kind, name) == (RT_STRING, 7):
            saw_string = True
            check_string_table(pe, data)
        elif (kind, name) == (RT_BITMAP, 102):
            saw_bitmap = True
            check_button(pe, data, button_path)
        else:
            expect(False, "no " + what)
    expect(saw_string, "string table block 7 (string 100) is present")
    expect(saw_bitmap, "bitmap 102 is present")


def main():
    parser = argparse.ArgumentParser(description="Check the built PAINT.DLL image.")
    parser.add_argument("dll")
    parser.add_argument("button_bmp", help="the .bmp the build made from button.pixmap")
    parser.add_argument("--code", action="store_true", help="check the constant exports' code")
    parser.add_argument("--time-stamp", type=int, help="the time stamp the file must carry")
    arguments = parser.parse_args()
    try:
        pe = pefile.PE(arguments.dll)
    except (OSError, pefile.PEFormatError) as error:
        print("FAIL: %s is not a readable PE image: %s" % (arguments.dll, error))
        return 1
    check_headers(pe)
    if arguments.time_stamp is not None:
        check_time_stamps(pe, arguments.time_stamp)
    check_exports(pe, arguments.code)
    check_imports(pe)
    check_resources(pe, arguments.button_bmp)
    if failures:
        print("%s: %d difference(s)" % (arguments.dll, len(failures)))
        return 1
    print("%s: headers, exports, imports, entry point and resources as required" % arguments.dll)
    return 0


if __name__ == "__main__":
    sys.exit(main())
