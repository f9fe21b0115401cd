#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) on the project's own sources, using the compile commands of
# the build folder given (default build/); fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON > /dev/null
# Generated headers must exist before clang-tidy reads the sources that include them.
cmake --build "$build" -j "$(nproc)" > /dev/null
run-clang-tidy -p "$build" -quiet -j "$(nproc)" \
    "$PWD/(Core|Utils|Maths|FileIoInterface|Plugins|Tools|tests|bench|fuzz|Examples)/" > "$build/clang-tidy.log" 2>&1 || {
    grep -E '(warning|error):' "$build/clang-tidy.log" | sort -u
    echo "clang-tidy: findings above (full log: $build/clang-tidy.log)"
    exit 1
}
echo "clang-tidy: no finding"
