#!/usr/bin/env bash
# Installs what the build and the tests need and is missing, from Debian's packages.
# Safe to run again: it installs nothing that is already there. Needs root (or sudo).
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# A mirror in the middle of a sync can make one index fail to download while the others are
# fine: try again a few times, then go on with the lists apt has, as the packages this script
# asks for usually come from the indexes that did download.
update_package_lists() {
    local attempt
    for attempt in 1 2 3; do
        if $SUDO apt-get update -qq; then return 0; fi
        sleep $((attempt * 5))
    done
    echo "install-deps: apt-get update reported errors; going on with the package lists apt has"
}

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
need libwebp-dev /usr/include/webp/mux.h
# Pictures natively: PNG through libpng, JPEG through libjpeg-turbo (picture_io/).
need libpng-dev /usr/include/png.h
need libjpeg62-turbo-dev /usr/include/jpeglib.h
# Animated GIFs of region_grow --animation x.gif.
need libgif-dev /usr/include/gif_lib.h
# The tools' PNG compression, natively and in the cross build.
need zlib1g-dev /usr/include/zlib.h
need libz-mingw-w64-dev /usr/i686-w64-mingw32/include/zlib.h
# bench/tool_memory.sh makes its pictures with ImageMagick and sums with bc.
need bc /usr/bin/bc
need g++-mingw-w64-i686 /usr/bin/i686-w64-mingw32-g++
need binutils-mingw-w64-i686 /usr/bin/i686-w64-mingw32-objdump
# The DLL-image check (windows_host/check_dll_image.py) reads PAINT.DLL with pefile.
need python3-pefile /usr/lib/python3/dist-packages/pefile.py
# The editor's tests: a virtual X display, a real pointer, and a capture of the display.
need xvfb /usr/bin/xvfb-run
need xauth /usr/bin/xauth
need xdotool /usr/bin/xdotool
need imagemagick /usr/bin/import
# make demo renders the explorer's growth curve (SVG) to PNG with headless Chromium.
# The plug-in compiled to WebAssembly (clang and wasm-ld with the wasm32-wasi libraries), and
# the page's tests in a real browser, driven from node.
need clang-14 /usr/bin/clang++-14
need lld-14 /usr/bin/wasm-ld-14
need wasi-libc /usr/lib/wasm32-wasi/libc.a
need libc++-14-dev-wasm32
need libc++abi-14-dev-wasm32
need libclang-rt-14-dev-wasm32
need chromium /usr/bin/chromium
need chromium-driver /usr/bin/chromedriver
need nodejs /usr/bin/node
need npm /usr/bin/npm

updated=no
if [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    update_package_lists
    updated=yes
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The browser tests' driver, playwright-core, at the version web/package-lock.json pins. It
# drives Debian's chromium and never downloads a browser of its own.
web_dir="$(cd "$(dirname "$0")/../web" && pwd)"
wanted=$(node -p "require('$web_dir/package-lock.json').packages['node_modules/playwright-core'].version")
have=$(node -p "require('$web_dir/node_modules/playwright-core/package.json').version" 2>/dev/null || true)
if [ "$have" != "$wanted" ]; then
    echo "install-deps: installing the browser tests' driver, playwright-core $wanted (npm ci in web/)"
    (cd "$web_dir" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --silent)
fi

# Wine runs the 32-bit DLL: it needs the i386 architecture and wine32.
if ! dpkg -s wine32:i386 >/dev/null 2>&1 || [ ! -e /usr/bin/wine ]; then
    echo "install-deps: installing wine and wine32:i386"
    $SUDO dpkg --add-architecture i386
    update_package_lists
    # wine32:i386 needs the i386 libraries at the same versions as the installed amd64 ones; a
    # mirror that serves an incomplete i386 index cannot offer them. Then nothing else of the
    # build depends on Wine: say so, and let the Wine tests report themselves as skipped (or
    # fail, with VX_REQUIRE_WINE=1).
    if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
        wine wine32:i386; then
        echo "install-deps: wine and wine32:i386 could not be installed from the package archive;"
        echo "install-deps: the tests that run the DLL under Wine will be skipped"
    fi
fi

# Some kernels (virtual machines without 32-bit support) refuse to execute 32-bit programs, and
# Wine's loader for 32-bit Windows programs is one. There, register qemu's user-mode emulator
# for 32-bit x86 programs; windows_host/run_under_wine.sh sets what Wine needs to run under it.
if [ -e /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1 &&
    [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    echo "install-deps: this kernel cannot execute 32-bit programs; registering qemu-i386 for them"
    if [ ! -e /usr/bin/qemu-i386 ]; then
        [ "$updated" = yes ] || update_package_lists
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends qemu-user
    fi
    if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
        $SUDO mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || true
    fi
    # Name, magic and mask of a 32-bit x86 ELF executable; F opens the emulator now, so that it
    # also serves inside other mount namespaces.
    i386_elf=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    i386_elf+=':\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    i386_elf+=':/usr/bin/qemu-i386:OCF'
    printf '%s' "$i386_elf" | $SUDO tee /proc/sys/fs/binfmt_misc/register >/dev/null || true
    /usr/lib/wine/wine --version >/dev/null 2>&1 ||
        echo "install-deps: 32-bit programs still do not run; the Windows tests will be skipped"
fi
