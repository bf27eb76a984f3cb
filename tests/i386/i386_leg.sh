#!/usr/bin/env bash
# The 32-bit leg of scripts/test.sh: the core and run tests built for 32-bit
# x86 Linux (cmake/i686-linux.cmake) into build-i386/ and run under qemu-i386.
# The same C++ as the 32-bit Windows build, with 32-bit size_t, long and
# pointers; the library's entry is also called there in each x86 convention.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$top"
start=$SECONDS

cmake -S . -B build-i386 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/i686-linux.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZALOHY_GUI=OFF -DZALOHY_BENCH=OFF >/dev/null
cmake --build build-i386 --target platform_tests core_tests run_tests
built=$SECONDS
(cd build-i386 && ctest --output-on-failure --timeout 300 -j "$(nproc)")
echo "i386 leg: build $((built - start)) s, tests $((SECONDS - built)) s"
