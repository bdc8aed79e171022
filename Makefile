# Quintaro: the two everyday commands are `make run` and `make test`.
BUILD    ?= build
JOBS     ?= $(shell nproc)
CMAKE_FLAGS ?=
# The Windows cross-build (make windows, make windows-test).
WINDOWS_BUILD ?= build-windows

.PHONY: all deps configure build run test bench demo fuzz sanitize clean \
        install package format-check windows-qt windows windows-chain windows-test

all: build

# Which group of packages `deps` installs (scripts/install-deps.sh): the
# program alone needs the base group; the targets below that need more name
# their group, which then holds for their prerequisites too.
DEPS_GROUP ?=
test bench demo sanitize: DEPS_GROUP = test
package: DEPS_GROUP = package
windows-qt windows windows-test windows-chain: DEPS_GROUP = windows

deps:
	@scripts/install-deps.sh $(DEPS_GROUP)

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

# Only the programs: no test or benchmark is built, so the base packages do.
# The weather display is built too, since Quintaro starts it.
run: configure
	@cmake --build $(BUILD) -j$(JOBS) --target quintaro quintaro-weather
	./$(BUILD)/quintaro

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# The programs and the suite cross-built for Windows x64 with MinGW-w64 in
# build-windows/ (make windows, below), then the suite run under wine, two
# tests at a time: ctest starts each test program through
# scripts/windows/wine-run.sh, inside one session that keeps wine's server and
# an X server up throughout. The tests that need a Linux-only tool are not
# built or skip there (tests/CMakeLists.txt lists them). Then the whole chain
# under wine against a real Direwolf (scripts/windows/chain-check.sh): the
# setup, Quintaro and its displays, the batch file, the uninstaller.
windows-test: windows
	@nice ninja -C $(WINDOWS_BUILD) -j$(JOBS)
	cd $(WINDOWS_BUILD) && $(CURDIR)/scripts/windows/wine-run.sh --session \
	  ctest --output-on-failure -j2
	@scripts/windows/chain-check.sh $(WINDOWS_BUILD)

# Direwolf on port 8000 fed with made-up APRS traffic as audio, and Quintaro
# connected to it: no radio needed. Ctrl+C ends it.
demo: build
	@scripts/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-sanitize build-fuzz $(PACKAGE_BUILD) $(WINDOWS_BUILD)

# The program and the whole suite built with AddressSanitizer and UBSan, and
# the suite run on it: any report fails the run, leaks included (the program
# started by the smoke test is the sanitized one too, and must end with 0).
# No leak of the program's is suppressed: Qt on the offscreen platform leaves
# none behind; the one test that runs it on X11 passes over libdbus's buffer.
SANITIZE_BUILD ?= build-sanitize
SANITIZE_ENV := QT_QPA_PLATFORM=offscreen \
  ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DQUINTARO_SANITIZE=ON -DQUINTARO_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	cd $(SANITIZE_BUILD) && $(SANITIZE_ENV) ctest --output-on-failure -j$(JOBS)

# libFuzzer targets for every reader of untrusted bytes (AGWPE stream and
# frames, Quintaro.ini, station list files, the RTF read-me, weather reports),
# built with clang and run FUZZ_SECONDS each on a scratch copy of
# fuzz/corpus/. A subset: FUZZ_TARGETS="agw rtf". Fails when a target found
# something.
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= agw settings stationlist rtf weather
fuzz:
	@scripts/install-deps.sh fuzz
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DQUINTARO_FUZZ=ON \
	  -DQUINTARO_TESTS=OFF -DQUINTARO_BENCH=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzzers
	@fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# The speed goals, each checked by a benchmark: the station list, the
# monitored-frame throughput, weather report decoding, start-up and the
# weather display's opening and memory. Prints the
# figures, the ratios and whether each goal is met; a missed goal is reported,
# a benchmark that fails (lost data, a program that does not start) fails the
# run.
BENCHES := bench_stationlist bench_throughput bench_weather bench_startup bench_details \
           bench_display bench_history
bench: build
	@summary="$(abspath $(BUILD))/bench/summary.txt"; rm -f "$$summary"; \
	for b in $(BENCHES); do \
	  echo; echo "######## $$b"; \
	  QUINTARO_BENCH_SUMMARY="$$summary" QT_QPA_PLATFORM="$${QT_QPA_PLATFORM:-offscreen}" \
	    ./$(BUILD)/bench/$$b --benchmark_color=false || exit 1; \
	done; \
	echo; echo "######## Speed goals"; cat "$$summary"

# Installs the program and its weather display, its read-me, desktop entry,
# icon, AppStream metadata and manual pages under PREFIX, staged below DESTDIR when that is set
# (cmake/QuintaroInstall.cmake says what goes where).
PREFIX  ?= /usr/local
DESTDIR ?=
install: deps
	@cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS) --target quintaro quintaro-weather
	DESTDIR=$(if $(DESTDIR),$(abspath $(DESTDIR))) cmake --install $(BUILD)

# The Debian package, built by CPack in its own build folder: a release
# build of the program alone, installed under /usr
# (cmake/QuintaroPackage.cmake). Debian's hardening flags go in as
# dpkg-buildflags gives them.
PACKAGE_BUILD ?= build-package
package: deps
	@DEB_BUILD_MAINT_OPTIONS=hardening=+all; export DEB_BUILD_MAINT_OPTIONS; \
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DQUINTARO_TESTS=OFF -DQUINTARO_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(PACKAGE_BUILD) -j$(JOBS) --target package

# Every tracked C++ file as the repository's .clang-format has it.
format-check:
	@scripts/check-format.sh

# Windows x64, cross-built with MinGW-w64 (scripts/windows/). Qt for MinGW is
# built from source once, into a cache outside the clone that a changed
# recipe replaces (scripts/windows/build-qt.sh; about 25 minutes on two
# cores): this target builds it when missing and prints its path, which
# `scripts/windows/build-qt.sh --print-prefix` tells without building.
windows-qt: deps
	@scripts/windows/build-qt.sh

# The portable release for Windows x64: both programs cross-built in
# $(WINDOWS_BUILD) with the Qt above, their DLLs and Qt plugins, the read-me
# and the licences, zipped as $(WINDOWS_BUILD)/quintaro-<version>-windows-x64.zip,
# and the same files in the per-user setup $(WINDOWS_BUILD)/quintaro-<version>-setup.exe
# (scripts/windows/make-release.sh, make-setup.sh, quintaro.nsi).
windows: deps
	@scripts/windows/make-release.sh $(WINDOWS_BUILD)

# The whole chain under wine against a real Direwolf on 127.0.0.1:8000: the
# setup installs over an older version, the installed Quintaro lists, records
# and opens a display per weather station, its batch file runs under cmd, the
# uninstaller keeps the user's files (scripts/windows/chain-check.sh, about
# a minute and a half).
windows-chain: windows
	@scripts/windows/chain-check.sh $(WINDOWS_BUILD)
