#!/usr/bin/env bash
# The sanitizer leg of the test command: builds the project with clang,
# -fsanitize=address,undefined and -fno-sanitize-recover=all into
# build-sanitize/ (no benchmarks) and runs every test there: core, net, the
# fuzz corpora, the crash test and the windows offscreen. Warnings are
# errors. Takes its packages from scripts/install-deps.sh. Safe to run again.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

start=$(date +%s)
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -O1 -gline-tables-only -Werror"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE= \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DZALOHY_BENCH=OFF
cmake --build build-sanitize
built=$(date +%s)

# Leaks are reported too; a report makes the program fail.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
(cd build-sanitize && ctest --output-on-failure --timeout 300 -j "$(nproc)")
echo "sanitizer leg: build $((built - start)) s, tests $(($(date +%s) - built)) s"
