#!/usr/bin/env python3
"""Writes a zip whose bytes depend only on the files' contents and names.

    reproducible_zip.py OUT.zip DIR TIME NAME...

The entries are DIR/NAME, in the order given, stored uncompressed (a deflate stream could
differ between zlib versions), each dated TIME (seconds since 1970, UTC; the zip format
starts at 1980) and with mode 0644, and without the owner, the local time zone or any other
detail of the machine that wrote them.
"""
import os
import sys
import time
import zipfile

ZIP_EPOCH = (1980, 1, 1, 0, 0, 0)


def main():
    if len(sys.argv) < 5 or not sys.argv[3].isdigit():
        print("usage: reproducible_zip.py OUT.zip DIR TIME NAME...", file=sys.stderr)
        return 2
    output, directory, seconds, names = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
    date_time = max(ZIP_EPOCH, tuple(time.gmtime(seconds))[:6])
    temporary = output + ".part"
    with zipfile.ZipFile(temporary, "w", zipfile.ZIP_STORED) as archive:
        for name in names:
            entry = zipfile.ZipInfo(name, date_time)
            entry.create_system = 3  # Unix, so that the mode below is the one unpacked
            entry.external_attr = 0o100644 << 16
            with open(os.path.join(directory, name), "rb") as file:
                archive.writestr(entry, file.read(), zipfile.ZIP_STORED)
    os.replace(temporary, output)
    return 0


if __name__ == "__main__":
    sys.exit(main())
