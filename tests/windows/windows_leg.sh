#!/usr/bin/env bash
# The Windows leg of scripts/test.sh, run after the Linux leg (whose build/
# gives the emulator and the reference archive):
#  - both architectures cross-built and packed into dist/ (scripts/build-windows.sh);
#  - the 64-bit core, run and window tests run under wine64 through CTest;
#  - the 64-bit backup and send steps against the Linux emulator on loopback,
#    once without windows and once through the program's real windows;
#  - the 32-bit and 64-bit headers, imports and exports checked (32-bit
#    programs cannot run on these machines);
#  - dist/: what each zip holds, the demo kit and the installer under wine64.
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

# One fresh Wine prefix for the whole leg, prepared once.
WINEPREFIX=$(mktemp -d /tmp/zalohy-wine.XXXXXX)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
tests/windows/prepare_prefix.sh

(cd build-win64 && ctest --output-on-failure --timeout 300 -j 2)

tests/windows/end_to_end.sh build build-win64
# Its screenshots stay in build-win64/screenshots (docs/ holds the README's).
tests/windows/window_test.sh build build-win64 build-win64/screenshots

for bin in build-win32/bin build-win64/bin; do
  machine=0x14c triple=i686-w64-mingw32
  [ "$bin" = build-win64/bin ] && machine=0x8664 triple=x86_64-w64-mingw32
  tests/windows/check_pe.sh "$triple" "$machine" "$bin/zalohy.exe" "$bin/zaltool.exe" "$bin/TWSWTCP.DLL" \
    "$bin/scale-emulator.exe"
done
# The check itself refuses a library that exports its entry by name.
byname=$(mktemp -d)
cp build-win64/tests/core/core_fake_byname.dll "$byname/TWSWTCP.DLL"
if tests/windows/check_pe.sh x86_64-w64-mingw32 0x8664 "$byname/TWSWTCP.DLL" 2>/dev/null; then
  echo "check_pe.sh accepted a library whose entry has a name" >&2
  exit 1
fi
rm -rf "$byname"

# The release zips hold no scale library: the technician installs the maker's.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win64/CMakeCache.txt)
release="CTIMNE.txt LICENSE.txt zalohy.exe zaltool.exe "
for zip in win64:"$release" win32:"$release" \
  demo-win64:"CTIMNE.txt LICENSE.txt TWSWTCP.DLL demo.cmd scale-emulator.exe zalohy.exe zaltool.exe "; do
  file=dist/zalohy-$version-${zip%%:*}.zip
  held=$(cmake -E tar tf "$file" | sort | tr '\n' ' ')
  [ "$held" = "${zip#*:}" ] || { echo "$file holds: $held" >&2; exit 1; }
  echo "$file: $(stat -c %s "$file") bytes: $held"
done

# The demo kit and the installer as a technician uses them.
dist_start=$SECONDS
tests/windows/dist_test.sh build build-win64/screenshots
echo "dist_test.sh took $((SECONDS - dist_start)) s"

echo "Windows leg passed in $((SECONDS - start)) s"
