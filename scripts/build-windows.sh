#!/usr/bin/env bash
# Cross-builds the Windows programs with MinGW-w64, 64-bit into build-win64/
# and 32-bit into build-win32/, and makes in dist/ (VERSION is the project's
# version in CMakeLists.txt):
#   zalohy-VERSION-win64.zip, -win32.zip   the programs, read-me and licence,
#                                          without any scale library
#   zalohy-VERSION-demo-win64.zip, -demo-win32.zip
#                                          the programs with our stand-in library
#                                          of the same bits, the scale emulator
#                                          and demo.cmd
#   zalohy-VERSION-setup.exe, -setup-x64.exe  the installer (NSIS), for x86 and
#                                          for x64 Windows, each with both builds
# Installs what is missing; safe to run again.
#
#   scripts/build-windows.sh               the programs and dist/
#   scripts/build-windows.sh --with-tests  also both builds' tests (scripts/test.sh)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

tests=OFF
[ "${1:-}" = "--with-tests" ] && tests=ON

scripts/install-deps.sh

# build ARCH FOLDER TESTS: configures and builds one architecture.
build() {
  local launcher=()
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
  cmake -S . -B "$2" -G Ninja "${launcher[@]}" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-w64-$1.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DZALOHY_GUI=OFF -DZALOHY_TESTS="$3" --no-warn-unused-cli >/dev/null
  cmake --build "$2" -j 2
}

# stage TRIPLE BUILD STAGE FILES...: stripped copies of FILES from BUILD/bin
# in the folder STAGE, with the Czech read-me (UTF-8 with a byte-order mark,
# VERZE in it replaced by the version) and the licence, both with CR LF line
# ends, so Notepad shows them right.
stage() {
  local triple=$1 bin="$2/bin" stage=$3 f
  shift 3
  rm -rf "$stage"
  mkdir -p "$stage"
  for f in "$@"; do
    "$triple-strip" -o "$stage/$f" "$bin/$f"
  done
  { printf '\xef\xbb\xbf'; sed -e "s/VERZE/$version/g" -e 's/$/\r/' scripts/windows/CTIMNE.txt; } >"$stage/CTIMNE.txt"
  sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
}

# pack FOLDER ZIP: a zip of everything in FOLDER.
pack() {
  rm -f "dist/$2"
  (cd "$1" && cmake -E tar cf "$top/dist/$2" --format=zip -- *)
  echo "dist/$2: $(stat -c %s "dist/$2") bytes"
}

build x86_64 build-win64 "$tests"
build i686 build-win32 "$tests"
# The one version: CMake's project(zalohy VERSION ...).
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win64/CMakeCache.txt)
[ -n "$version" ] || { echo "no project version in build-win64/CMakeCache.txt" >&2; exit 1; }
mkdir -p dist
rm -f dist/zalohy-*.zip dist/zalohy-*setup*.exe

for arch in 64:x86_64 32:i686; do
  bits=${arch%%:*} triple=${arch#*:}-w64-mingw32
  stage "$triple" "build-win$bits" "build-win$bits/stage" zalohy.exe zaltool.exe
  pack "build-win$bits/stage" "zalohy-$version-win$bits.zip"
done

# The demo kits: the programs, the stand-in library and the emulator, each
# build with its own bits.
for arch in 64:x86_64 32:i686; do
  bits=${arch%%:*} triple=${arch#*:}-w64-mingw32
  stage "$triple" "build-win$bits" "build-win$bits/demo" zalohy.exe zaltool.exe TWSWTCP.DLL scale-emulator.exe
  sed 's/$/\r/' scripts/windows/demo.cmd >"build-win$bits/demo/demo.cmd"
  pack "build-win$bits/demo" "zalohy-$version-demo-win$bits.zip"
done

# The installers: one script, each with both builds' staged programs.
vi_version=$version
while [ "$(tr -cd . <<<"$vi_version" | wc -c)" -lt 3 ]; do vi_version=$vi_version.0; done
for target in x86-unicode:setup amd64-unicode:setup-x64; do
  out=dist/zalohy-$version-${target#*:}.exe
  makensis -V2 -INPUTCHARSET UTF8 -DTARGET="${target%%:*}" -DVERSION="$version" -DVIVERSION="$vi_version" \
    -DOUTFILE="$top/$out" -DBIN32="$top/build-win32/stage" -DBIN64="$top/build-win64/stage" \
    -DDOCS="$top/build-win64/stage" win32/installer/zalohy.nsi
  echo "$out: $(stat -c %s "$out") bytes"
done
