#!/usr/bin/env bash
# One click that fills a uniform 4000 x 3000 picture whole, in the editor stand-in and in the
# Windows region_grow, both under Wine on the same picture and click, each saving the result:
# wall time (process start to end) and the fill's own time (the editor's status bar, the
# tool's summary line). Prints both and their ratios; the goal is an editor at most 3 times
# the tool's wall time, and a fill time at most 1.5 times the tool's.
#
#   bench/editor_speed.sh [RUNS]      (default 3; the best of RUNS is shown)
#
# Needs the win32 build (cmake --build --preset win32), Wine, xvfb-run and ImageMagick.
set -uo pipefail

runs=${1:-3}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$source_dir/build/win32
editor=$build/editor/vexra.exe tool=$build/region_grow/vexra.exe
runner=$source_dir/windows_host/run_under_wine.sh
for program in "$editor" "$tool"; do
    [ -x "$program" ] || { echo "editor_speed: $program is missing: build the win32 preset"; exit 1; }
done
for command in wine xvfb-run convert; do
    command -v $command >/dev/null || { echo "editor_speed: $command is missing"; exit 1; }
done

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
work=$(mktemp -d "${TMPDIR:-/tmp}/editor-speed.XXXXXX")
trap 'WINEPREFIX=$work/prefix wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
cd "$work" || exit 1
convert -size 4000x3000 xc:'#6496C8' -depth 8 PNG24:uniform.png

now() { date +%s.%N; }

# The tool: wall time, and its summary's time inside the plug-in.
tool_run() {
    local start end
    start=$(now)
    VX_WINE_STARTED_LINE="" "$runner" "$work/prefix" "$tool" uniform.png 0 0 -o tool.png \
        >tool.out 2>&1 || { cat tool.out; exit 1; }
    end=$(now)
    echo "$(echo "$end - $start" | bc) $(tr -d '\r' <tool.out | sed -n 's/.*, \([0-9.]*\) ms -> .*/\1/p')"
}

# The editor, scripted: wall time, and its click line's fill time.
editor_run() {
    local start end
    start=$(now)
    VX_WINE_STARTED_LINE="" xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
        "$runner" "$work/prefix" "$editor" uniform.png --click 0 0 --save editor.png --quit \
        >editor.out 2>&1 || { cat editor.out; exit 1; }
    end=$(now)
    echo "$(echo "$end - $start" | bc) $(tr -d '\r' <editor.out | sed -n 's/^click 0 0: .* messages, \([0-9.]*\) ms;.*/\1/p')"
}

tool_run >/dev/null # the prefix's first start is slower than any later one
best_tool_wall=999999 best_tool_fill=999999 best_editor_wall=999999 best_editor_fill=999999
for ((run = 0; run < runs; run++)); do
    read -r wall fill < <(tool_run)
    best_tool_wall=$(echo "if ($wall < $best_tool_wall) $wall else $best_tool_wall" | bc)
    best_tool_fill=$(echo "if ($fill < $best_tool_fill) $fill else $best_tool_fill" | bc)
    read -r wall fill < <(editor_run)
    best_editor_wall=$(echo "if ($wall < $best_editor_wall) $wall else $best_editor_wall" | bc)
    best_editor_fill=$(echo "if ($fill < $best_editor_fill) $fill else $best_editor_fill" | bc)
done
cmp -s tool.png editor.png || { echo "editor_speed: the editor's result differs from the tool's"; exit 1; }
tr -d '\r' <editor.out | grep '^click'

printf 'uniform 4000 x 3000, one click at 0 0, best of %d; load average before: %s\n' "$runs" \
    "$load_before"
printf '%-22s %10s %12s\n' "" "wall s" "fill ms"
printf '%-22s %10.2f %12.1f\n' "Windows region_grow" "$best_tool_wall" "$best_tool_fill"
printf '%-22s %10.2f %12.1f\n' "editor stand-in" "$best_editor_wall" "$best_editor_fill"
printf 'editor / tool: wall %.2f (goal at most 3), fill %.2f (goal at most 1.5)\n' \
    "$(echo "$best_editor_wall / $best_tool_wall" | bc -l)" \
    "$(echo "$best_editor_fill / $best_tool_fill" | bc -l)"
