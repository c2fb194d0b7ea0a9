#!/usr/bin/env bash
# Builds and runs every test twice: a normal build in build/ and an
# AddressSanitizer + UndefinedBehaviorSanitizer build in build/asan/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)

# Formatting is part of the checks.
git ls-files -co --exclude-standard -- '*.cpp' '*.h' '*.c' | xargs -r clang-format --dry-run -Werror

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVOLIN_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVOLIN_WERROR=ON \
  -DTARVOLIN_SANITIZE=ON -DTARVOLIN_BENCH=OFF
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"
