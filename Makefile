# Thin wrapper over CMake. `make demo` and `make test` install what the build needs on a fresh
# Debian 12 machine (scripts/setup.sh), configure, build and run.
BUILD_DIR ?= build
CMAKE_ARGS ?=
JOBS ?= $(shell nproc)

.PHONY: all setup configure build demo test bench install clean

all: build

setup:
	@scripts/setup.sh

configure: setup
	cmake -S . -B $(BUILD_DIR) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

demo: build
	$(BUILD_DIR)/Examples/PointRecordExample

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS) --label-exclude benchmark

bench: build
	@set -e; for benchmark in $(BUILD_DIR)/bench/*Benchmark; do \
		[ -x "$$benchmark" ] || continue; echo "== $$benchmark"; "$$benchmark" $(BENCH_ARGS); done

install: build
	cmake --install $(BUILD_DIR) --prefix $(or $(PREFIX),$(BUILD_DIR)/stage)

clean:
	rm -rf $(BUILD_DIR)
