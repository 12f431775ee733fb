#!/usr/bin/env python3
"""Turns editor/icon.pixmap into a Windows .ico file: one 32 x 32 image, 32 bits a pixel with
alpha, and the 1-bit mask older systems draw with.

    make_icon.py ICON.pixmap OUT.ico
"""
import struct
import sys

COLOURS = {  # character: (red, green, blue, alpha)
    ".": (0, 0, 0, 0),
    "#": (0, 0, 0, 255),
    "w": (255, 255, 255, 255),
    "m": (255, 0, 255, 255),
    "k": (0, 0, 128, 255),
}


def main(source, target):
    rows = [line.rstrip("\n") for line in open(source, encoding="utf-8")
            if line.strip() and not line.startswith(";")]
    size = len(rows)
    if size == 0 or any(len(row) != size for row in rows):
        sys.exit("make_icon: %s is not a square pixel map" % source)
    pixels = b""
    mask = b""
    mask_row_bytes = ((size + 31) // 32) * 4
    for row in reversed(rows):  # bottom-up, as a DIB
        bits = 0
        for x, character in enumerate(row):
            if character not in COLOURS:
                sys.exit("make_icon: unknown character %r in %s" % (character, source))
            red, green, blue, alpha = COLOURS[character]
            pixels += bytes((blue, green, red, alpha))
            if alpha == 0:
                bits |= 1 << (mask_row_bytes * 8 - 1 - x)
        mask += bits.to_bytes(mask_row_bytes, "big")
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack(
        "<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)
    with open(target, "wb") as out:
        out.write(directory + image)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
