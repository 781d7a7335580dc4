# Front door: one command per job, both bitnesses, no knowledge of the build trees needed.
#   make setup   install what the build and the tests need (Debian 12)
#   make dist    build both bitnesses and lay out dist/ as it ships
#   make check   setup, build, and every test under Wine in both bitnesses
#   make bench   benchmarks that print figures
# Options: BUILD=build  JOBS=2  CTEST_ARGS="-R name"  BUILD_TYPE=Release

BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD_TYPE ?= Release
CTEST_ARGS ?=
ARCHES := i686 x86_64
WINE_DIR := $(abspath $(BUILD))/wine

.PHONY: all setup configure build dist check test bench clean

all: dist

setup:
	@sh tools/setup-debian.sh

$(BUILD)/%/build.ninja:
	cmake -S . -B $(BUILD)/$* -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	    -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/toolchain-$*.cmake) \
	    -DLUMIVEX_WINE_DIR=$(WINE_DIR)

configure: setup $(foreach a,$(ARCHES),$(BUILD)/$(a)/build.ninja)

build: configure
	@for a in $(ARCHES); do cmake --build $(BUILD)/$$a -j $(JOBS) || exit 1; done

dist: build
	rm -rf dist
	mkdir -p dist
	@for a in $(ARCHES); do cmake --install $(BUILD)/$$a --prefix $(abspath dist) || exit 1; done
	@echo "dist/:"; ls -l dist

# Both bitnesses share one private Wine prefix and display, so they run one after the other.
check: build
	@status=0; \
	for a in $(ARCHES); do \
	    echo "=== tests: $$a ==="; \
	    (cd $(BUILD)/$$a && ctest --output-on-failure $(CTEST_ARGS)) || status=1; \
	done; \
	exit $$status

test: check

bench: build
	@for a in $(ARCHES); do \
	    echo "=== benchmarks: $$a ==="; \
	    (cd $(BUILD)/$$a && ctest -L bench -V $(CTEST_ARGS)) || exit 1; \
	done

clean:
	rm -rf $(BUILD) dist
