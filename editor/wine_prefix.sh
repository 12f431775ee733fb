#!/usr/bin/env bash
# Prints the path of a Wine prefix in which the editor's common dialogs work (Open and Save As
# list folders and files, and save), setting it up the first time: unlike the minimal prefix of
# windows_host/run_under_wine.sh, it is made by wineboot, with the registry and the shell
# folders the dialogs need. Set up once, it is kept (make clean removes it with build/).
#
#   wine_prefix.sh PREFIX
#
# Exit status 0 with the path on stdout, or 1 with the reason (no Wine, wineboot failed).
# Concurrent callers wait for one another.
set -uo pipefail

prefix=$1
ready=$prefix/.vexra-dialogs-ready
command -v wine >/dev/null 2>&1 || { echo "wine is not installed"; exit 1; }
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock -w 300 9 || { echo "another set-up of $prefix did not finish within 300 s"; exit 1; }
if [ ! -e "$ready" ]; then
    # A minimal prefix left here by an older version would never get its registry: start anew.
    rm -rf "$prefix"
    if [ -r /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -q enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
        export WINELOADERNOEXEC=1 QEMU_RESERVED_VA=${QEMU_RESERVED_VA:-0x90000000}
    fi
    if ! WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win32 \
        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
        timeout 240 wineboot --init >"$prefix.log" 2>&1; then
        echo "wineboot could not set up $prefix (see $prefix.log)"
        exit 1
    fi
    WINEPREFIX=$prefix timeout 60 wineserver -w
    touch "$ready"
fi
echo "$prefix"
