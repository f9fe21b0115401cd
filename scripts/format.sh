#!/usr/bin/env bash
# Formats every C++ source of the project with clang-format; with --check, changes nothing and fails
# when a file is not formatted.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
    clang-format --dry-run --Werror "${files[@]}"
    echo "clang-format: ${#files[@]} files formatted"
else
    clang-format -i "${files[@]}"
fi
