#!/usr/bin/env bash
# The same picture file gives the same picture in every host: the native region_grow, the
# Windows region_grow and the editor stand-in (both under Wine, reading and writing through
# WIC). Each host opens each picture of a corpus, paints its seed alone (--step -1, a click at
# 1 2 of the upright picture) and saves it; region_grow does so twice, with the default paint
# and with a grey one, which keeps a grey picture grey. The results must be the same picture as
# picture_io decodes them natively: from PNG and BMP exactly (colour words, 16-bit samples,
# colour chunks); from JPEG with the same chunks and colour words within JPEG_BOUND levels
# and JPEG_MEAN_BOUND on average, the pixels that differ and by how much printed. A file that
# one host refuses, every host refuses, as damaged or unsupported alike. The Windows programs
# run in one batch: one Wine start for all of them.
#
#   hosts_agree.sh WORK_DIR
#
# The corpus is picture_io/tests/make_corpus.py's. The programs come from the environment:
# NATIVE_TOOL, PICTURE_CHECK (the native builds'), WINDOWS_TOOL (build/win32/tools/vexra.exe, PAINT.DLL beside it), EDITOR_DIR
# (vexra.exe and plugins\), WINE_RUNNER (windows_host/run_under_wine.sh), SOURCE_DIR.
# Exit status: 0 all agree, 1 not, 77 skipped: no Wine or no virtual display here (a failure
# where VX_REQUIRE_WINE=1).
set -uo pipefail

work=$1
# JPEG: WIC's decoder upsamples chroma otherwise than libjpeg-turbo; the bounds allow what it
# gives on hard colour edges (a largest difference of 80, 4.7 on average, in the stand-in
# corpus; 16 and 0.29 on a photograph), and catch a channel or a row out of place.
jpeg_bound=${JPEG_BOUND:-96} jpeg_mean_bound=${JPEG_MEAN_BOUND:-6}

fail() {
    echo "FAILED: $*"
    exit 1
}

skip() {
    if [ "${VX_REQUIRE_WINE:-0}" = 1 ]; then fail "$*"; fi
    echo "SKIPPED: $*"
    exit 77
}

for program in "$NATIVE_TOOL" "$PICTURE_CHECK"; do
    [ -x "$program" ] || fail "no $program (build the default preset first)"
done
for tool in xvfb-run Xvfb xauth; do
    command -v $tool >/dev/null 2>&1 || skip "$tool is missing (scripts/install-deps.sh installs it)"
done

prefix=$work/wine-prefix
[ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
rm -rf "$work"
mkdir -p "$work"/{native-paint,native-grey,windows-paint,windows-grey,editor,tool}
cd "$work" || exit 1

python3 "$SOURCE_DIR/picture_io/tests/make_corpus.py" corpus >/dev/null || fail "make_corpus.py failed"
files=()
while IFS=$'\t' read -r file _; do files+=("$file"); done <corpus/corpus.tsv
[ ${#files[@]} -gt 0 ] || fail "the corpus is empty"

cp "$WINDOWS_TOOL" "$(dirname "$WINDOWS_TOOL")/PAINT.DLL" tool/ || fail "no Windows tool"
cp -r "$EDITOR_DIR" app || fail "no editor in $EDITOR_DIR"

# The native tool; and the batch of the Windows programs, each run's status in a file of its
# own (a batch waits for a window program too).
bat() { printf '%s\r\n' "$@" >>run.bat; }
bat "@echo off"
for file in "${files[@]}"; do
    "$NATIVE_TOOL" "corpus/$file" 1 2 --step -1 -o "native-paint/$file.png" \
        >"native-paint/$file.txt" 2>&1
    echo "status $?" >"native-paint/$file.status"
    "$NATIVE_TOOL" "corpus/$file" 1 2 --step -1 --paint 808080 -o "native-grey/$file.png" \
        >"native-grey/$file.txt" 2>&1
    echo "status $?" >"native-grey/$file.status"
    bat "tool\\vexra.exe corpus\\$file 1 2 --step -1 -o windows-paint\\$file.png > windows-paint\\$file.txt 2>&1" \
        "echo status %ERRORLEVEL% > windows-paint\\$file.status" \
        "tool\\vexra.exe corpus\\$file 1 2 --step -1 --paint 808080 -o windows-grey\\$file.png > windows-grey\\$file.txt 2>&1" \
        "echo status %ERRORLEVEL% > windows-grey\\$file.status" \
        "app\\vexra.exe corpus\\$file --step -1 --click 1 2 --save editor\\$file.png --close-messages --quit > editor\\$file.txt 2>&1" \
        "echo status %ERRORLEVEL% > editor\\$file.status"
done
bat "echo batch done"

# First show that Wine can start the tool at all: a machine that cannot is reported as skipped.
status=0
VX_WINE_STARTED_LINE="usage:" "$WINE_RUNNER" "$prefix" tool/vexra.exe --help >/dev/null || status=$?
[ $status -eq 0 ] || exit $status
VX_WINE_STARTED_LINE="" VX_WINE_TIME_LIMIT=400 timeout --kill-after=5 440 \
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    "$WINE_RUNNER" "$prefix" cmd /c run.bat >batch.out 2>&1
tr -d '\r' <batch.out | grep -q '^batch done' || { cat batch.out; fail "the batch did not run through"; }

# A run's exit status, from its "status N" line (cmd's echo takes "N>" for a redirection).
status_of() { tr -d '\r' <"$1/$2.status" 2>/dev/null | sed -n 's/^status \([0-9]*\) *$/\1/p'; }
# "damaged" or "unsupported": how a host refused the file.
refusal_of() { tr -d '\r' <"$1/$2.txt" | grep -o -m1 'damaged\|unsupported\|not a PNG, JPEG or BMP'; }

failures=0
problem() {
    echo "  DIFFERENT: $*"
    failures=$((failures + 1))
}
# same WHAT A B [BOUNDS...]: the two result pictures are the same picture (within the bounds).
same() {
    local what=$1 line
    shift
    line=$("$PICTURE_CHECK" --same "$@" 2>&1) || problem "$what: ${line//$'\n'/; }"
    echo "  $what: ${line//$'\n'/; }"
}

for file in "${files[@]}"; do
    what=$(awk -F'\t' -v f="$file" '$1 == f {print $2}' corpus/corpus.tsv)
    echo "$file ($what)"
    statuses=""
    for host in native-paint native-grey windows-paint windows-grey editor; do
        statuses+="$(status_of $host "$file") "
    done
    if [ "$(status_of native-paint "$file")" != 0 ]; then
        native_refusal=$(refusal_of native-paint "$file")
        echo "  refused natively: $(tr -d '\r' <"native-paint/$file.txt")"
        for host in windows-paint editor; do
            [ "$(status_of $host "$file")" = 1 ] ||
                problem "$host: status $(status_of $host "$file") where the native tool refused it"
            [ "$(refusal_of $host "$file")" = "$native_refusal" ] ||
                problem "$host: $(tr -d '\r' <"$host/$file.txt")"
        done
        echo "  refused on Windows: $(tr -d '\r' <"windows-paint/$file.txt")"
        continue
    fi
    [ "$statuses" = "0 0 0 0 0 " ] || {
        problem "statuses (native, native grey, Windows, Windows grey, editor): $statuses"
        continue
    }
    bounds=()
    case $file in *.jpg | *.jpeg) bounds=(--bound "$jpeg_bound" --mean-bound "$jpeg_mean_bound") ;; esac
    same "Windows region_grow" "native-paint/$file.png" "windows-paint/$file.png" "${bounds[@]}"
    same "Windows region_grow, grey paint" "native-grey/$file.png" "windows-grey/$file.png" \
        "${bounds[@]}"
    same "editor" "native-paint/$file.png" "editor/$file.png" "${bounds[@]}"
done
[ $failures = 0 ] || fail "$failures differences over ${#files[@]} pictures (files kept in $work)"
echo "the hosts agree on all ${#files[@]} pictures (JPEG within $jpeg_bound levels, $jpeg_mean_bound on average)"
