#!/usr/bin/env bash
# One Wine session shared by every Windows test of a test run: a minimal prefix, a virtual X
# display, a wineserver that stays up between programs, and the boot event held
# (boot_event_keeper.exe), so that each program the tests start costs one program start and no
# more. Where 32-bit programs run only under an emulator, a start takes tens of seconds; the
# session measures one and hands the figure on, so that every wait of the tests is a multiple of
# it rather than a fixed time.
#
#   wine_session.sh start SESSION_DIR KEEPER.exe
#   wine_session.sh stop SESSION_DIR
#
# start writes SESSION_DIR/session.env, which run_under_wine.sh and the tests source when
# VX_WINE_SESSION=SESSION_DIR: DISPLAY, WINEPREFIX, the settings Wine needs here, and
# VX_WINE_START_SECONDS (a measured start of a program in the session) with VX_WINE_WAIT_SCALE
# (how many times slower than the 2 s a start takes where 32-bit programs run natively, at least
# 1). Exit status 0, 77 (skipped) when this machine cannot run Wine or has no X server, 1
# otherwise; with VX_REQUIRE_WINE=1 a machine that cannot run Wine fails instead of skipping.
set -uo pipefail

action=$1 session=$2

fail() {
    echo "FAILED: $*"
    exit 1
}

skip() {
    if [ "${VX_REQUIRE_WINE:-0}" = 1 ]; then fail "this machine cannot run the Windows tests: $*"; fi
    echo "SKIPPED: this machine cannot run the Windows tests: $*"
    exit 77
}

stop() {
    if [ -e "$session/session.env" ]; then
        # shellcheck disable=SC1091
        (. "$session/session.env" && wineserver -k) >/dev/null 2>&1
    fi
    if [ -e "$session/xvfb.pid" ]; then
        kill "$(cat "$session/xvfb.pid")" 2>/dev/null
        rm -f "$session/xvfb.pid"
    fi
    rm -f "$session/session.env"
}

if [ "$action" = stop ]; then
    stop
    echo "the Wine session in $session has ended"
    exit 0
fi
[ "$action" = start ] || fail "usage: wine_session.sh start|stop SESSION_DIR [KEEPER.exe]"
keeper=$3

command -v wine >/dev/null 2>&1 || skip "wine is not installed (scripts/install-deps.sh installs it)"
command -v Xvfb >/dev/null 2>&1 || skip "Xvfb is not installed (scripts/install-deps.sh installs xvfb)"
windows_dlls=""
for candidate in /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows \
                 /usr/lib32/wine/i386-windows /usr/local/lib/wine/i386-windows; do
    if [ -e "$candidate/kernel32.dll" ]; then windows_dlls=$candidate; break; fi
done
[ -n "$windows_dlls" ] || skip "Wine's 32-bit Windows DLLs are missing (install wine32:i386)"

stop # a session left by an interrupted run
rm -rf "$session"
mkdir -p "$session"
prefix=$session/prefix

# The minimal prefix: Wine's own 32-bit DLLs serve as system32, and the prefix set-up program
# (wineboot) never runs: it is not needed to load a DLL and show windows, the dialogs need only
# the shell's folders (registered below), and under an emulator it takes minutes.
mkdir -p "$prefix/drive_c/windows" "$prefix/dosdevices" "$prefix/drive_c/users"
ln -s "$windows_dlls" "$prefix/drive_c/windows/system32"
ln -s ../drive_c "$prefix/dosdevices/c:"
ln -s / "$prefix/dosdevices/z:"

{
    echo "export WINEPREFIX='$prefix'"
    echo "export WINEDEBUG=-all"
    # No prefix set-up, no menu entries, and no debugger: a crash ends the program at once.
    echo "export WINEDLLOVERRIDES='mscoree,mshtml=;wineboot.exe=d;winemenubuilder.exe=d;winedbg.exe=d'"
    # Under qemu's user-mode emulation Wine's loader must not re-execute itself through the
    # preloader (which crashes there), and the emulated address space must end above the
    # Windows user space but well below 4 GiB (qemu serves address hints slowly otherwise).
    if [ -r /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -q enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
        echo "export WINELOADERNOEXEC=1"
        echo "export QEMU_RESERVED_VA=\${QEMU_RESERVED_VA:-0x90000000}"
    fi
} >"$session/session.env"

# The display: the first free one, found by the server itself.
exec 8>"$session/display"
setsid Xvfb -displayfd 8 -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$session/xvfb.log" 2>&1 &
echo $! >"$session/xvfb.pid"
exec 8>&-
for ((waited = 0; waited < 100; waited++)); do
    [ -s "$session/display" ] && break
    sleep 0.1
done
[ -s "$session/display" ] || { cat "$session/xvfb.log"; skip "Xvfb did not start"; }
echo "export DISPLAY=:$(head -1 "$session/display")" >>"$session/session.env"
# shellcheck disable=SC1091
. "$session/session.env"

# The server stays up between programs; the keeper's own start pays for the set-up program once.
wineserver -p </dev/null >/dev/null 2>&1
started=$(date +%s.%N)
setsid wine "$keeper" </dev/null >"$session/keeper.log" 2>&1 &
for ((waited = 0; waited < 9000; waited++)); do # 15 minutes at most
    grep -q '^boot event held' "$session/keeper.log" 2>/dev/null && break
    kill -0 $! 2>/dev/null || break
    sleep 0.1
done
grep -q '^boot event held' "$session/keeper.log" ||
    { cat "$session/keeper.log"; stop; skip "Wine could not start a program"; }
first=$(echo "$(date +%s.%N) - $started" | bc)

# The shell's folders registered, which the common Open and Save As dialogs list and walk;
# that is all they need of what wineboot would set up.
timeout 600 wine regsvr32 /s shell32.dll </dev/null >"$session/regsvr32.log" 2>&1 ||
    { cat "$session/regsvr32.log"; stop; fail "the shell's folders could not be registered"; }

# What a program start costs from now on: a second keeper finds the event held and exits.
started=$(date +%s.%N)
timeout 600 wine "$keeper" --once </dev/null >"$session/start.log" 2>&1 ||
    { cat "$session/start.log"; stop; fail "Wine could not start a program a second time"; }
seconds=$(echo "$(date +%s.%N) - $started" | bc)
scale=$(awk -v s="$seconds" 'BEGIN { f = s / 2; n = int(f); if (n < f) n++; print (n < 1 ? 1 : n) }')
{
    echo "export VX_WINE_START_SECONDS=$seconds"
    echo "export VX_WINE_WAIT_SCALE=$scale"
} >>"$session/session.env"
printf 'Wine session on display %s: first start %.1f s, then %.1f s a program (waits x%s)\n' \
    "$DISPLAY" "$first" "$seconds" "$scale"
