#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine: in the tests' Wine session, or in a prefix set up already.
#
#   run_under_wine.sh PREFIX PROGRAM.exe [ARGS...]
#
# Exit status: the program's own, or 77 (reported by CTest as skipped) when this machine
# cannot run 32-bit Windows programs: Wine missing, or Wine unable to start the program. The
# program proves it started by printing "vexra test host started" first (or the line in
# VX_WINE_STARTED_LINE, at the start of any line of its output); after that every failure, a
# time-out included, is the program's. With VX_WINE_STARTED_LINE set but empty, no proof is
# asked for and every failure is the program's.
#
# VX_REQUIRE_WINE=1 (CI sets it) turns a skip into a failure: where Wine is expected to work,
# a machine that cannot run the Windows tests must not pass them.
#
# With VX_WINE_SESSION set to a session that windows_host/wine_session.sh started, the program
# runs in that session (its prefix and display; PREFIX is not used), and the session's server
# is left running. VX_WINE_TIME_LIMIT (default 300) is in seconds as a machine that runs 32-bit
# programs natively takes them; the session's VX_WINE_WAIT_SCALE stretches it where a start of
# Wine is slower.
set -uo pipefail

prefix=$1
program=$2
shift 2
started_line=${VX_WINE_STARTED_LINE-vexra test host started}

skip() {
    if [ "${VX_REQUIRE_WINE:-0}" = 1 ]; then
        echo "FAILED: this machine cannot run 32-bit Windows programs under Wine: $*"
        exit 1
    fi
    echo "SKIPPED: this machine cannot run 32-bit Windows programs under Wine: $*"
    exit 77
}

in_session=no
if [ -n "${VX_WINE_SESSION:-}" ]; then
    # No session: its start found no Wine here (and said so), or nothing started it.
    [ -e "$VX_WINE_SESSION/session.env" ] || skip "no Wine session in $VX_WINE_SESSION"
    # shellcheck disable=SC1091
    . "$VX_WINE_SESSION/session.env"
    prefix=$WINEPREFIX
    in_session=yes
fi
time_limit=$((${VX_WINE_TIME_LIMIT:-300} * ${VX_WINE_WAIT_SCALE:-1}))

command -v wine >/dev/null 2>&1 || skip "wine is not installed (scripts/install-deps.sh installs it)"

if [ $in_session = no ]; then
    # Where the kernel runs 32-bit programs only through qemu's user-mode emulation, Wine needs
    # two settings: its loader must not re-execute itself through the preloader (which crashes
    # under emulation), and the emulated address space must end above the Windows user space but
    # well below 4 GiB (qemu serves address hints slowly when the whole space is reserved).
    if [ -r /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -q enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
        export WINELOADERNOEXEC=1
        export QEMU_RESERVED_VA=${QEMU_RESERVED_VA:-0x90000000}
    fi

    # A prefix set up already (the try-windows one of editor/wine_prefix.sh); the tests' minimal
    # prefix is the session's.
    [ -e "$prefix/drive_c/windows/system32/kernel32.dll" ] ||
        skip "$prefix is not a Wine prefix (editor/wine_prefix.sh sets one up; the tests use a session)"
    export WINEPREFIX=$prefix
    export WINEDEBUG=-all
    # No prefix set-up, no menu entries, and no debugger: a crash ends the program at once.
    export WINEDLLOVERRIDES="mscoree,mshtml=;wineboot.exe=d;winemenubuilder.exe=d;winedbg.exe=d"
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT
timeout --kill-after=10 "$time_limit" wine "$program" "$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
[ $in_session = yes ] || wineserver -k >/dev/null 2>&1

if [ -n "$started_line" ] && ! grep -q "^$started_line" "$log"; then
    skip "wine exited with status $status before the program started"
fi
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    echo "FAILED: $program did not finish within $time_limit s"
fi
exit "$status"
