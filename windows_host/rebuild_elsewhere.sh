#!/usr/bin/env bash
# Builds PAINT.DLL a second time, from a copy of the source at another path and at least a
# second after the first link, and compares the two files byte for byte. Neither may contain
# the path of either source tree or of the build tree, in plain or in symbol-name form.
#
#   rebuild_elsewhere.sh SOURCE-DIR BINARY-DIR FIRST-DLL TIME-STAMP PRESET WORK-DIR
#
# The copy gets the first build's time stamp through SOURCE_DATE_EPOCH: it has no git
# history of its own. Only the DLL's target is built.
set -euo pipefail

source_dir=$(realpath "$1")
binary_dir=$(realpath "$2")
first_dll=$3
time_stamp=$4
preset=$5
work_dir=$6

# Another path, of another length and depth than the original's.
copy=$work_dir/at/a/deeper/path/src
rm -rf "$work_dir"
mkdir -p "$copy"
excludes=(--exclude=./.git --exclude=./build --exclude=./dist)
case $binary_dir/ in
"$source_dir"/*) excludes+=("--exclude=./${binary_dir#"$source_dir"/}") ;;
esac
tar -C "$source_dir" "${excludes[@]}" -cf - . | tar -C "$copy" -xf -

# Anything that stamped the time of linking would now stamp another second.
first_link=$(stat -c %Y "$first_dll")
while [ "$(date +%s)" -le $((first_link + 1)) ]; do sleep 0.2; done

log=$work_dir/build.log
if ! (cd "$copy" && SOURCE_DATE_EPOCH=$time_stamp cmake --preset "$preset" &&
      cmake --build --preset "$preset" --target paint -j 2) >"$log" 2>&1; then
    tail -n 30 "$log"
    echo "FAILED: the copy at $copy did not build"
    exit 1
fi
second_dll=$(find "$copy/build" -name "$(basename "$first_dll")" -path '*/bin/*' | head -n 1)
[ -n "$second_dll" ] || { echo "FAILED: no $(basename "$first_dll") in $copy/build"; exit 1; }

status=0
for dll in "$first_dll" "$second_dll"; do
    for dir in "$source_dir" "$binary_dir" "$copy"; do
        # dlltool names its symbols after the import library's path, with '_' for '/' and '.'.
        for form in "$dir" "$(printf '%s' "$dir" | tr '/.-' '___')"; do
            if grep -a -F -q "$form" "$dll"; then
                echo "FAILED: $dll contains the build machine's path $form"
                status=1
            fi
        done
    done
done

if ! cmp -s "$first_dll" "$second_dll"; then
    echo "FAILED: $first_dll ($(stat -c %s "$first_dll") bytes) and $second_dll" \
         "($(stat -c %s "$second_dll") bytes) differ in $(cmp -l "$first_dll" "$second_dll" 2>/dev/null | wc -l) bytes;" \
         "first differences (offset, octal bytes):"
    cmp -l "$first_dll" "$second_dll" 2>/dev/null | head -n 10 || true
    status=1
fi
[ "$status" -ne 0 ] || echo "$(basename "$first_dll") rebuilt at $copy: identical, $(stat -c %s "$first_dll") bytes"
exit "$status"
