#!/usr/bin/env bash
# Runs the same picture and clicks through the native region_grow (paint.so) and the Windows
# build of the tool (vexra.exe with the real PAINT.DLL, under Wine), and checks that both
# paint the same pixels and request the same refresh rectangles: their --record files must be
# identical, and their result pictures the same picture (PICTURE_CHECK, from the environment:
# the native picture_check, which compares them as picture_io decodes them; the two builds
# encode PNG through different libraries).
#
# usage: compare_native_windows.sh NATIVE_TOOL WINDOWS_TOOL PICTURE ARGS_FILE RUNNER...
#   ARGS_FILE holds the clicks and options (examples/demo-clicks.args); RUNNER is the command
#   that runs a Windows program, windows_host/run_under_wine.sh with its prefix. The files are
#   made in a folder of this run's own under TMPDIR, removed when they agree and kept to look
#   at when they do not.
# Exit status: 0 identical, 1 different or a run failed, 77 skipped when the runner finds that
# this machine cannot run Windows programs (the reason is printed).
set -euo pipefail

native=$1 windows=$2 picture=$3 argsFile=$4
shift 4
runner=("$@")

fail() {
    echo "FAILED: $*"
    exit 1
}

[ -x "$native" ] || fail "no native region_grow at $native (build the default preset first)"
[ -f "$windows" ] || fail "no Windows tool at $windows"

work=$(mktemp -d "${TMPDIR:-/tmp}/region_grow_compare.XXXXXX")
keep=0 # set when the files show a difference
trap '[ $keep = 1 ] || rm -rf "$work"' EXIT
cp "$picture" "$work/picture.png"
read -r -a clicks <"$argsFile"
cd "$work" # the Windows run gets relative paths, which need no translation

"$native" picture.png "${clicks[@]}" --record native.txt -o native.png

# First show that Wine can start the tool at all: its usage text proves it. A machine that
# cannot is reported as skipped (or failed, where the runner is told Wine must work).
status=0
VX_WINE_STARTED_LINE="usage:" "${runner[@]}" "$windows" --help >/dev/null || status=$?
[ $status -eq 0 ] || exit $status

# Then the real run: from here on every failure, a crash included, is the tool's.
VX_WINE_STARTED_LINE="" "${runner[@]}" "$windows" picture.png "${clicks[@]}" \
    --record windows.txt -o windows.png || status=$?
[ $status -eq 0 ] || {
    keep=1
    echo "the Windows tool failed with status $status: $work"
    exit 1
}

cmp native.txt windows.txt || {
    keep=1
    echo "records differ: $work/native.txt $work/windows.txt"
    diff native.txt windows.txt | head -20
    exit 1
}
"$PICTURE_CHECK" --same native.png windows.png || {
    keep=1
    echo "result pictures differ: $work/native.png $work/windows.png"
    exit 1
}
echo "identical: $(grep -c '^refresh' native.txt) refresh requests," \
    "$(sed -n 's/^painted //p' native.txt) painted pixels"
