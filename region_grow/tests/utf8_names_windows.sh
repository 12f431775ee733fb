#!/usr/bin/env bash
# The Windows build of region_grow with file names in several scripts: the names typed on the
# command line reach the file system unchanged, for the result, the record and the frames
# folder, and the files hold what the native tool writes for the same picture and click (the
# pictures compared by PICTURE_CHECK, from the environment, as picture_io decodes them).
#
# usage: utf8_names_windows.sh NATIVE_TOOL WINDOWS_TOOL PICTURE RUNNER...
#   RUNNER is the command that runs a Windows program (windows_host/run_under_wine.sh PREFIX).
# Exit status: 0 as expected, 1 not, 77 skipped when the runner finds that this machine cannot
# run Windows programs (the reason is printed).
set -euo pipefail

native=$1 windows=$2 picture=$3
shift 3
runner=("$@")

fail() {
    echo "FAILED: $*"
    exit 1
}

[ -x "$native" ] || fail "no native region_grow at $native (build the default preset first)"
[ -f "$windows" ] || fail "no Windows tool at $windows"

# A folder of this run's own: suites of two checkouts may run at once.
work=$(mktemp -d "${TMPDIR:-/tmp}/region_grow_utf8_names.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp "$picture" "$work/picture.png"
cd "$work" # relative names need no translation to Windows paths

result="é ü č 日本.png" record="запись ü.txt" frames="日本 frames"
"$native" picture.png 20 20 --record native.txt -o native.png --frames native-frames >/dev/null

status=0
VX_WINE_STARTED_LINE="usage:" "${runner[@]}" "$windows" --help >/dev/null || status=$?
[ $status -eq 0 ] || exit $status

VX_WINE_STARTED_LINE="" "${runner[@]}" "$windows" picture.png 20 20 --record "$record" \
    -o "$result" --frames "$frames" || fail "the Windows tool failed with status $?"

[ -f "$result" ] || fail "no file named '$result': $(ls)"
[ -f "$record" ] || fail "no file named '$record': $(ls)"
[ -d "$frames" ] || fail "no folder named '$frames': $(ls)"
"$PICTURE_CHECK" --same native.png "$result" || fail "'$result' differs from the native result"
cmp native.txt "$record" || fail "'$record' differs from the native record"
[ "$(ls "$frames")" = "$(ls native-frames)" ] || fail "the frames differ: $(ls "$frames")"
echo "names in four scripts written as typed: $result, $record, $frames/"

# Installed in a folder named in another script: the plug-in beside the tool is found and
# loaded under that name.
installed="程序 ü"
mkdir "$installed"
cp "$windows" "$(dirname "$windows")/PAINT.DLL" "$installed/"
VX_WINE_STARTED_LINE="" "${runner[@]}" "$installed/$(basename "$windows")" picture.png 20 20 \
    -o installed.png || fail "the tool in '$installed' failed with status $?"
"$PICTURE_CHECK" --same native.png installed.png ||
    fail "the tool in '$installed' painted otherwise"
echo "the tool in '$installed' loads the plug-in beside it"
