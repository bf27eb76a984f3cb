#!/usr/bin/env bash
# Installs what is missing, configures and builds into build/, and runs every
# test; then the Windows leg (build-win64/, build-win32/, dist/). Safe to run
# again.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
(cd build && ctest --output-on-failure --timeout 300 -j "$(nproc)")

# The core once more without any window toolkit, so that nothing below the
# front ends can come to depend on Qt unnoticed.
cmake -S . -B build-core -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZALOHY_GUI=OFF >/dev/null
cmake --build build-core --target core_tests run_tests
build-core/bin/core_tests --gtest_brief=1
build-core/bin/run_tests --gtest_brief=1

# Windows leg: both architectures cross-built with MinGW-w64 and packed into
# dist/, the 64-bit tests run under wine64 (tests/windows/windows_leg.sh).
tests/windows/windows_leg.sh
