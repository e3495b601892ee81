# Thin wrapper over CMake presets. 'make run' and 'make test' install what is missing first.
PRESET ?= dev
BUILD_DIR := build
JOBS ?= $(shell nproc)
WORK_DIR := work

.PHONY: all deps configure build run screenshots test test-asan bench fuzz clean windows-gui windows-gui-screenshot
FUZZ_SECONDS ?= 60

all: build

deps:
	@sh tools/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

# Runs in a git-ignored working folder seeded with the sample configuration.
run: build
	@mkdir -p $(WORK_DIR)
	@[ -f $(WORK_DIR)/Tarnwick.xml ] || cp samples/Tarnwick.xml $(WORK_DIR)/Tarnwick.xml
	@cd $(WORK_DIR) && ../$(BUILD_DIR)/bin/tarnwick

# The main window on each tab and both dialogs, rendered offscreen.
screenshots: build
	@$(BUILD_DIR)/bin/tarnwick-screenshots $(BUILD_DIR)/screenshots samples/Tarnwick.xml

test: build
	@ctest --preset $(PRESET) -j $(JOBS)

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)

bench: build
	@for b in $(BUILD_DIR)/bin/bench_*; do [ -x "$$b" ] || continue; echo "== $$b"; "$$b" || exit 1; done

# Each fuzz target runs FUZZ_SECONDS seconds; any crash, leak or timeout fails.
fuzz: deps
	@sh tools/install-deps.sh debian-packages-fuzz.txt
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	@sh fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

# The window program for Windows. The first run cross-builds Qt from Debian's
# sources into a cache outside the tree, which takes over an hour.
windows-gui: deps
	@sh tools/install-deps.sh debian-packages-windows-gui.txt
	@sh tools/build-windows-deps.sh
	@sh tools/build-windows-qt.sh
	@cmake --preset windows-gui >/dev/null
	@cmake --build --preset windows-gui --target tarnwick -j $(JOBS)

# tarnwick.exe under Wine: a screenshot of its main window in build-windows/screenshots.
windows-gui-screenshot: windows-gui
	@sh tools/wine-screenshot.sh build-windows/bin/tarnwick.exe samples/Tarnwick.xml build-windows/screenshots \
	    "$$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)"

clean:
	rm -rf build build-asan build-release build-fuzz
