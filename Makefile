# Common commands. Each installs what is missing first, so they work on a fresh Debian machine.
JOBS ?= 2
FUZZ_SECONDS ?= 30

.PHONY: deps build test test-native test-asan test-win32 demo bench fuzz dist clean

deps:
	scripts/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

test-native: build
	ctest --preset default

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan

test-win32: deps
	cmake --preset win32
	cmake --build --preset win32 -j $(JOBS)
	ctest --preset win32

# Every suite: native, sanitizers, the real DLL under Wine, and a short run of each fuzzer.
test: test-native test-asan test-win32 fuzz

clean:
	rm -rf build dist
