# Front door: one command per job, both bitnesses, no knowledge of the build trees needed.
#   make setup   install what the build and the tests need (Debian 12)
#   make dist    build both bitnesses and lay out dist/ as it ships
#   make release the per-user installer and the portable zip, from dist/, in <build>/release/
#   make check   setup, build, release, and every test (not the benchmarks) under Wine in both bitnesses
#   make bench   benchmarks that print figures
#   make demo    Lumivex from dist/ zooms a browser program, under Wine, with pictures before and
#                after in <build>/demo/ (on your display when DISPLAY reaches one)
#   make screenshots  pictures of the main dialog and tray menu, English and German, of the
#                zoom level label and of the programs page, in <build>/screenshots/
#   make fuzz    the option file reader under libFuzzer, ASan and UBSan, natively (Linux, clang)
# Options: BUILD=build  JOBS=2  CTEST_ARGS="-R name"  BUILD_TYPE=Release  FUZZ_SECONDS=60
#          DEMO_HOST=64 (the demo's browser host: 64 or 32)

BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD_TYPE ?= Release
CTEST_ARGS ?=
# Extra cmake settings for a fresh build folder, e.g. CMAKE_ARGS="-DLUMIVEX_HOME_PAGE=https://example.org/".
CMAKE_ARGS ?=
ARCHES := i686 x86_64
WINE_DIR := $(abspath $(BUILD))/wine

.PHONY: all setup configure build dist release check test bench demo screenshots fuzz fuzz-seeds clean

all: dist

setup:
	@sh tools/setup-debian.sh

$(BUILD)/%/build.ninja:
	cmake -S . -B $(BUILD)/$* -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	    -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/toolchain-$*.cmake) \
	    -DLUMIVEX_WINE_DIR=$(WINE_DIR) $(CMAKE_ARGS)

configure: setup $(foreach a,$(ARCHES),$(BUILD)/$(a)/build.ninja)

build: configure
	@for a in $(ARCHES); do cmake --build $(BUILD)/$$a -j $(JOBS) || exit 1; done

dist: build
	rm -rf dist
	mkdir -p dist
	@for a in $(ARCHES); do cmake --install $(BUILD)/$$a --prefix $(abspath dist) || exit 1; done
	@echo "dist/:"; ls -l dist

RELEASE_DIR := $(BUILD)/release
release: dist
	@sh tools/release/make-release.sh dist $(RELEASE_DIR)

# Both bitnesses share one private Wine prefix and display, so they run one after the other.
check: release
	@status=0; \
	for a in $(ARCHES); do \
	    echo "=== tests: $$a ==="; \
	    (cd $(BUILD)/$$a && ctest --output-on-failure -LE bench $(CTEST_ARGS)) || status=1; \
	done; \
	exit $$status

test: check

bench: build
	@for a in $(ARCHES); do \
	    echo "=== benchmarks: $$a ==="; \
	    (cd $(BUILD)/$$a && ctest -L bench -V $(CTEST_ARGS)) || exit 1; \
	done

# Under Wine 8 the 32-bit host is not zoomed while the 64-bit hook server runs (tools/demo.sh
# says why), so the demo zooms the 64-bit one unless asked otherwise.
DEMO_HOST ?= 64

demo: dist
	@sh tools/demo.sh dist $(BUILD) $(DEMO_HOST)

screenshots: dist
	@sh tools/screenshots.sh dist $(BUILD)

# The reader of the option file, built for this machine. New inputs collect in the build folder;
# the committed seeds in fuzz/option_seeds stay as they are. A crash, a sanitizer report, a
# failed check, a single allocation above the limit or an input that takes too long fails.
FUZZ_SECONDS ?= 60
FUZZ_CXX ?= clang++-14
FUZZ_DIR := $(BUILD)/fuzz
FUZZ_FLAGS := -std=c++20 -g -O1 -Wall -Wextra -Werror -I. \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
FUZZ_LIB_SOURCES := controller/option_archive.cpp controller/lumivex_option.cpp

$(FUZZ_DIR)/option_reader_fuzz: fuzz/option_reader_fuzz.cpp $(FUZZ_LIB_SOURCES) \
        controller/option_archive.h controller/lumivex_option.h
	@mkdir -p $(FUZZ_DIR)
	$(FUZZ_CXX) $(FUZZ_FLAGS) fuzz/option_reader_fuzz.cpp $(FUZZ_LIB_SOURCES) -o $@

fuzz: setup $(FUZZ_DIR)/option_reader_fuzz
	@mkdir -p $(FUZZ_DIR)/corpus
	$(FUZZ_DIR)/option_reader_fuzz -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -max_len=16384 -malloc_limit_mb=64 -timeout=10 \
	    -artifact_prefix=$(abspath $(FUZZ_DIR))/ $(FUZZ_DIR)/corpus fuzz/option_seeds

# Rewrites the committed seeds (after a change of the format's writer or of the seed tool).
fuzz-seeds:
	@mkdir -p $(FUZZ_DIR) fuzz/option_seeds
	$(FUZZ_CXX) -std=c++20 -O1 -Wall -Wextra -Werror -I. fuzz/make_option_seeds.cpp \
	    $(FUZZ_LIB_SOURCES) -o $(FUZZ_DIR)/make_option_seeds
	$(FUZZ_DIR)/make_option_seeds fuzz/option_seeds

clean:
	rm -rf $(BUILD) dist
