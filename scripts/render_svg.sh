#!/usr/bin/env bash
# Renders an SVG picture to PNG at its own size with headless Chromium (ImageMagick in Debian
# has no SVG reader). Used by make demo for the explorer's growth curve.
# Usage: scripts/render_svg.sh IN.svg OUT.png
set -euo pipefail
in=$1 out=$2
size=$(grep -o '<svg[^>]*' "$in" | head -1)
width=$(sed -n 's/.* width="\([0-9]*\)".*/\1/p' <<<"$size")
height=$(sed -n 's/.* height="\([0-9]*\)".*/\1/p' <<<"$size")
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir="$profile" \
    --window-size="$width,$height" --screenshot="$profile/shot.png" \
    "file://$(realpath "$in")" >/dev/null 2>&1
mv "$profile/shot.png" "$out"
