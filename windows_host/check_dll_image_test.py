#!/usr/bin/python3
"""The image check must notice each way a DLL can go wrong: it is run on copies of the built
PAINT.DLL, each with one fault written into it (and the checksum made to fit again, so that
only the fault itself is there to find), and must fail every one with the matching message.

    check_dll_image_test.py CHECKER PAINT.DLL BUTTON.BMP TIME-STAMP WORK-DIR
"""
import os
import subprocess
import sys

import pefile


def section(pe, name):
    return next(s for s in pe.sections if s.Name.rstrip(b"\0") == name)


def export(pe, name):
    return next(s for s in pe.DIRECTORY_ENTRY_EXPORT.symbols if s.name == name)


def resource(pe, kind):
    """The language-level entry of the first resource of a type."""
    entry = next(e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == kind)
    return entry.directory.entries[0].directory.entries[0]


def keep_symbol_table(pe):
    # One empty symbol and an empty string table after the sections, as a link without -s
    # leaves them.
    pe.FILE_HEADER.PointerToSymbolTable = len(pe.write())
    pe.FILE_HEADER.NumberOfSymbols = 1
    return bytes(18) + (4).to_bytes(4, "little")


def set_field(structure, name, value):
    setattr(structure, name, value)


def patch(pe, rva, data):
    pe.set_bytes_at_rva(rva, data)


def swap_first_two_export_names(pe):
    names = pe.DIRECTORY_ENTRY_EXPORT.struct.AddressOfNames
    first, second = pe.get_dword_at_rva(names), pe.get_dword_at_rva(names + 4)
    pe.set_dword_at_rva(names, second)
    pe.set_dword_at_rva(names + 4, first)


def flip_first_button_pixel_of_last_row(pe):
    data = resource(pe, 2).data.struct
    pixels = data.OffsetToData + 40 + 16 * 4  # bottom row first: row 19, column 0
    patch(pe, pixels, bytes([pe.get_data(pixels, 1)[0] ^ 0x70]))


def rename_import(pe, old, new):
    for descriptor in pe.DIRECTORY_ENTRY_IMPORT:
        for entry in descriptor.imports:
            if entry.name == old:
                pe.set_bytes_at_offset(entry.name_offset, new)


# What to break, and the start of the message the check must print for it.
FAULTS = [
    ("symbol table kept", keep_symbol_table, "no symbol table, found 1 symbols"),
    (
        "an .eh_frame section",
        lambda pe: set_field(section(pe, b".rdata"), "Name", b".eh_fram"),
        "no .eh_frame section",
    ),
    (
        "console subsystem",
        lambda pe: set_field(pe.OPTIONAL_HEADER, "Subsystem", 3),
        "subsystem is Windows GUI (2), found 3",
    ),
    (
        "no DYNAMIC_BASE",
        lambda pe: set_field(pe.OPTIONAL_HEADER, "DllCharacteristics", 0x0100),
        "DllCharacteristics are DYNAMIC_BASE | NX_COMPAT (0x0140), found 0x0100",
    ),
    (
        "relocations stripped",
        lambda pe: set_field(pe.FILE_HEADER, "Characteristics", pe.FILE_HEADER.Characteristics | 1),
        "the image keeps its base relocations",
    ),
    (
        "OS version 5.0",
        lambda pe: set_field(pe.OPTIONAL_HEADER, "MajorOperatingSystemVersion", 5),
        "OS version is 4.0, found 5.0",
    ),
    (
        "subsystem version 4.10",
        lambda pe: set_field(pe.OPTIONAL_HEADER, "MinorSubsystemVersion", 10),
        "subsystem version is 4.0, found 4.10",
    ),
    (
        "link time in the header",
        lambda pe: set_field(pe.FILE_HEADER, "TimeDateStamp", pe.FILE_HEADER.TimeDateStamp + 1),
        "header time stamp is",
    ),
    (
        "link time in the export table",
        lambda pe: set_field(pe.DIRECTORY_ENTRY_EXPORT.struct, "TimeDateStamp", 1),
        "export time stamp is",
    ),
    (
        "VXcGetDrawInfo answers 3",
        lambda pe: patch(pe, export(pe, b"VXcGetDrawInfo").address + 1, b"\x03"),
        "VXcGetDrawInfo is B8 01 00 00 00 C3, found B8 03",
    ),
    (
        "exports out of order",
        swap_first_two_export_names,
        "export name 1 is VXcCancelOne, found VXcDrawGuideLine",
    ),
    (
        "another user32 import",
        lambda pe: rename_import(pe, b"SetCursor", b"SetCursoR"),
        "USER32.dll: exactly LoadCursorA, MessageBoxA, SetCursor",
    ),
    (
        "button in German",
        lambda pe: set_field(resource(pe, 2).struct, "Name", 1031),
        "resource type 2 name 102 is in language 1033",
    ),
    (
        "one button pixel changed",
        flip_first_button_pixel_of_last_row,
        "row 19 matches button.bmp",
    ),
]


def write_with_fault(original, fault, path):
    pe = pefile.PE(data=original)
    tail = fault(pe) or b""
    pe = pefile.PE(data=pe.write() + tail)
    pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
    pe.write(path)


def run_check(checker, dll, button_bmp, time_stamp):
    command = [sys.executable, checker, dll, button_bmp, "--code", "--time-stamp", time_stamp]
    result = subprocess.run(command, capture_output=True, text=True)
    return result.returncode, result.stdout + result.stderr


def main():
    checker, dll, button_bmp, time_stamp, work_dir = sys.argv[1:]
    os.makedirs(work_dir, exist_ok=True)
    with open(dll, "rb") as file:
        original = file.read()
    status, output = run_check(checker, dll, button_bmp, time_stamp)
    if status != 0:
        print("the built DLL itself fails the check, so faults cannot be told apart:\n" + output)
        return 1
    missed = 0
    for number, (what, fault, message) in enumerate(FAULTS, start=1):
        path = os.path.join(work_dir, "fault-%02d.dll" % number)
        write_with_fault(original, fault, path)
        status, output = run_check(checker, path, button_bmp, time_stamp)
        if status != 1 or "FAIL: " + message not in output:
            print("MISSED: %s (%s): want exit 1 and 'FAIL: %s', got %d:\n%s"
                  % (what, path, message, status, output))
            missed += 1
    if missed:
        return 1
    print("the check finds each of %d faults" % len(FAULTS))
    return 0


if __name__ == "__main__":
    sys.exit(main())
