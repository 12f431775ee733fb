#!/usr/bin/env bash
# Installs what the build and the tests need and is missing, from Debian's packages.
# Safe to run again: it installs nothing that is already there. Needs root (or sudo).
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
need() { # need PACKAGE [FILE-THAT-PROVES-IT]
    local package=$1 proof=${2:-}
    if [ -n "$proof" ] && [ -e "$proof" ]; then return; fi
    if [ -z "$proof" ] && dpkg -s "$package" >/dev/null 2>&1; then return; fi
    missing+=("$package")
}

need cmake /usr/bin/cmake
need g++ /usr/bin/g++
need make /usr/bin/make
need libgtest-dev /usr/include/gtest/gtest.h
need googletest /usr/src/googletest/CMakeLists.txt
need libbenchmark-dev /usr/include/benchmark/benchmark.h
need clang /usr/bin/clang++
need libclang-rt-14-dev
need libstb-dev /usr/include/stb/stb_image.h
need g++-mingw-w64-i686 /usr/bin/i686-w64-mingw32-g++
need binutils-mingw-w64-i686 /usr/bin/i686-w64-mingw32-objdump
need icoutils /usr/bin/wrestool

updated=no
if [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    $SUDO apt-get update -qq
    updated=yes
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine runs the 32-bit DLL: it needs the i386 architecture and wine32.
if ! dpkg -s wine32:i386 >/dev/null 2>&1 || [ ! -e /usr/bin/wine ]; then
    echo "install-deps: installing wine and wine32:i386"
    $SUDO dpkg --add-architecture i386
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends wine wine32:i386
fi
