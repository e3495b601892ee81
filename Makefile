# Thin wrapper over CMake presets. 'make run' and 'make test' install what is missing first.
PRESET ?= dev
BUILD_DIR := build
JOBS ?= $(shell nproc)
WORK_DIR := work
PREFIX ?= /usr/local

.PHONY: all deps build-deps configure build run screenshots test test-asan bench bench-windows fuzz install package check-package clean deps-windows windows test-windows windows-gui test-windows-gui windows-gui-screenshot windows-release test-windows-release
FUZZ_SECONDS ?= 60

all: build

# Everything that building, running and testing need.
deps:
	@sh tools/install-deps.sh debian-packages.txt debian-packages-test.txt

# Building alone needs no root once these are installed.
build-deps:
	@sh tools/install-deps.sh debian-packages.txt

configure: build-deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

# Runs in a git-ignored working folder seeded with the sample configuration.
run: deps build
	@mkdir -p $(WORK_DIR)
	@[ -f $(WORK_DIR)/Tarnwick.xml ] || cp samples/Tarnwick.xml $(WORK_DIR)/Tarnwick.xml
	@cd $(WORK_DIR) && ../$(BUILD_DIR)/bin/tarnwick

# The main window on each tab and both dialogs, rendered offscreen.
screenshots: build
	@$(BUILD_DIR)/bin/tarnwick-screenshots $(BUILD_DIR)/screenshots/zh_CN samples/Tarnwick.xml zh_CN
	@$(BUILD_DIR)/bin/tarnwick-screenshots $(BUILD_DIR)/screenshots/en samples/Tarnwick.xml en

test: deps build
	@ctest --preset $(PRESET) -j $(JOBS)

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)

bench: build
	@for b in $(BUILD_DIR)/bin/bench_*; do [ -x "$$b" ] || continue; echo "== $$b"; "$$b" || exit 1; done

# The generated launcher's /list under Wine against curl and tarnwick-cli decode,
# on a 100,000-server list that nginx serves on loopback; with a Windows build
# ('make windows'), also tarnwick-cli.exe's decode under Wine. Then its /update
# downloading 384 MB against curl, and a 1 GiB file brought up to date from its
# old version against its whole download at 100 Mbit/s.
# The lists and launchers are unsigned: tarnwick-cli looks for keys in an empty
# settings folder of the benchmarks' own, never the user's.
bench-windows: deps build
	@XDG_CONFIG_HOME="$(CURDIR)/$(BUILD_DIR)/bench-settings" sh tools/wine-session.sh "$(CURDIR)/$(BUILD_DIR)/wine-prefix" \
	    python3 bench/bench_launcher_list.py \
	    --cli $(BUILD_DIR)/bin/tarnwick-cli $(if $(wildcard build-windows/bin/tarnwick-cli.exe),--windows-cli build-windows/bin/tarnwick-cli.exe)
	@XDG_CONFIG_HOME="$(CURDIR)/$(BUILD_DIR)/bench-settings" sh tools/wine-session.sh "$(CURDIR)/$(BUILD_DIR)/wine-prefix" \
	    python3 bench/bench_update_download.py --cli $(BUILD_DIR)/bin/tarnwick-cli
	@XDG_CONFIG_HOME="$(CURDIR)/$(BUILD_DIR)/bench-settings" sh tools/wine-session.sh "$(CURDIR)/$(BUILD_DIR)/wine-prefix" \
	    python3 bench/bench_delta.py --cli $(BUILD_DIR)/bin/tarnwick-cli

# Each fuzz target runs FUZZ_SECONDS seconds; any crash, leak or timeout fails.
fuzz: deps
	@sh tools/install-deps.sh debian-packages-fuzz.txt
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	@sh fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

# Windows: tarnwick-cli.exe and the test programs cross-built with MinGW-w64;
# libxml2 and GoogleTest are built once into WINDOWS_DEPS, outside the tree.
WINDOWS_DEPS ?= $(or $(TARNWICK_WINDOWS_DEPS),$(or $(XDG_CACHE_HOME),$(HOME)/.cache)/tarnwick/mingw-w64)

deps-windows: deps
	@sh tools/install-deps.sh debian-packages-windows.txt
	@JOBS=$(JOBS) sh tools/build-windows-deps.sh "$(WINDOWS_DEPS)"

# The tests compare the Windows program's files with those of this machine's
# build of tarnwick-cli (only that target of $(PRESET) is built for them).
windows: deps-windows
	@cmake --preset windows -DTARNWICK_WINDOWS_DEPS="$(WINDOWS_DEPS)" \
	  -DTARNWICK_HOST_CLI="$(CURDIR)/$(BUILD_DIR)/bin/tarnwick-cli" >/dev/null
	@cmake --build --preset windows -j $(JOBS)

test-windows: windows
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET) --target tarnwick-cli -j $(JOBS)
	@sh tools/wine-session.sh "$(CURDIR)/build-windows/wine-prefix" ctest --preset windows -j $(JOBS)

# A release build without tests, installed under PREFIX all at once or not at all.
install: build-deps
	@cmake --preset package >/dev/null
	@cmake --build --preset package -j $(JOBS)
	@sh tools/install.sh build-package $(PREFIX)

# build/packages/tarnwick_<version>_<arch>.deb
package: build-deps
	@sh tools/install-deps.sh debian-packages-package.txt
	@cmake --preset package >/dev/null
	@cmake --build --preset package -j $(JOBS)
	@cpack --preset package

# Installs the package on a fresh Debian root and starts both programs (slow).
check-package: package
	@sh tools/check-package.sh build/packages/tarnwick_*.deb

# The window program for Windows. The first run cross-builds Qt from Debian's
# sources into WINDOWS_QT, outside the tree: about 16 minutes on two idle cores.
WINDOWS_QT ?= $(or $(TARNWICK_WINDOWS_QT),$(or $(XDG_CACHE_HOME),$(HOME)/.cache)/tarnwick/qt6-mingw-w64)

windows-gui: deps-windows
	@sh tools/install-deps.sh debian-packages-windows-gui.txt
	@sh tools/build-windows-qt.sh "$(WINDOWS_QT)"
	@cmake --preset windows-gui -DTARNWICK_WINDOWS_DEPS="$(WINDOWS_DEPS)" -DTARNWICK_WINDOWS_QT="$(WINDOWS_QT)" >/dev/null
	@cmake --build --preset windows-gui --target tarnwick -j $(JOBS)

# tarnwick.exe under Wine, used with real X events: a group, a server, an
# update entry from a dropped file, saved, published, a launcher generated;
# the files must be those of this machine's tarnwick-cli. Its forms are saved
# in build-windows/screenshots. A prefix and a home folder of its own (Wine
# links the user's documents to the home folder).
test-windows-gui: windows-gui
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET) --target tarnwick-cli drag_source -j $(JOBS)
	@rm -rf build-windows/gui-test && mkdir -p build-windows/gui-test/home
	@HOME="$(CURDIR)/build-windows/gui-test/home" sh tools/wine-session.sh \
	    "$(CURDIR)/build-windows/gui-test/prefix" /usr/bin/python3 tests/windows/operator_under_wine.py \
	    --exe build-windows/bin/tarnwick.exe --cli $(BUILD_DIR)/bin/tarnwick-cli \
	    --drag-source $(BUILD_DIR)/bin/drag_source --sample samples/Tarnwick.xml --layouts resources/ui \
	    --version "$(WINDOWS_VERSION)" --screenshots build-windows/screenshots --work build-windows/gui-test/work

# The name it had when it only looked at the main window.
windows-gui-screenshot: test-windows-gui

# What a Windows operator downloads, in build-windows/packages: the portable
# archive, the per-user installer (NSIS), the relink kit that Qt's licence
# asks for, and SHA256SUMS.
WINDOWS_VERSION = $(shell sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)

windows-release: windows-gui
	@sh tools/install-deps.sh debian-packages-windows-release.txt
	@cmake --build --preset windows-gui --target tarnwick-cli -j $(JOBS)
	@sh tools/windows-release.sh build-windows "$(WINDOWS_VERSION)" "$(WINDOWS_QT)"

# The release installed, used and removed under Wine, in a prefix and a home
# folder of its own (Wine links the user's documents to the home folder).
test-windows-release: windows-release
	@rm -rf build-windows/release-test && mkdir -p build-windows/release-test/home
	@HOME="$(CURDIR)/build-windows/release-test/home" sh tools/wine-session.sh \
	    "$(CURDIR)/build-windows/release-test/prefix" python3 tests/windows/release_under_wine.py \
	    --packages build-windows/packages --version "$(WINDOWS_VERSION)" --work build-windows/release-test/work \
	    --qt "$(WINDOWS_QT)"

clean:
	rm -rf build build-asan build-release build-fuzz build-package build-windows
