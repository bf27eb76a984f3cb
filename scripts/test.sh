#!/usr/bin/env bash
# Installs what is missing, configures and builds into build/, and runs every
# test; then the sanitizer leg, the 32-bit leg and the Windows leg
# (build-sanitize/, build-i386/, build-win64/, build-win32/, dist/). Safe to
# run again.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

scripts/install-deps.sh
# The private 32-bit Wine of the Windows leg (scripts/wine32.sh): downloaded
# the first time (about 140 MB) while the builds run; the leg waits for it.
mkdir -p build
scripts/wine32.sh >build/wine32.log 2>&1 &
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
(cd build && ctest --output-on-failure --timeout 300 -j "$(nproc)")

# --- Sanitizer leg --------------------------------------------------------
# The same tests (core, runs, net, fuzz corpora, crash, windows offscreen)
# built a second time with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, in build-sanitize/. Any report ends the program
# that made it, so the test fails; warnings are errors here, so the project
# stays clean under clang.
scripts/sanitize.sh

# --- 32-bit leg ------------------------------------------------------------
# The core and run tests built as 32-bit x86 Linux code into build-i386/ and
# run under qemu-i386: the C++ of the 32-bit Windows build on 32-bit size_t,
# long and pointers, and the library's entry called in each x86 convention.
tests/i386/i386_leg.sh

# --- Windows leg -----------------------------------------------------------
# Both architectures cross-built with MinGW-w64 and packed into dist/; each
# build's core, run and window tests, its runs against the emulator on
# loopback, its demo kit and its installer, the 64-bit build under wine64,
# the 32-bit build under the private 32-bit Wine (console only, under
# qemu-i386, where the kernel cannot execute 32-bit programs; the leg then
# says so) (tests/windows/windows_leg.sh). This
# is also the build of the core without any window toolkit (no Qt exists for
# it), so nothing below the front ends can come to depend on Qt unnoticed.
tests/windows/windows_leg.sh
