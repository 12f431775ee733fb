#!/usr/bin/env bash
# The same picture file gives the same picture in every host: the native region_grow, the
# Windows region_grow and the editor stand-in (both under Wine, reading and writing through
# WIC). Each host opens each picture of a corpus, paints its seed alone (--step -1, a click at
# 1 2 of the upright picture) and saves it; region_grow does so twice, with the default paint
# and with a grey one, which keeps a grey picture grey. The results must be the same picture as
# picture_io decodes them natively: from PNG and BMP exactly (colour words, 16-bit samples,
# colour chunks); from JPEG with the same chunks and colour words within JPEG_BOUND levels
# and JPEG_MEAN_BOUND on average, the pixels that differ and by how much printed. A file that
# one host refuses, every host refuses, as damaged or unsupported alike. Each Windows program
# takes the whole corpus in one process (--batch): two starts of Wine in all, in the Wine
# session VX_WINE_SESSION names.
#
#   hosts_agree.sh WORK_DIR
#
# The corpus is picture_io/tests/make_corpus.py's. The programs come from the environment:
# NATIVE_TOOL, PICTURE_CHECK (the native builds'), WINDOWS_TOOL (build/win32/region_grow/vexra.exe, PAINT.DLL beside it), EDITOR_DIR
# (vexra.exe and plugins\), WINE_RUNNER (windows_host/run_under_wine.sh), SOURCE_DIR.
# Exit status: 0 all agree, 1 not, 77 skipped: no Wine here (a failure where
# VX_REQUIRE_WINE=1).
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

rm -rf "$work"
mkdir -p "$work"/{native-paint,native-grey,windows-paint,windows-grey,editor,tool}
cd "$work" || exit 1

python3 "$SOURCE_DIR/picture_io/tests/make_corpus.py" corpus >/dev/null || fail "make_corpus.py failed"
files=()
while IFS=$'\t' read -r file _; do files+=("$file"); done <corpus/corpus.tsv
[ ${#files[@]} -gt 0 ] || fail "the corpus is empty"

cp "$WINDOWS_TOOL" "$(dirname "$WINDOWS_TOOL")/PAINT.DLL" tool/ || fail "no Windows tool"
cp -r "$EDITOR_DIR" app || fail "no editor in $EDITOR_DIR"

# The native tool; and the batches of the Windows programs, a run per line, its arguments
# separated by tabs, with what each line's output is (runs.tsv: batch, line, host, file).
line() { # line BATCH HOST FILE ARGS...: appends a run to BATCH
    local batch=$1 host=$2 file=$3
    shift 3
    (IFS=$'\t'; echo "$*") >>"$batch.batch"
    echo "$batch"$'\t'"$(wc -l <"$batch.batch")"$'\t'"$host"$'\t'"$file" >>runs.tsv
}
: >tool.batch
: >editor.batch
for file in "${files[@]}"; do
    "$NATIVE_TOOL" "corpus/$file" 1 2 --step -1 -o "native-paint/$file.png" \
        >"native-paint/$file.txt" 2>&1
    echo "status $?" >"native-paint/$file.status"
    "$NATIVE_TOOL" "corpus/$file" 1 2 --step -1 --paint 808080 -o "native-grey/$file.png" \
        >"native-grey/$file.txt" 2>&1
    echo "status $?" >"native-grey/$file.status"
    line tool windows-paint "$file" "corpus\\$file" 1 2 --step -1 -o "windows-paint\\$file.png"
    line tool windows-grey "$file" "corpus\\$file" 1 2 --step -1 --paint 808080 \
        -o "windows-grey\\$file.png"
    line editor editor "$file" "corpus\\$file" --step -1 --click 1 2 --save "editor\\$file.png"
done

for batch in tool editor; do
    program=tool/vexra.exe
    [ $batch = editor ] && program=app/vexra.exe
    VX_WINE_STARTED_LINE="" VX_WINE_TIME_LIMIT=300 "$WINE_RUNNER" "$work/wine-prefix" "$program" \
        --batch "$batch.batch" $([ $batch = editor ] && echo --close-messages) >"$batch.out" 2>&1
    status=$?
    [ $status = 77 ] && { cat "$batch.out"; exit 77; }
    [ $status = 0 ] || { cat "$batch.out"; fail "the $batch's batch ended with status $status"; }
    # Each run's output, up to its status line, into HOST/FILE.txt, and its status.
    tr -d '\r' <"$batch.out" | awk -F'\t' -v batch=$batch '
        FILENAME == "runs.tsv" { if ($1 == batch) { host[$2] = $3; file[$2] = $4 }; next }
        /^batch line [0-9]+: status [0-9]+$/ {
            n = $0; sub(/^batch line /, "", n); sub(/:.*/, "", n)
            s = $0; sub(/.*status /, "", s)
            out = host[n] "/" file[n]
            printf "%s", text > (out ".txt"); close(out ".txt")
            print "status " s > (out ".status"); close(out ".status")
            text = ""; next
        }
        { text = text $0 "\n" }' runs.tsv -
done

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
