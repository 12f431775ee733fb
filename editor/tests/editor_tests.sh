#!/usr/bin/env bash
# The editor under Wine on a virtual X display, as its users see it.
#
#   editor_tests.sh TEST WORK_DIR
#
# TEST is one of: clicks, screenshot, overflow, start-up, pointer, repaints, faults, data,
# deep, names, messages, dialogs (each described at its function below). The paths it needs
# come from the environment, set by editor/tests/CMakeLists:
#   EDITOR_DIR      build/win32/editor: vexra.exe and plugins\PAINT.DLL
#   NATIVE_TOOL     the native region_grow, for what the same clicks must paint
#   PICTURE_CHECK   the native picture_check: pictures compared as picture_io decodes them
#   WINE_RUNNER     windows_host/run_under_wine.sh
#   SOURCE_DIR      the repository, for the sample photograph, its clicks and the button map
#   TEST_DLLS       libraries that are not tools, for the start-up test
#   FAULTY_DLLS     plug-ins that fault: in their load entry, asked their codes, in a fill
#   WINDOWS_TOOL    the Windows region_grow (build/win32/region_grow/vexra.exe)
# Exit status: 0 passed, 1 failed, 77 skipped: no Wine here (a failure instead when
# VX_REQUIRE_WINE=1). The test runs in the Wine session VX_WINE_SESSION names
# (windows_host/wine_session.sh, started by the test run): its prefix, its display, and its
# measured start of a program, of which every wait here is a multiple (VX_WINE_WAIT_SCALE times
# what the wait would be where 32-bit programs run natively).
set -uo pipefail

test_name=$1 work=$2

fail() {
    echo "FAILED: $*"
    exit 1
}

skip() {
    if [ "${VX_REQUIRE_WINE:-0}" = 1 ]; then fail "$*"; fi
    echo "SKIPPED: $*"
    exit 77
}

# No session: its start found no Wine here (and said so), or the test was not run by ctest,
# which starts one.
[ -e "${VX_WINE_SESSION:-}/session.env" ] || skip "no Wine session in ${VX_WINE_SESSION:-(none)}"
# shellcheck disable=SC1091
. "$VX_WINE_SESSION/session.env"
scale=$VX_WINE_WAIT_SCALE
prefix=$WINEPREFIX
if [ "$test_name" = pointer ] || [ "$test_name" = dialogs ]; then
    command -v xdotool >/dev/null 2>&1 || skip "xdotool is missing (scripts/install-deps.sh)"
    command -v import >/dev/null 2>&1 || skip "import is missing (imagemagick)"
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
export VX_WINE_TIME_LIMIT=60

# seconds N: N seconds as a machine that runs 32-bit programs natively takes them, here.
seconds() { echo $(($1 * scale)); }

# await TEXT SECONDS COMMAND...: runs COMMAND every 0.2 s until it succeeds, for at most
# `seconds SECONDS`; fails with "TEXT within S s" then.
await() {
    local what=$1 limit
    limit=$(seconds "$2")
    shift 2
    local deadline=$((SECONDS + limit))
    until "$@"; do
        [ $SECONDS -lt $deadline ] || { cat editor.out 2>/dev/null; fail "$what within $limit s"; }
        sleep 0.2
    done
}

# Ends the editors this test started and left open.
end_editors() {
    pkill -f "$work/app/vexra.exe" 2>/dev/null
    pause 1
}
trap end_editors EXIT

# editor ARGS...: the editor in this folder's copy of the editor folder, output in editor.out
# with Windows line ends made Unix ones.
editor() {
    VX_WINE_STARTED_LINE="" "$WINE_RUNNER" "$prefix" "$work/app/vexra.exe" "$@" 2>&1 |
        tr -d '\r' >editor.out
    return "${PIPESTATUS[0]}"
}

# Copies the editor folder, so that a test can add to its plug-ins.
mkdir -p app
cp "$EDITOR_DIR/vexra.exe" app/ && cp -r "$EDITOR_DIR/plugins" app/ || fail "no editor in $EDITOR_DIR"

read -r -a demo <"$SOURCE_DIR/examples/demo-clicks.args"
cp "$SOURCE_DIR/examples/chelsea.png" picture.png

# The demo's clicks and options apart: "X Y X Y ... --options".
demo_clicks=() demo_options=()
for ((i = 0; i < ${#demo[@]}; i += 2)); do
    case ${demo[i]} in
    --*) demo_options=("${demo[@]:i}"); break ;;
    *) demo_clicks+=("${demo[i]}" "${demo[i + 1]}") ;;
    esac
done

# Waits for the editor's "at exit:" line, which an editor run in the background prints when
# its window has closed, and shows it.
await_exit_line() {
    await "the editor did not close" 10 grep -q '^at exit:' editor.out
    tr -d '\r' <editor.out | grep '^at exit:'
}

# pause S: lets the editor take in what the test did, S seconds as a native machine takes it.
pause() { sleep "$(awk -v s="$1" -v k="$scale" 'BEGIN { print s * k }')"; }

# batch FILE ARGS...: appends a script to the batch FILE, its arguments separated by tabs.
batch() {
    local file=$1
    shift
    (IFS=$'\t' && echo "$*") >>"$file"
}

# batch_ran N: editor.out has the status line of each of a batch's N lines, in order, with the
# statuses given after N (0 for each line not given).
batch_ran() {
    local lines=$1 i expected
    shift
    for ((i = 1; i <= lines; i++)); do
        expected=${1:-0}
        [ $# -gt 0 ] && shift
        expect_line "batch line $i: status $expected"
    done
}

expect_line() { # expect_line TEXT: editor.out has a line that is exactly TEXT
    grep -qxF -- "$1" editor.out || { cat editor.out; fail "no line \"$1\""; }
}

# Scripted clicks paint what the native region_grow paints with the same picture, tolerances
# and clicks, pixel for pixel (the same picture as picture_io decodes it); each click requests as many refreshes
# as the native run recorded, every repaint shows what the fill painted (read back from the
# window, a test-only option), and the wait cursor is up throughout the fill and the cursor
# from before the click back after it. The picture is the demo's before/after pair at twice
# its size, wider than the screen, and it is clicked at the demo's points in both halves, so
# that the view must scroll to reach half of them. The step text is one that only the
# plug-in's own reading turns into the demo's 6 (it wraps at 2^32), so an editor that did not
# hand it over as typed would paint differently.
test_clicks() {
    "$NATIVE_TOOL" picture.png "${demo[@]}" --before-after pair.png -o demo.png >/dev/null ||
        fail "the native region_grow failed on the demo"
    convert pair.png -scale 200% -depth 8 PNG24:wide.png || fail "ImageMagick could not scale it"
    local clicks=() editor_clicks=() i x y step=" 4294967302 px"
    for ((i = 0; i < ${#demo_clicks[@]}; i += 2)); do
        y=$((demo_clicks[i + 1] * 2))
        for x in $((demo_clicks[i] * 2)) $(((demo_clicks[i] + 459) * 2)); do # 451 + the 8-pixel gap
            clicks+=("$x" "$y")
            editor_clicks+=(--click "$x" "$y")
        done
    done
    # The demo's options with its step text replaced (an option may be given only once).
    local options=()
    for ((i = 0; i < ${#demo_options[@]}; i += 2)); do
        case ${demo_options[i]} in
        --step) options+=(--step "$step") ;;
        *) options+=("${demo_options[i]}" "${demo_options[i + 1]}") ;;
        esac
    done
    "$NATIVE_TOOL" wide.png "${clicks[@]}" "${options[@]}" \
        --record native.txt -o native.png >/dev/null || fail "the native region_grow failed"
    editor wide.png "${editor_clicks[@]}" "${options[@]}" --save editor.png \
        --check-repaints --close-messages --quit || { cat editor.out; fail "the editor failed"; }
    cat editor.out
    "$PICTURE_CHECK" --same native.png editor.png ||
        fail "the editor's picture differs from the native tool's"
    awk '/^click/ {n++} /^refresh/ {r[n]++} END {for (i = 1; i <= n; i++) print r[i] + 0}' \
        native.txt >native-refreshes.txt
    sed -n 's/^click [0-9]* [0-9]*: [0-9]* pixels painted, \([0-9]*\) refresh requests.*/\1/p' \
        editor.out >editor-refreshes.txt
    cmp -s native-refreshes.txt editor-refreshes.txt ||
        fail "refresh requests per click: native $(echo $(cat native-refreshes.txt)), editor" \
            "$(echo $(cat editor-refreshes.txt))"
    local clicks
    clicks=$(grep -c '^click' editor.out)
    [ "$(grep -c 'cursor during the fill: wait, after: as before (cross);' editor.out)" = "$clicks" ] ||
        fail "a fill did not keep the wait cursor up, or did not put back the cursor from before"
    # The window, read back after each repaint, showed the new paint; some pixel was looked at.
    sed -n 's/^click .*; shown at repaints: \([0-9]*\) of \([0-9]*\) looked at$/\1 \2/p' \
        editor.out | awk -v clicks="$clicks" '$1 == $2 {n++; seen += $2}
                                              END {exit !(n == clicks && seen > 0)}' ||
        fail "a repaint did not show what the fill had painted"
    echo "identical to the native tool: $clicks clicks, $(sed -n 's/^painted //p' native.txt) pixels"
}

# The captured window shows the tool's button bitmap pixel for pixel and the painted picture as
# saved, and the button's tooltip says "RegionGrowing".
test_screenshot() {
    editor picture.png --step 6 --seed-tolerance 30 --click 20 20 --save result.png \
        --screenshot shot.png --quit || { cat editor.out; fail "the editor failed"; }
    cat editor.out
    expect_line 'tool RegionGrowing from PAINT.DLL, tooltip "RegionGrowing"'
    "$PICTURE_CHECK" shot.png --pixmap "$SOURCE_DIR/plugin/button.pixmap" ||
        fail "the button bitmap is not in the screenshot"
    "$PICTURE_CHECK" shot.png result.png || fail "the painted picture is not in the screenshot"
    "$PICTURE_CHECK" --same result.png picture.png >/dev/null && fail "the click painted nothing"
    return 0
}

# A fill that overflows its queue (the test option makes the host forget drawn pixels) shows
# one real box per click: "Buffer over", caption "Err", one OK button, no icon, owned by the
# main window. Pressing OK returns from the fill, and the editor goes on: the second click
# overflows alike, and the picture is saved.
test_overflow() {
    cp "$SOURCE_DIR/editor/tests/data/grey-2x2.png" small.png
    editor small.png --forget-drawn --step 255 --seed-tolerance 255 --click 0 0 --click 1 1 \
        --save small-out.png --close-messages --quit || { cat editor.out; fail "the editor failed"; }
    cat editor.out
    local box='message "Buffer over", caption "Err", buttons OK, icon none, owner main window'
    [ "$(grep -c '^message' editor.out)" = 2 ] || fail "expected two message boxes"
    [ "$(grep -cxF -- "$box" editor.out)" = 2 ] || fail "a box differs from: $box"
    [ "$(grep -c '^click [01] [01]: 4 pixels painted, [0-9]* refresh requests, 1 messages,' \
        editor.out)" = 2 ] || fail "each click should paint 4 pixels and show one message"
    expect_line "saved small-out.png"
    # The status bar says how the fill ended; its time leaves out the box's, as does the click
    # line's: the box stays open for at least one round of the test's 50 ms closer, which
    # takes longer than the fill where the machine is fast, and whatever the machine, the fill
    # time is not the box's time added on.
    # (The second click, on pixels the first painted, changed nothing: the status bar says so.)
    [ "$(grep -c '^status: RegionGrowing at [01] [01]: 4 pixels painted, .*; stopped on "Buffer over"\(; nothing changed, no undo level\)\?$' \
        editor.out)" = 2 ] || fail "the status bar does not say the fill stopped on \"Buffer over\""
    sed -n 's/^click .* messages, \([0-9.]*\) ms (boxes open \([0-9.]*\) ms);.*/\1 \2/p' \
        editor.out | awk '{n++} $2 < 50 || $1 >= 40 * k && $1 >= $2 {bad = 1} END {exit bad || n != 2}' \
        k="$scale" || fail "the fill time includes the time the box was open"
}

# Only libraries that answer 2 to VXcGetDrawInterface and have all six entry points become
# tools; the others are skipped with a reason and RegionGrowing still works. A click outside the
# picture and errors on the command line give one line and status 2, a picture that cannot be
# read status 1.
test_start_up() {
    printf 'not a library\n' >app/plugins/BROKEN.DLL
    cp "$TEST_DLLS"/*.DLL app/plugins/
    printf 'picture.png\t--click\t20\t20\npicture.png\t--click\t451\t0\n' >start-up.batch
    editor --batch start-up.batch || { cat editor.out; fail "the editor failed"; }
    cat editor.out
    # The system's own words for why a DLL cannot be loaded (error 193 here), in full.
    grep -q '^skipped BROKEN.DLL: cannot load it: .*[a-z].* (error 193)$' editor.out ||
        { cat editor.out; fail "BROKEN.DLL not skipped with the system's message"; }
    expect_line "skipped HALF.DLL: plug-in lacks the export VXcGetDrawInfo"
    expect_line "skipped OTHER.DLL: interface 3, not a drawing tool"
    grep -q '^click 20 20: [1-9][0-9]* pixels painted' editor.out || fail "the tool did not paint"
    expect_line "batch line 1: status 0"
    # A click outside the picture: one line of error, status 2.
    grep -A1 '^batch line 1:' editor.out | grep -q '^vexra: click 451 0 lies outside the 451x300 picture$' &&
        expect_line "batch line 2: status 2" || fail "a click outside the picture was not refused"

    # A malformed command line and a picture that cannot be read, as a whole run of the editor
    # (the malformed lines themselves are the unit tests' cases).
    local args expected
    for args in "picture.png --bogus|2" "missing.png --quit|1"; do
        expected=${args##*|}
        # shellcheck disable=SC2086
        editor ${args%|*}
        status=$?
        [ $status = "$expected" ] || { cat editor.out; fail "vexra ${args%|*}: status $status, not $expected"; }
        [ "$(wc -l <editor.out)" = 1 ] && grep -q '^vexra: ' editor.out ||
            { cat editor.out; fail "vexra ${args%|*}: not one line of error"; }
        echo "vexra ${args%|*}: $(cat editor.out) (status $status)"
    done
}

# display_shows PICTURE X Y: within 10 s a capture of the display holds PICTURE at (X, Y);
# check.txt has the last comparison, shown when it never does.
display_shows() {
    local deadline=$((SECONDS + $(seconds 10)))
    until import -window root display.png 2>/dev/null &&
        "$PICTURE_CHECK" display.png "$1" --at "$2" "$3" >check.txt; do
        [ $SECONDS -lt $deadline ] || { cat check.txt; return 1; }
        sleep 0.25
    done
}

# A real pointer: xdotool presses the toolbar button and clicks on the picture, and the
# display, captured from outside the editor, then shows what the native tool paints there;
# then Ctrl+Z on the keyboard, and it shows the picture as it was.
test_pointer() {
    "$NATIVE_TOOL" picture.png 20 20 --step 6 --seed-tolerance 30 -o native.png >/dev/null ||
        fail "the native region_grow failed"
    VX_WINE_STARTED_LINE="" "$WINE_RUNNER" "$prefix" "$work/app/vexra.exe" picture.png \
        --step 6 --seed-tolerance 30 --report-layout >editor.out 2>&1 &
    local runner=$!
    await "the editor did not report its layout" 30 grep -q '^picture ' editor.out
    cat editor.out
    local bx by px py
    read -r _ _ bx by <<<"$(grep '^button RegionGrowing ' editor.out | tr -d '\r')"
    read -r _ px py <<<"$(grep '^picture ' editor.out | tr -d '\r')"
    [ -n "${bx:-}" ] || fail "no RegionGrowing button"
    pause 0.5 # let the window finish painting before the pointer arrives
    xdotool mousemove "$bx" "$by" click 1
    pause 0.3
    xdotool mousemove $((px + 20)) $((py + 20)) click 1
    display_shows native.png "$px" "$py" || fail "the display never showed the painted picture"
    cat check.txt
    # Ctrl+Z, typed on the keyboard, takes the fill back; Ctrl+Y brings it back.
    xdotool key ctrl+z
    display_shows picture.png "$px" "$py" || fail "Ctrl+Z did not undo the fill"
    echo "after Ctrl+Z: $(cat check.txt)"
    xdotool key ctrl+y
    display_shows native.png "$px" "$py" || fail "Ctrl+Y did not redo the fill"
    # Shift+Tab from the view reaches the seed field, whose text is selected: typing replaces
    # it, and Ctrl+Z there undoes the typing, not the fill. Shift+Tab again: the step field.
    xdotool key shift+Tab
    pause 0.3
    xdotool type 5
    xdotool key ctrl+z
    pause 0.3
    xdotool key shift+Tab
    pause 0.3
    xdotool type 7
    pause 0.3
    display_shows native.png "$px" "$py" || fail "Ctrl+Z in a field undid the fill"
    # Closing asks about the unsaved fill: Don't Save, with its mnemonic.
    xdotool key alt+F4
    await_dialog vexra
    [ -n "$dialog" ] || fail "closing did not ask about the unsaved fill"
    pause 0.3
    xdotool key alt+n
    await_exit_line
    grep -q '^at exit: step "7", seed "30", scroll 0 0, title "\*picture.png - vexra"' \
        <(tr -d '\r' <editor.out) || fail "the fields or the title are not as typed"
    end_editors
    wait $runner 2>/dev/null
    return 0
}

# await_dialog TITLE: waits for a visible window of that title; $dialog is its id, or empty.
await_dialog() {
    local deadline=$((SECONDS + $(seconds 10)))
    dialog=""
    until [ -n "$dialog" ] || [ $SECONDS -ge $deadline ]; do
        dialog=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
        [ -n "$dialog" ] || sleep 0.2
    done
}

# The common dialogs, in the session's prefix (which wineboot never set up): Ctrl+Shift+S opens the real Save As dialog, a name typed there is saved, Ctrl+O opens that file
# through the real Open dialog. The picture is larger than the screen: the mouse wheel scrolls
# it down, Shift+wheel across.
test_dialogs() {
    convert picture.png -scale 400% -depth 8 PNG24:big.png
    VX_WINE_STARTED_LINE="" "$WINE_RUNNER" "$prefix" "$work/app/vexra.exe" big.png \
        --report-layout >editor.out 2>&1 &
    local runner=$!
    await "the editor did not report its layout" 30 grep -q '^picture ' editor.out
    local px py
    read -r _ px py <<<"$(grep '^picture ' editor.out | tr -d '\r')"
    pause 0.5
    # A click with no tool selected paints nothing; it gives the view the keyboard and the wheel.
    xdotool mousemove $((px + 200)) $((py + 200)) click 1
    pause 0.3
    xdotool click 5 click 5                   # wheel down twice
    xdotool keydown shift click 5 keyup shift # Shift+wheel: across
    pause 0.5
    grep -q '^scroll 0 [1-9]' editor.out || { cat editor.out; fail "the wheel did not scroll down"; }
    grep -q '^scroll [1-9][0-9]* [1-9]' editor.out ||
        { cat editor.out; fail "Shift+wheel did not scroll across"; }

    xdotool key ctrl+shift+s
    await_dialog 'Save As'
    [ -n "$dialog" ] || fail "Ctrl+S did not open the Save As dialog"
    local saved="Z:${work//\//\\}\\saved.png"
    xdotool type --delay 20 "$saved"
    xdotool key Return
    local deadline=$((SECONDS + $(seconds 10)))
    until [ -s saved.png ] || [ $SECONDS -ge $deadline ]; do sleep 0.2; done
    [ -s saved.png ] || {
        import -window root display.png 2>/dev/null
        fail "nothing was saved through the Save As dialog (the display is in $work/display.png)"
    }
    "$PICTURE_CHECK" saved.png big.png --at 0 0 >/dev/null || fail "saved.png is not the picture"

    xdotool key ctrl+o
    await_dialog 'Open'
    [ -n "$dialog" ] || fail "Ctrl+O did not open the Open dialog"
    xdotool type --delay 20 "$saved"
    xdotool key Return
    pause 1
    xdotool key alt+F4
    await_exit_line
    # Opened: its title names the saved file, unchanged, and so does the status bar.
    grep -qF "at exit: step \"12\", seed \"40\", scroll 0 0, title \"saved.png - vexra\", status \"opened \"$saved\"\"" \
        <(tr -d '\r' <editor.out) || fail "the saved file was not opened"
    end_editors
    wait $runner 2>/dev/null
    return 0
}

# A long fill: a uniform picture of 2400 x 1800 filled whole. The view is repainted at the
# display's pace: more than once while the fill runs (the picture visibly grows), about once
# every 16 ms and never once per refresh request, and each repaint shows what was painted. A
# click on the view and a key typed into the step field while the fill runs (a test option
# posts them from inside the fill) are thrown away: one fill, the field as it was.
test_repaints() {
    convert -size 2400x1800 xc:'#808080' -depth 8 PNG24:uniform.png || fail "ImageMagick could not make the picture"
    "$NATIVE_TOOL" uniform.png 0 0 --record native.txt -o native.png >/dev/null ||
        fail "the native region_grow failed"
    editor uniform.png --click 0 0 --check-repaints --input-during-fill --save editor.png \
        --quit || { cat editor.out; fail "the editor failed"; }
    cat editor.out
    "$PICTURE_CHECK" --same native.png editor.png ||
        fail "the editor's picture differs from the native tool's"
    local requests line
    requests=$(grep -c '^refresh' native.txt)
    line=$(grep '^click 0 0:' editor.out)
    [[ $line == *" $requests refresh requests,"* ]] ||
        fail "refresh requests: native $requests, editor: $line"
    local ms repaints shown looked
    read -r ms repaints shown looked < <(sed -n \
        's/.* messages, \([0-9.]*\) ms; repaints \([0-9]*\);.*shown at repaints: \([0-9]*\) of \([0-9]*\) looked at$/\1 \2 \3 \4/p' \
        <<<"$line")
    [ -n "${repaints:-}" ] || fail "no repaint figures in: $line"
    awk -v ms="$ms" -v r="$repaints" -v q="$requests" 'BEGIN {
            exit !(r >= 2 && r <= ms / 16 + 2 && r < q / 10) }' ||
        fail "repaints: $repaints in $ms ms for $requests requests (want 2 or more, one per 16 ms)"
    [ "$shown" = "$looked" ] && [ "$looked" -ge 1 ] ||
        fail "only $shown of $looked repaints showed the paint"
    expect_line "fills 1"
    expect_line 'step field "12"'
    echo "repaints: $repaints in $ms ms for $requests refresh requests"
}

# Plug-ins that fault. One that faults in its load entry and one that faults when asked its
# codes are skipped, each named with what happened, and the editor starts. Tools whose fill
# faults, overflows the stack or raises a software exception (an uncaught C++ throw) leave the
# editor running, however often: each time a message names the plug-in, the picture is as
# before the fill, and the plug-in is loaded afresh, so that the next click (refused by a stale
# "fill running" flag otherwise) paints and fails again. RegionGrowing still works after. One
# editor takes every case, in a batch.
test_faults() {
    cp "$FAULTY_DLLS"/*.DLL app/plugins/
    local tab=$'\t' tool clicks
    clicks="--click${tab}20${tab}20${tab}--click${tab}30${tab}40${tab}--click${tab}50${tab}60"
    : >faults.batch
    for tool in FAULTY OVERFLOW THROWS; do
        echo "picture.png${tab}--tool${tab}$tool.DLL${tab}$clicks${tab}--save${tab}after-$tool.png" >>faults.batch
    done
    echo "picture.png${tab}--click${tab}20${tab}20${tab}--save${tab}after-RegionGrowing.png" >>faults.batch
    editor --batch faults.batch --close-messages || { cat editor.out; fail "the editor failed"; }
    cat editor.out
    [ "$(grep -c '^batch line [1-4]: status 0$' editor.out)" = 4 ] ||
        fail "the editor did not run every line of the batch to its end"
    grep -q '^skipped FAULTLOAD.DLL: .' editor.out || fail "FAULTLOAD.DLL was not skipped"
    grep -q '^skipped FAULTQUERY.DLL: it failed when asked its codes, with [a-z ]* (exception 0xC0000[0-9A-F]* at 0x[0-9A-F]*)$' \
        editor.out || fail "FAULTQUERY.DLL was not skipped with its fault"
    local kind
    for tool in FAULTY OVERFLOW THROWS; do
        # What the processor's faults are called depends on the system (under an emulator an
        # access violation can arrive as an illegal instruction); the software exception's
        # code is the plug-in's own.
        kind='[a-z ]* (exception 0xC0000[0-9A-F]* at 0x[0-9A-F]*)'
        [ $tool = THROWS ] && kind='C++ exception (exception 0xE06D7363 at 0x[0-9A-F]*)'
        [ "$(grep -c "^fault: the plug-in $tool.DLL ($tool.DLL) failed with $kind during the fill\. .*; the plug-in has been loaded again\.\$" \
            editor.out)" = 3 ] || fail "$tool.DLL: expected three failures, each followed by a fresh load"
        [ "$(grep -c "^message \"the plug-in $tool.DLL ($tool.DLL) failed with .*\", caption \"vexra\", buttons OK, icon shown, owner main window\$" \
            editor.out)" = 3 ] || fail "$tool.DLL: expected a message box naming the plug-in after each failure"
        "$PICTURE_CHECK" "after-$tool.png" picture.png --at 0 0 >/dev/null ||
            fail "$tool.DLL: the picture is not as it was before the failed fills"
    done
    grep -q '^click 20 20: [1-9][0-9]* pixels painted' <(sed -n '/^batch line 3:/,$p' editor.out) ||
        fail "RegionGrowing did not paint beside the failing plug-ins"
}

# The user's data: a picture with alpha keeps it on save, painted pixels opaque, pixel for pixel
# as region_grow writes it; many undo levels and redo, the menu items enabled only when they
# apply, the title marked while changes are unsaved; closing asks Save / Don't Save / Cancel
# (Cancel keeps the window); --save refuses a name that is not PNG.
test_data() {
    convert -size 90x60 xc:'rgba(40,120,40,0.5)' -fill 'rgba(200,30,30,0.8)' \
        -draw 'rectangle 30,0 59,59' -depth 8 PNG32:alpha.png || fail "ImageMagick could not make the picture"
    "$NATIVE_TOOL" alpha.png 5 5 70 5 -o native-alpha.png >/dev/null || fail "region_grow failed"
    "$NATIVE_TOOL" alpha.png 5 5 -o native-first.png >/dev/null || fail "region_grow failed"
    # One editor takes every case but the last, which needs a window of its own.
    local question='message "Save the changes to alpha.png?", caption "vexra", buttons Save,Don'"'"'t Save,Cancel, icon shown, owner main window'
    : >data.batch
    batch data.batch alpha.png --click 5 5 --click 70 5 --click 40 5 --undo 3 --redo 2 --save out.png
    batch data.batch alpha.png --click 5 5 --undo 1 --save first.png
    # Closing with unsaved changes asks; Cancel keeps the window, Don't Save closes it.
    batch data.batch alpha.png --click 5 5 --close-messages --answer Cancel --close-window
    batch data.batch alpha.png --click 5 5 --save out.jpg
    batch data.batch alpha.png --click 5 5 --close-messages --answer "Don't Save" --close-window
    editor --batch data.batch || { cat editor.out; fail "the editor failed"; }
    cat editor.out
    batch_ran 5 0 0 0 1 0
    "$PICTURE_CHECK" --same native-alpha.png out.png ||
        fail "saved picture differs from region_grow's (alpha?)"
    grep -q '^undo (menu item enabled): undone: one fill; 2 to undo, 1 to redo$' editor.out ||
        fail "the first undo"
    grep -q '^undo (menu item enabled): undone: one fill; 0 to undo, 3 to redo$' editor.out ||
        fail "three levels of undo"
    grep -q '^redo (menu item enabled): redone: one fill; 2 to undo, 1 to redo$' editor.out ||
        fail "redo"
    expect_line 'menu: undo on, redo on; title "*alpha.png - vexra"'
    # Saved: the title loses its mark.
    expect_line 'menu: undo off, redo on; title "alpha.png - vexra"'
    "$PICTURE_CHECK" first.png alpha.png --at 0 0 >/dev/null ||
        fail "undoing the only fill did not give back the picture"
    [ "$(grep -cxF -- "$question" editor.out)" = 2 ] || fail "closing did not ask, twice: $question"
    expect_line "window still open"
    expect_line "window closed"
    grep -q "^vexra: cannot save \"out.jpg\": this editor writes PNG pictures only" editor.out ||
        fail "--save out.jpg was not refused"
    [ ! -e out.jpg ] || fail "--save out.jpg wrote a file"

    # Nothing to ask about: no question.
    editor alpha.png --close-messages --close-window || fail "the editor failed"
    grep -q '^message' editor.out && fail "asked about a picture without changes"
    return 0
}

# A 16-bit picture keeps its samples through fills, undo and redo, as region_grow keeps them: two
# halves whose 8-bit words are uniform (each filled whole by one click at step 0) and whose low
# bytes all differ. The left half filled and the right one filled and undone, the file holds
# the right half's samples exactly and the paint at 16 bits on the left: the native tool's
# picture for the left click alone. Undoing both and redoing the first gives it too; so does a
# grey 16-bit picture (made colour by the magenta paint), and one with alpha. The pictures
# with an EXIF orientation, clicked upright, are the corpus test's (pictures_agree_across_hosts).
test_deep() {
    python3 - <<'PY' || fail "could not make the pictures"
import struct, zlib
def png(path, colour_type, samples):
    w, h = 40, 20
    rows = b''
    for y in range(h):
        row = b'\0'
        for x in range(w):
            high = 0x40 if x < 20 else 0xA0
            for c in range(samples):
                row += struct.pack('>H', high << 8 | ((x * 7 + y * 3 + c * 5) % 256))
        rows += row
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    ihdr = struct.pack('>IIBBBBB', w, h, 16, colour_type, 0, 0, 0)
    open(path, 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'gAMA', struct.pack('>I', 45455)) +
                           chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))
png('deep.png', 2, 3)
png('deep-grey.png', 0, 1)
png('deep-alpha.png', 6, 4)
PY
    local picture
    : >deep.batch
    for picture in deep.png deep-grey.png deep-alpha.png; do
        "$NATIVE_TOOL" "$picture" 5 5 --step 0 -o "native-$picture" >/dev/null ||
            fail "the native region_grow failed on $picture"
        batch deep.batch "$picture" --step 0 --click 5 5 --click 30 5 --undo 1 --save "undone-$picture"
        batch deep.batch "$picture" --step 0 --click 5 5 --click 30 5 --undo 2 --redo 1 \
            --save "redone-$picture"
    done
    # And the check would see it: both fills kept differ from the first alone.
    batch deep.batch deep.png --step 0 --click 5 5 --click 30 5 --save both.png
    editor --batch deep.batch || { cat editor.out; fail "the editor failed"; }
    batch_ran 7 || { cat editor.out; fail "the editor did not run every line"; }
    for picture in deep.png deep-grey.png deep-alpha.png; do
        "$PICTURE_CHECK" --same "native-$picture" "undone-$picture" ||
            fail "$picture: the undone fill's pixels did not keep their 16-bit samples"
        "$PICTURE_CHECK" --same "native-$picture" "redone-$picture" ||
            fail "$picture: undo and redo did not give the first fill's picture"
    done
    "$PICTURE_CHECK" --same native-deep.png both.png >/dev/null &&
        fail "the picture with both fills is the same as with the first"
    echo "16-bit samples kept through fills, undo and redo"
}

# Names in several scripts: a picture in a folder named in them opens, the fill is saved under
# such a name (the exact name on disk), and messages show paths as typed, backslashes single.
test_names() {
    local folder="dossier été ü č 日本" name="café 日本.png" out="sortie été č.png"
    mkdir -p "$folder"
    cp picture.png "$folder/$name"
    "$NATIVE_TOOL" picture.png 20 20 -o native.png >/dev/null || fail "region_grow failed"
    editor "$folder/$name" --click 20 20 --save "$folder/$out" --quit ||
        { cat editor.out; fail "the editor failed on names in several scripts"; }
    cat editor.out
    [ -f "$folder/$out" ] || { ls -la "$folder"; fail "no file named \"$out\""; }
    "$PICTURE_CHECK" --same native.png "$folder/$out" ||
        fail "the picture saved under \"$out\" differs"
    expect_line "saved $folder/$out"
    local status=0
    editor 'Z:\nowhere\ça.png' --quit || status=$?
    grep -qF 'vexra: cannot read "Z:\nowhere\ça.png"' editor.out ||
        { cat editor.out; fail "the message does not show the path as typed"; }
}

# A picture named on the command line that cannot be opened: one line on stderr and a message
# box, and the editor stays open with the error in its status bar. One larger than this editor
# takes is refused from its header, with its size and the limit.
test_messages() {
    printf '\x89PNG\r\n\x1a\nnot really' >damaged.png
    VX_WINE_STARTED_LINE="" "$WINE_RUNNER" "$prefix" "$work/app/vexra.exe" damaged.png \
        --close-messages --report-layout >editor.out 2>&1 &
    local runner=$!
    await "no message box" 30 grep -q '^message ' editor.out
    end_editors
    wait $runner 2>/dev/null
    tr -d '\r' <editor.out >messages.out
    cat messages.out
    grep -q '^vexra: cannot read .*damaged.png' messages.out || fail "no line on stderr"
    grep -q '^message "cannot read .*damaged.png.*", caption "vexra", buttons OK, icon shown, owner main window$' \
        messages.out || fail "no message box naming the picture"

    # 6000 x 6000: the header alone is read (the file is too short to hold the pixels), a
    # whole header chunk with its checksum.
    python3 -c 'import struct, sys, zlib
ihdr = b"IHDR" + struct.pack(">IIBBBBB", 6000, 6000, 8, 2, 0, 0, 0)
sys.stdout.buffer.write(b"\x89PNG\r\n\x1a\n" + struct.pack(">I", 13) + ihdr +
                        struct.pack(">I", zlib.crc32(ihdr)))' >huge.png
    local status=0
    editor huge.png --quit || status=$?
    cat editor.out
    [ $status = 1 ] && grep -q '^vexra: cannot open "huge.png": it is 6,000 x 6,000 pixels (36,000,000), and this 32-bit editor takes pictures of at most 33,554,432 pixels' editor.out ||
        fail "a picture too large was not refused from its header"

    # A picture of exactly the limit fits in this 32-bit process: it opens, is filled whole
    # twice, both fills are undone, and it is saved as it was.
    convert -size 8192x4096 xc:'#204060' -depth 8 PNG24:limit.png ||
        fail "ImageMagick could not make the picture"
    editor limit.png --click 0 0 --click 9 9 --undo 2 --save limit-out.png --quit ||
        { cat editor.out; fail "the editor failed on a picture of the limit's size"; }
    cat editor.out
    [ "$(grep -c '^click [09] [09]: 33554432 pixels painted' editor.out)" = 2 ] ||
        fail "the fills of the limit-sized picture did not cover it"
    "$PICTURE_CHECK" limit-out.png limit.png --at 0 0 >/dev/null ||
        fail "undoing both fills did not give back the limit-sized picture"
}


# Daily use, in one start of the editor on a PNG (the photograph in a large uniform border), with
# the paint --paint sets and a step text only the plug-in's reading makes 6: the status bar
# shows the picture's size, the pixel under the pointer with its colour and the tolerances as
# the plug-in reads them, and the pixels painted so far at each repaint of the long fill; a second
# click inside the area the first painted changes nothing and keeps no undo level; Ctrl+S saves
# over the PNG opened, the picture the native region_grow paints; Ctrl+O's Open dialog shows no
# read-only box; Undo then finds the one level; a picture dropped on the window asks about the
# unsaved change, opens, and joins the recent list after the first; saving onto a full disk says
# so in the system's words (not "Invalid argument") and keeps the old file there. The full disk is a small tmpfs
# mounted for the test (as root).
test_daily() {
    # A run stopped before its clean-up may have left the file system mounted: unmounted first,
    # and at the end of this one whichever way it ends.
    local sudo=""
    [ "$(id -u)" = 0 ] || sudo="sudo -n"
    $sudo umount "$work/full" 2>/dev/null
    mkdir -p full && $sudo mount -t tmpfs -o size=64k,mode=1777 vexra-full "$work/full" ||
        fail "cannot mount a small file system to fill (the test needs root, or sudo without a password)"
    trap '$sudo umount "$work/full" 2>/dev/null; end_editors' EXIT
    trap 'exit 1' TERM INT HUP
    echo "the old file" >full/out.png
    head -c 1M /dev/zero >full/filler 2>/dev/null # up to the last block
    convert picture.png -background '#204060' -gravity center -extent 2400x1800 -depth 8 \
        PNG24:doc.png || fail "ImageMagick could not make the picture"
    cp doc.png original.png
    local step=" 4294967302 px"
    "$NATIVE_TOOL" original.png 5 5 --step "$step" --paint 00C000 -o native.png >/dev/null ||
        fail "the native region_grow failed"
    local status=0
    cp picture.png other.png
    editor doc.png --step "$step" --paint 00C000 --click 5 5 --click 7 6 --report-status \
        --key shift+right --key right --key down --key enter --key ctrl+s --key ctrl+o \
        --undo 1 --drop other.png --close-messages --answer "Don't Save" \
        --save "$work/full/out.png" --quit || status=$?
    cat editor.out

    local first second repaints
    first=$(sed -n 's/^click 5 5: \([0-9]*\) pixels painted.*/\1/p' editor.out)
    second=$(sed -n 's/^click 7 6: \([0-9]*\) pixels painted.*/\1/p' editor.out)
    [ -n "$first" ] && [ "$first" = "$second" ] ||
        fail "the second click should fill the first one's area again"
    grep -q '^status: RegionGrowing at 5 5: .*nothing changed' editor.out &&
        fail "the first fill changed the picture, but the status bar says it did not"
    grep -qx "status: RegionGrowing at 7 6: $second pixels painted, .* ms; nothing changed, no undo level" \
        editor.out || fail "the repeated click's status does not say that it changed nothing"

    # The pointer moved onto each click's pixel before its fill: the border's colour, then the
    # first fill's paint.
    expect_line 'status parts: "2400 x 1800", "5, 5  #204060", "step 6, seed 40"'
    expect_line 'status parts: "2400 x 1800", "7, 6  #00C000", "step 6, seed 40"'
    # Each repaint during the long fill (all but the last, which may have had nothing left to
    # show) showed a count below the whole. The view repaints at most every 16 ms: the picture
    # is big enough that its fill takes several times that even where the program runs natively.
    repaints=$(sed -n 's/^click 5 5: .*; repaints \([0-9]*\);.*/\1/p' editor.out)
    [ "${repaints:-0}" -ge 2 ] || fail "the first fill was not repainted while it ran"
    local progress updates shown
    progress=$(grep -m1 '^progress: ' editor.out)
    updates=$(sed -n 's/^progress: \([0-9]*\) updates, last "RegionGrowing at 5 5: [0-9]* pixels painted so far"$/\1/p' <<<"$progress")
    shown=$(sed -n 's/^progress: [0-9]* updates, last "RegionGrowing at 5 5: \([0-9]*\) pixels painted so far"$/\1/p' <<<"$progress")
    # (The status bar is also updated when a repaint is due but the requests since the last one
    # lie outside the part of the picture in view: then there is nothing to repaint.)
    [ -n "$updates" ] && [ "$updates" -ge $((repaints - 1)) ] &&
        [ "$shown" -gt 0 ] && [ "$shown" -lt "$first" ] ||
        fail "the status bar did not show the pixels painted at each repaint: $progress"

    # The keyboard's point starts at the last click, moves 10 + 1 right and 1 down, and Enter
    # fills there (inside the painted area again: nothing changed).
    grep -qx "key enter: status: RegionGrowing at 18 7: $second pixels painted, .* ms; nothing changed, no undo level; size \"[^\"]*\"; title \"\*doc.png - vexra\"" \
        editor.out || fail "Enter did not apply the tool at the point the arrow keys moved to"
    grep -qx 'key ctrl+s: status: saved "doc.png"; size "[^"]*"; title "doc.png - vexra"' editor.out ||
        fail "Ctrl+S did not save to doc.png"
    "$PICTURE_CHECK" --same doc.png native.png >/dev/null ||
        fail "Ctrl+S did not save over doc.png the picture the native tool paints with 00C000"

    grep -q '^dialog "Open", buttons .*Cancel.*, owner main window$' editor.out ||
        fail "Ctrl+O showed no Open dialog"
    grep '^dialog "Open"' editor.out | grep -qi 'read-only' &&
        fail "the Open dialog shows a read-only box"
    grep -qx 'key ctrl+o: status: saved "doc.png"; size "[^"]*"; title "doc.png - vexra"' editor.out ||
        fail "the cancelled Open dialog changed the picture or the title"

    # One level: the repeated click kept none.
    expect_line 'undo (menu item enabled): undone: one fill; 0 to undo, 1 to redo'
    expect_line 'menu: undo off, redo on; title "*doc.png - vexra"'

    # The undone fill is unsaved: the drop asks first, and opens the picture once told not to
    # save; both pictures are in the recent list, newest first, by their full paths.
    grep -q "^message \"Save the changes to doc.png?\", caption \"vexra\", buttons Save,Don't Save,Cancel" \
        editor.out || fail "the drop did not ask about the unsaved changes"
    grep -q '^drop other.png: status: opened ".*other.png"; title "other.png - vexra"$' editor.out ||
        fail "the dropped picture was not opened"
    local recent
    # In %APPDATA%\vexra, or beside vexra.exe in a prefix that has no %APPDATA%.
    recent=$(find "$prefix/drive_c" app \( -path '*vexra/recent.txt' -o -name vexra-recent.txt \) |
        head -1)
    [ -n "$recent" ] || fail "no list of recent pictures"
    tr -d '\r' <"$recent" >recent.out
    cat recent.out
    [ "$(wc -l <recent.out)" = 2 ] && grep -qi '^Z:.*\\other\.png$' <(sed -n 1p recent.out) &&
        grep -qi '^Z:.*\\doc\.png$' <(sed -n 2p recent.out) ||
        fail "the recent list is not the dropped picture, then the first, by their full paths"

    [ $status = 1 ] || fail "saving onto a full disk should fail with status 1, not $status"
    # The C runtime's words for ENOSPC, or the system's for ERROR_DISK_FULL (112) or
    # ERROR_HANDLE_DISK_FULL (39), whichever language they are in.
    grep -Eq "^vexra: cannot write \"$work/full/out.png\": (No space left on device|.+ \(error (112|39)\))$" \
        editor.out || fail "the full disk was not reported in the system's words"
    [ "$(cat full/out.png)" = "the old file" ] || fail "the old file was not kept"
    [ "$(ls -A full | sort | tr '\n' ' ')" = "filler out.png " ] ||
        fail "the failed save left files behind: $(ls -A full)"
}

# Zoom: at 200 % and 300 % (where the view must scroll) the demo's clicks land on the pixels
# the native tool paints, every repaint shows the paint at the zoom (read back from the window),
# and the status bar gives the zoom; fit shows a picture larger than the view whole, smaller
# than 1:1; Ctrl+1 goes back to 1:1. One editor, in a batch.
test_zoom() {
    "$NATIVE_TOOL" picture.png "${demo[@]}" -o native.png >/dev/null || fail "the native region_grow failed"
    convert picture.png -scale 400% -depth 8 PNG24:big.png || fail "ImageMagick could not scale it"
    local clicks=() i zoom
    for ((i = 0; i < ${#demo_clicks[@]}; i += 2)); do
        clicks+=(--click "${demo_clicks[i]}" "${demo_clicks[i + 1]}")
    done
    : >zoom.batch
    for zoom in 200 300; do
        batch zoom.batch picture.png --zoom $zoom "${demo_options[@]}" "${clicks[@]}" \
            --check-repaints --report-status --save "zoom-$zoom.png"
    done
    batch zoom.batch big.png --zoom fit --key ctrl+1 --report-status
    editor --batch zoom.batch || { cat editor.out; fail "the editor failed"; }
    cat editor.out
    batch_ran 3
    for zoom in 200 300; do
        "$PICTURE_CHECK" --same native.png "zoom-$zoom.png" ||
            fail "at $zoom %, the clicks painted otherwise than the native tool"
        grep -q "^status parts: \"451 x 300, $zoom%\"" editor.out ||
            fail "the status bar does not give the zoom of $zoom %"
    done
    grep -q '^zoom 300%, scroll [0-9]* [0-9]*$' editor.out || fail "no zoom of 300 %"
    sed -n 's/^click .*; shown at repaints: \([0-9]*\) of \([0-9]*\) looked at$/\1 \2/p' \
        editor.out | awk '$1 == $2 {n++; seen += $2} END {exit !(n > 0 && seen > 0 && n == NR)}' ||
        fail "a repaint at a zoom did not show what the fill had painted"
    local fit
    fit=$(sed -n '/^batch line 2:/,$ s/^zoom \([0-9]*\)%, scroll 0 0$/\1/p' editor.out)
    [ -n "$fit" ] && [ "$fit" -lt 100 ] && [ "$fit" -ge 10 ] ||
        fail "fit did not show the 1804 x 1200 picture smaller than 1:1: ${fit:-no zoom line}"
    grep -q '^key ctrl+1: status: .*; size "1804 x 1200"; title ' editor.out ||
        fail "Ctrl+1 did not go back to 1:1"
    echo "zoom: the demo's clicks exact at 200 % and 300 %; fit at $fit %"
}

case $test_name in
clicks) test_clicks ;;
screenshot) test_screenshot ;;
overflow) test_overflow ;;
start-up) test_start_up ;;
pointer) test_pointer ;;
repaints) test_repaints ;;
faults) test_faults ;;
data) test_data ;;
names) test_names ;;
deep) test_deep ;;
messages) test_messages ;;
dialogs) test_dialogs ;;
daily) test_daily ;;
zoom) test_zoom ;;
*) fail "unknown test $test_name" ;;
esac
echo "passed: $test_name"
