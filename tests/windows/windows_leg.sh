#!/usr/bin/env bash
# The Windows leg of scripts/test.sh, run after the Linux leg (whose build/
# gives the emulator and the reference archive). Both builds are run, each
# under its own Wine 8 (cmake/wine-run.sh picks the loader by the program):
#  - both architectures cross-built with their tests and packed into dist/
#    (scripts/build-windows.sh);
#  - the 64-bit build (build-win64) under wine64: the core, run and window
#    tests through CTest; the backup and send steps, zaltool.exe's backup,
#    send and backup-list against the Linux emulator on loopback, once without
#    windows and once through the program's real windows;
#  - the 32-bit build (build-win32) under the private 32-bit Wine of
#    scripts/wine32.sh (downloaded once into a cache outside the tree): the
#    same tests, runs and windows, its archives byte for byte the 64-bit
#    build's, and backups through libraries whose entry is cdecl, stdcall and
#    register. Where the kernel cannot execute 32-bit programs, only the
#    runner's tests and the runs go, under qemu-i386, and the leg says that
#    the 32-bit windows were not tested;
#  - both builds' headers, imports and exports checked;
#  - dist/: what each zip holds, both demo kits, and both installers
#    (setup-x64.exe under wine64, setup.exe under 32-bit Wine), and the
#    x64 installer's nightly job (tests/windows/night_task_test.sh).
# Not tested here: a real Windows 10 or 11.
set -euo pipefail
if [ -z "${ZALOHY_TEST_DISPLAY:-}" ]; then
  # One X server for every Windows program of the leg, there before the Wine
  # server: one started without a display cannot make windows later.
  exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" env ZALOHY_TEST_DISPLAY=1 "$0" "$@"
fi
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$top"
start=$SECONDS

scripts/build-windows.sh --with-tests
built=$SECONDS

# Fresh Wine prefixes for the whole leg, prepared once: the 64-bit one, and
# inside it (win32/) the 32-bit one.
WINEPREFIX=$(mktemp -d /tmp/zalohy-wine.XXXXXX)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
archives=$WINEPREFIX/archives
wine32=''
cleanup() {
  cmake/wine-run.sh --64 --server -k 2>/dev/null || true
  if [ -n "$wine32" ]; then cmake/wine-run.sh --32 --server -k 2>/dev/null || true; fi
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
tests/windows/prepare_prefix.sh 64

# --- The 64-bit build --------------------------------------------------------
(cd build-win64 && ctest --output-on-failure --timeout 300 -j 2)
tests/windows/end_to_end.sh build build-win64 "$archives"
# Its screenshots stay in build-win64/screenshots (docs/ holds the README's).
tests/windows/window_test.sh build build-win64 build-win64/screenshots
win64_done=$SECONDS

# --- The 32-bit build --------------------------------------------------------
# The same under 32-bit Wine; its archives are compared with the 64-bit ones.
scripts/wine32.sh
wine32=1
wine32_ready=$SECONDS
tests/windows/prepare_prefix.sh 32
windows32=tested
if scripts/wine32.sh --native >/dev/null; then
  (cd build-win32 && ctest --output-on-failure --timeout 300 -j 2)
  tests/windows/end_to_end.sh build build-win32 "$archives"
  tests/windows/window_test.sh build build-win32 build-win32/screenshots
else
  # Under qemu-i386 Wine shows no window (scripts/wine32.sh said so above),
  # every Wine start costs seconds and Wine's threads are not reliable (a test
  # of many threads crashed qemu, another hung): the runner's and the entry
  # conventions' tests in one start of core_tests.exe, then the runs.
  (cd build-win32/tests/transfer && "$top/cmake/wine-run.sh" "$top/build-win32/bin/core_tests.exe" --gtest_brief=1 \
    '--gtest_filter=Runner.*:Pe32/*')
  tests/windows/end_to_end.sh build build-win32 "$archives"
  windows32="NOT tested (no native 32-bit execution)"
fi
win32_done=$SECONDS

for bin in build-win32/bin build-win64/bin; do
  machine=0x14c triple=i686-w64-mingw32
  [ "$bin" = build-win64/bin ] && machine=0x8664 triple=x86_64-w64-mingw32
  tests/windows/check_pe.sh "$triple" "$machine" "$bin/zalohy.exe" "$bin/zaltool.exe" "$bin/TWSWTCP.DLL" \
    "$bin/scale-emulator.exe"
done
# The 32-bit libraries of each entry convention look like the maker's.
tests/windows/check_pe.sh i686-w64-mingw32 0x14c build-win32/tests/transfer/{cdecl,stdcall,register}/TWSWTCP.DLL
# The check itself refuses a library that exports its entry by name.
byname=$(mktemp -d)
cp build-win64/tests/transfer/core_fake_byname.dll "$byname/TWSWTCP.DLL"
if tests/windows/check_pe.sh x86_64-w64-mingw32 0x8664 "$byname/TWSWTCP.DLL" 2>/dev/null; then
  echo "check_pe.sh accepted a library whose entry has a name" >&2
  exit 1
fi
rm -rf "$byname"

# The release zips hold no scale library: the technician installs the maker's.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win64/CMakeCache.txt)
release="CTIMNE.txt LICENSE.txt zalohy.exe zaltool.exe "
for zip in win64:"$release" win32:"$release" \
  demo-win64:"CTIMNE.txt LICENSE.txt TWSWTCP.DLL demo.cmd scale-emulator.exe zalohy.exe zaltool.exe " \
  demo-win32:"CTIMNE.txt LICENSE.txt TWSWTCP.DLL demo.cmd scale-emulator.exe zalohy.exe zaltool.exe "; do
  file=dist/zalohy-$version-${zip%%:*}.zip
  held=$(cmake -E tar tf "$file" | sort | tr '\n' ' ')
  [ "$held" = "${zip#*:}" ] || { echo "$file holds: $held" >&2; exit 1; }
  echo "$file: $(stat -c %s "$file") bytes: $held"
done

# The demo kits and the installers as a technician uses them.
dist_start=$SECONDS
tests/windows/dist_test.sh build build-win64/screenshots
echo "dist_test.sh took $((SECONDS - dist_start)) s"
# The installer's optional nightly job, as far as Wine's Task Scheduler goes.
tests/windows/night_task_test.sh "dist/zalohy-$version-setup-x64.exe" build

echo "Windows leg passed in $((SECONDS - start)) s: build $((built - start)) s," \
  "64-bit build $((win64_done - built)) s, 32-bit Wine ready in $((wine32_ready - win64_done)) s," \
  "32-bit build $((win32_done - wine32_ready)) s, dist $((SECONDS - dist_start)) s;" \
  "32-bit windows $windows32"
