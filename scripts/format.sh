#!/usr/bin/env bash
# Formats every tracked C++ file with the checked-in .clang-format (clang-format 14),
# the form test.sh checks.
set -eu
cd "$(dirname "$0")/.."
formatter=$(command -v clang-format-14 || command -v clang-format)
git ls-files -z -- '*.cpp' '*.h' '*.hpp' '*.cc' '*.c' | xargs -0 -r "$formatter" -i
