#!/usr/bin/env python3
"""A README quotes a program's usage whole: one of its fenced blocks is what PROGRAM --help
prints, to the character. Fails, showing the difference from the nearest block, when either
changed without the other.

usage: readme_quotes_usage.py README PROGRAM [ARG...]   (the usage is PROGRAM ARG... --help)
"""
import difflib
import subprocess
import sys


def fenced_blocks(text):
    """The contents of each ``` block, each line ending in a line end, as --help prints."""
    blocks, current = [], None
    for line in text.splitlines(keepends=True):
        if line.lstrip().startswith("```"):
            if current is None:
                current = []
            else:
                blocks.append("".join(current))
                current = None
        elif current is not None:
            current.append(line)
    return blocks


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    readme, command = sys.argv[1], sys.argv[2:] + ["--help"]
    usage = subprocess.run(command, stdout=subprocess.PIPE, check=True).stdout.decode("utf-8")
    with open(readme, encoding="utf-8") as file:
        blocks = fenced_blocks(file.read())
    if usage in blocks:
        return
    nearest = max(blocks, default="",
                  key=lambda block: difflib.SequenceMatcher(None, block, usage).ratio())
    sys.stdout.writelines(difflib.unified_diff(
        nearest.splitlines(keepends=True), usage.splitlines(keepends=True),
        fromfile=readme, tofile=" ".join(command)))
    sys.exit(f"{readme} does not quote the output of {' '.join(command)} in a fenced block")


if __name__ == "__main__":
    main()
