# Thin wrapper over CMake and its presets (CMakePresets.json). `make demo` and `make test` install what
# the build needs on a fresh Debian 12 machine (scripts/setup.sh), configure, build and run.
PRESET ?= default
BUILD_DIR ?= build
CMAKE_ARGS ?=
JOBS ?= $(shell nproc)

.PHONY: all setup configure build demo test bench fuzz format lint install package clean

all: build

setup:
	@scripts/setup.sh

configure: setup
	cmake --preset $(PRESET) -B $(BUILD_DIR) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

demo: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target orvid-compare
	$(BUILD_DIR)/bin/orvid-compare --demo $(abspath $(BUILD_DIR))/demo

# The browser test of the HTML report renders it with chromium; where chromium cannot be installed,
# that test skips. The sharded-comparison tests run the shards through GNU parallel and through a
# single-node Slurm cluster that they start (slurm-wlm, munge); where Slurm cannot be installed or its
# daemons cannot start, the Slurm test skips.
test: build
	@scripts/setup.sh chromium || echo "chromium could not be installed: the browser test will be skipped"
	@scripts/setup.sh parallel slurm-wlm munge || scripts/setup.sh parallel || \
		echo "slurm-wlm and munge could not be installed: the Slurm test will be skipped"
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS) --label-exclude benchmark

bench: build
	@set -e; for benchmark in $(BUILD_DIR)/bench/*Benchmark; do \
		[ -x "$$benchmark" ] || continue; echo "== $$benchmark"; "$$benchmark" $(BENCH_ARGS); done

# libFuzzer on the LAS reader and writer, seeded with the project's sample LAS and LAZ files; bounded in time.
FUZZ_BUILD_DIR := build-fuzz
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/setup.sh clang libclang-rt-14-dev
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	mkdir -p $(FUZZ_BUILD_DIR)/corpus/las
	cp tests/data/las/*.las tests/data/laz/*.laz $(FUZZ_BUILD_DIR)/corpus/las/
	$(FUZZ_BUILD_DIR)/fuzz/LasReaderFuzzer -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 \
		-malloc_limit_mb=64 -timeout=10 $(FUZZ_BUILD_DIR)/corpus/las
	mkdir -p $(FUZZ_BUILD_DIR)/corpus/laz-writer
	$(FUZZ_BUILD_DIR)/fuzz/LazWriterFuzzer -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 \
		-timeout=10 $(FUZZ_BUILD_DIR)/corpus/laz-writer

# Formats every source in place; CI runs the same with --check.
format:
	@scripts/setup.sh clang-format
	scripts/format.sh

# clang-tidy with the checks of .clang-tidy, on the sources of $(BUILD_DIR).
lint: setup
	@scripts/setup.sh clang-tidy
	scripts/lint.sh $(BUILD_DIR)

install: build
	cmake --install $(BUILD_DIR) --prefix $(or $(PREFIX),$(BUILD_DIR)/stage)

# A Debian package of the command, the libraries, the headers and the CMake package, in $(BUILD_DIR)/package.
package: build
	@scripts/setup.sh dpkg-dev
	cd $(BUILD_DIR) && cpack --config CPackConfig.cmake

clean:
	rm -rf $(BUILD_DIR)
