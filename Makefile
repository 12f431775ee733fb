# Common commands. Each installs what is missing first, so they work on a fresh Debian machine.
JOBS ?= 2
FUZZ_SECONDS ?= 30

.PHONY: deps build test test-native test-asan test-win32 test-web playground bench-web demo bench fuzz dist \
	try-windows clean

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

# The plug-in compiled to WebAssembly, its page, and the browser tests in headless chromium.
test-web: deps
	cmake --preset web
	cmake --build --preset web -j $(JOBS)
	ctest --preset web

# Every suite: native, sanitizers, a short run of each fuzzer, the real DLL under Wine, and the
# page in a browser.
test: test-native test-asan fuzz test-win32 test-web

# The page on this machine: builds the site and serves it to this machine only.
PORT ?= 8000
playground: deps
	cmake --preset web
	cmake --build --preset web -j $(JOBS) --target web_site
	@echo "playground: open http://127.0.0.1:$(PORT)/ (Ctrl+C stops it)"
	python3 -m http.server $(PORT) --bind 127.0.0.1 --directory build/web/site

# The page beside the native tool in one run: whole-picture fills per pixel against region_grow's,
# the first fill after loading, opening a 24 Mpx picture, and the explorer's slider steps.
bench-web: deps
	cmake --preset web
	cmake --build --preset web -j $(JOBS)
	VX_SITE_DIR=$(CURDIR)/build/web/site VX_REGION_GROW=$(CURDIR)/build/web/region_grow/region_grow \
	    VX_BENCH_IMAGE=$(CURDIR)/build/web/bench/bench_image_file node web/scripts/speed.js

# Each fuzzer for FUZZ_SECONDS, growing a scratch corpus under build/ (kept out of git).
FUZZERS = fuzz_tolerance_text fuzz_fill fuzz_picture
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS) --target $(FUZZERS)
	for fuzzer in $(FUZZERS); do \
	    mkdir -p build/fuzz/corpus/$$fuzzer && \
	    build/fuzz/fuzz/$$fuzzer -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=build/fuzz/ \
	        build/fuzz/corpus/$$fuzzer || exit 1; \
	done

# The tool on the bundled photograph: the result, one frame per refresh request and a
# before/after picture under build/demo/; the before/after picture also goes to docs/ for the
# README.
# The clicks and tolerances live in examples/demo-clicks.args, shared with the test that runs
# them through the native and the Windows builds.
DEMO_ARGS = examples/chelsea.png $(shell cat examples/demo-clicks.args)
# The explorer on the background click, at the seed tolerance that lets it leak, with the
# demo's own seed tolerance as a second curve.
EXPLORE_ARGS = 430 120 --step 3 --seed-tolerance 255 --explore-seeds 30
demo: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target region_grow
	mkdir -p build/demo
	build/default/region_grow/region_grow $(DEMO_ARGS) --frames build/demo/frames \
	    --animation build/demo/refresh.webp \
	    --before-after build/demo/before-after.png -o build/demo/result.png
	cp build/demo/before-after.png docs/before-after.png
	cp build/demo/refresh.webp docs/refresh.webp
	build/default/region_grow/region_grow examples/chelsea.png $(EXPLORE_ARGS) \
	    --explore build/demo/explore
	cp build/demo/explore/map.png docs/explore-map.png
	scripts/render_svg.sh build/demo/explore/growth.svg docs/explore-growth.png
	@echo "demo: look at build/demo/result.png, build/demo/before-after.png, and"
	@echo "      build/demo/frames/ (frame-NNNNN.png: the window at each refresh request;"
	@echo "      overview.png: every requested rectangle over the result), and"
	@echo "      build/demo/refresh.webp (the refresh requests as an animation), and"
	@echo "      build/demo/explore/ (the tolerance explorer for the click at 430 120)"

# The fill against the protocol floor and the direct-memory fill (its table ends with the
# ratios); writing and reading big pictures; region_grow's time and memory on big pictures and
# the cost of many clicks; the tolerance explorer against the fill; a whole --explore run
# against a plain one.
bench: deps
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS) --target fill_bench explorer_bench picture_bench region_grow
	build/bench/bench/fill_bench
	build/bench/bench/picture_bench build/bench
	bench/tool_memory.sh build/bench/region_grow/region_grow build/bench/tool-memory
	build/bench/bench/explorer_bench
	bench/explore_run.sh build/bench/region_grow/region_grow build/bench/tool-memory

# The release for the host's users: PAINT.DLL, its SHA-256 and the install note, zipped, from
# a build that has passed the Windows checks. The zip is the same to the byte for the same
# commit: entries in this order, dated with the DLL's own time stamp, mode 0644.
# Beside it, dist/playground.zip: the page's static site, from a build that has passed the
# browser tests, made the same way and dated with the last commit's time.
DIST_FILES = PAINT.DLL PAINT.DLL.sha256 INSTALL.txt
dist: test-win32 test-web
	rm -rf dist/paint-dll dist/paint-dll.zip
	mkdir -p dist/paint-dll
	cp build/win32/bin/PAINT.DLL packaging/INSTALL.txt dist/paint-dll/
	cd dist/paint-dll && sha256sum PAINT.DLL > PAINT.DLL.sha256
	python3 packaging/reproducible_zip.py dist/paint-dll.zip dist/paint-dll \
	    "$$(cat build/win32/paint-time-stamp)" $(DIST_FILES)
	@echo "dist: dist/paint-dll.zip ($(DIST_FILES))"
	python3 packaging/reproducible_zip.py dist/playground.zip build/web/site \
	    "$$(git log -1 --format=%ct 2>/dev/null || echo 0)" $$(cat build/web/site-files)
	@echo "dist: dist/playground.zip (the page; any static file server can host it)"

# The editor stand-in with PAINT.DLL under Wine, on the sample photograph, in this session's
# display. Its Wine prefix is its own, inside the build tree.
try-windows: deps
	@if [ -z "$${DISPLAY:-}" ]; then \
	    echo "try-windows: no display (DISPLAY is not set): run it in a desktop session,"; \
	    echo "             or copy build/win32/editor/ to Windows and start vexra.exe there"; \
	    exit 1; \
	fi
	cmake --preset win32
	cmake --build --preset win32 -j $(JOBS) --target vexra_editor
	@# A prefix set up once by wineboot, kept under build/: its Open and Save As dialogs work.
	prefix=$$(editor/wine_prefix.sh $(CURDIR)/build/win32/try-windows-prefix) || \
	    { echo "try-windows: $$prefix"; exit 1; }; \
	VX_WINE_STARTED_LINE="" VX_WINE_TIME_LIMIT=86400 windows_host/run_under_wine.sh \
	    "$$prefix" build/win32/editor/vexra.exe examples/chelsea.png --step 6 --seed-tolerance 30

clean:
	rm -rf build dist
