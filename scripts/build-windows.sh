#!/usr/bin/env bash
# Cross-builds the Windows programs with MinGW-w64, 64-bit into build-win64/
# and 32-bit into build-win32/, and packs dist/zalohy-win64.zip and
# dist/zalohy-win32.zip. Installs what is missing; safe to run again.
#
#   scripts/build-windows.sh               the programs and the zips
#   scripts/build-windows.sh --with-tests  also the 64-bit tests (scripts/test.sh)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

tests=OFF
[ "${1:-}" = "--with-tests" ] && tests=ON

# What each zip holds from its build's bin/, besides CTIMNE.txt.
zip_files=(
  zalohy.exe
  zaltool.exe
  TWSWTCP.DLL
)

scripts/install-deps.sh

# build ARCH FOLDER TESTS: configures and builds one architecture.
build() {
  cmake -S . -B "$2" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-w64-$1.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DZALOHY_GUI=OFF -DZALOHY_TESTS="$3" --no-warn-unused-cli >/dev/null
  cmake --build "$2" -j 2
}

# pack TRIPLE FOLDER ZIP: stripped copies of zip_files and the Czech read-me
# (UTF-8 with a byte-order mark and CR LF line ends, so Notepad shows it right).
pack() {
  local stage="$2/zip"
  rm -rf "$stage"
  mkdir -p "$stage" dist
  for f in "${zip_files[@]}"; do
    "$1-strip" -o "$stage/$f" "$2/bin/$f"
  done
  { printf '\xef\xbb\xbf'; sed 's/$/\r/' scripts/windows/CTIMNE.txt; } >"$stage/CTIMNE.txt"
  rm -f "dist/$3"
  (cd "$stage" && cmake -E tar cf "$top/dist/$3" --format=zip "${zip_files[@]}" CTIMNE.txt)
  echo "dist/$3: $(stat -c %s "dist/$3") bytes"
}

build x86_64 build-win64 "$tests"
build i686 build-win32 OFF
pack x86_64-w64-mingw32 build-win64 zalohy-win64.zip
pack i686-w64-mingw32 build-win32 zalohy-win32.zip
