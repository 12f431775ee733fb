#!/usr/bin/env python3
"""Checks that the rooms of the source tree keep to their folders.

    check_rooms.py SOURCE_DIR

Every folder around the plug-in is one room: one CMake target, one namespace. This fails, naming
each place, when
  - a CMake file outside web/ names a source file of another folder (a target links the room
    that builds it instead; the page's wasm32 modules are compiled from other folders' sources
    by a compiler of their own, so web/ may);
  - a target puts the project's root on its include path (a header is then found whether or
    not its room is linked);
  - a source includes a header of this project by a path instead of its name (the path would
    find it whatever the target links);
  - a source or header of a room does not open the room's namespace.
"""
import os
import re
import sys

# Room folder -> namespace. The plug-in's folders (host_api/, region_growing/, plugin/) keep the
# plug-in's and the host's C names, and the test, benchmark and program folders are checked for
# the rules above but not for a namespace of their own.
ROOM_NAMESPACES = {
    "picture_io": "picture_io",
    "command_line": "command_line",
    "host_model": "host_model",
    "window_system": "window_system",
    "simulated_host": "simulated_host",
    "run_records": "run_records",
    "tool_host": "tool_host",
    "files": "files",
    "tolerance_explorer": "tolerance_explorer",
    "growth_views": "growth_views",
    "region_grow": "region_grow",
    "editor": "editor",
}
PLUGIN_FOLDERS = ("host_api", "region_growing", "plugin")
SKIPPED = ("build", "node_modules", ".git")
SOURCE_OF_A_FOLDER = re.compile(r"\$\{(?:PROJECT|CMAKE)_SOURCE_DIR\}/([\w/]+\.(?:cpp|c))\b")
ROOT_ON_INCLUDE_PATH = re.compile(
    r"include_directories\([^)]*\$\{(?:PROJECT|CMAKE)_SOURCE_DIR\}[\s)]", re.S)
INCLUDE_BY_PATH = re.compile(r'^\s*#\s*include\s+"([^"]*/[^"]*)"', re.M)


def files_under(root, endings):
    for folder, subfolders, names in os.walk(root):
        subfolders[:] = [s for s in subfolders if s not in SKIPPED]
        for name in names:
            if name.endswith(endings):
                yield os.path.join(folder, name)


def check(root):
    faults = []
    for path in files_under(root, ("CMakeLists.txt",)):
        relative = os.path.relpath(path, root)
        text = open(path, encoding="utf-8").read()
        if not relative.startswith("web" + os.sep):
            for source in SOURCE_OF_A_FOLDER.findall(text):
                faults.append(f"{relative}: names {source}, a source of another folder")
        if ROOT_ON_INCLUDE_PATH.search(text):
            faults.append(f"{relative}: puts the project's root on an include path")
    for path in files_under(root, (".cpp", ".h")):
        relative = os.path.relpath(path, root)
        top = relative.split(os.sep)[0]
        if top in PLUGIN_FOLDERS:
            continue
        text = open(path, encoding="utf-8").read()
        for included in INCLUDE_BY_PATH.findall(text):
            if not included.startswith(("gtest/", "fuzzer/", "webp/")):
                faults.append(f'{relative}: includes "{included}" by a path, not by its name')
        namespace = ROOM_NAMESPACES.get(top)
        in_room = os.path.dirname(relative) == top
        if namespace and in_room and not re.search(rf"^namespace {namespace} \{{", text, re.M):
            faults.append(f"{relative}: does not open namespace {namespace}")
    return faults


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    faults = check(sys.argv[1])
    for fault in faults:
        print(fault)
    if faults:
        sys.exit(1)
    print("every room keeps to its folder")


if __name__ == "__main__":
    main()
