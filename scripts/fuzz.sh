#!/usr/bin/env bash
# Fuzzes one target with libFuzzer (clang, with AddressSanitizer and
# UndefinedBehaviorSanitizer) for a number of seconds:
#
#   scripts/fuzz.sh TARGET SECONDS [more libFuzzer options]
#
# TARGET is one of archive, settings, scalelist, trim, record, scalelib,
# emulator (tests/fuzz/fuzz_TARGET.cpp). It builds into build-fuzz/, starts from the
# committed seeds in tests/fuzz/corpus/TARGET/ and keeps what it finds in
# build-fuzz/corpus/TARGET/ (not committed); an input that breaks a property
# is saved as build-fuzz/crashes/TARGET-*. Replay one with
# build/bin/fuzz_TARGET_replay FILE. The scale library's target talks to a
# thread on 127.0.0.1 only; the emulator's uses a socket pair.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
targets=(archive settings scalelist trim record scalelib emulator)

if [ $# -lt 2 ] || [[ ! " ${targets[*]} " =~ " $1 " ]] || ! [[ $2 =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh TARGET SECONDS [libFuzzer options]; TARGET: ${targets[*]}" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2
if ! command -v clang++ >/dev/null; then
  echo "clang++ is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

build="$top/build-fuzz"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DZALOHY_GUI=OFF -DZALOHY_BENCH=OFF -DZALOHY_LIBFUZZER=ON >/dev/null
cmake --build "$build" -j2 --target "fuzz_$target"

mkdir -p "$build/corpus/$target" "$build/crashes"
# The targets work on files in a scratch folder under TMPDIR; in memory they
# run several times faster than on a disk.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi
"$build/bin/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$build/crashes/$target-" "$@" \
  "$build/corpus/$target" "$top/tests/fuzz/corpus/$target"
