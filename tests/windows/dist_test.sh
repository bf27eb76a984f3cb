#!/usr/bin/env bash
# What dist/ gives a technician, under wine64 in the Windows leg's prefix and
# X server (WINEPREFIX, DISPLAY):
#  - the demo kit: its stand-in library says what it is in its version
#    resource; its Windows emulator serves the six kinds to its zaltool;
#  - the x64 installer, silently: refused without a library, with a text file
#    and with a library that has no ordinal 2; a 32-bit library gets the
#    32-bit build, a 64-bit one the 64-bit build; an update without /DLL=
#    keeps the library and the working folder; the shortcuts start the
#    installed program in the working folder; the program shows its main
#    window, and an update meanwhile fails; the uninstaller removes the program and its registry entry and
#    keeps the working folder.
#   dist_test.sh LINUX_BUILD [SCREENSHOT_FOLDER]
set -euo pipefail
linux=$(cd "$1" && pwd)
shots=${2:+$(mkdir -p "$2" && cd "$2" && pwd)}
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$top/tests/windows/emulator.sh"
wine=$top/cmake/wine-run.sh
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$top/build-win64/CMakeCache.txt")
# Wine makes no Linux menu entries of the shortcuts.
export TWSWTCP_LOOPBACK_ONLY=1 WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
work=$(mktemp -d /tmp/zalohy-dist.XXXXXX)
emulator='' program=''
cleanup() {
  for p in "$emulator" "$program"; do [ -z "$p" ] || kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "dist_test: $*" >&2; exit 1; }
machine() { od -An -tx2 -j$(($(od -An -tu4 -j60 -N4 "$1") + 4)) -N2 "$1" | tr -d ' '; }

# --- The demo kit ----------------------------------------------------------
demo=$work/demo
mkdir "$demo"
(cd "$demo" && cmake -E tar xf "$top/dist/zalohy-$version-demo-win64.zip")
x86_64-w64-mingw32-windres -i "$demo/TWSWTCP.DLL" -O rc | grep 'Comments.*Komunikuje jen s emul' >/dev/null ||
  fail "the demo kit's TWSWTCP.DLL does not say it is a stand-in"
for n in 121 123 125 127; do
  scale=127.0.0.$n
  start_emulator "$wine" "$work/emulator.log" "$demo/scale-emulator.exe" --data "Z:$work/scales" \
    --listen "$scale" --seed && break
done
[ -n "$emulator" ] || fail "the demo kit's emulator did not start: $(cat "$work/emulator.log")"
mkdir "$work/run"
(cd "$work/run" && "$wine" "$demo/zaltool.exe" backup "$scale" demo.zal >backup.log) || fail "demo backup failed"
for id in 34 38 52 41 25 67; do
  "$linux/bin/zaltool" extract "$work/run/demo.zal" "$id" "$work/member.dat"
  cmp "$work/member.dat" "$work/scales/$scale/$id.dat" || fail "demo member $id is not the scale's file"
done
kill "$emulator"; wait "$emulator" 2>/dev/null || true; emulator=''

# --- The installer ---------------------------------------------------------
setup=$top/dist/zalohy-$version-setup-x64.exe
users=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/..)
users=$(cd "$users" && pwd)
installed=$users/AppData/Local/Programs/Zalohy
data=$users/Documents/Zalohy
menu="$users/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zalohy"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zalohy'
printf 'not a library\r\n' >"$work/text.dll"
for dll in '' "$work/text.dll" "$top/build-win64/tests/core/core_fake_byname.dll"; do
  if "$wine" "$setup" /S ${dll:+"/DLL=Z:${dll//\//\\}"}; then fail "the installer took '$dll'"; fi
  [ ! -e "$installed" ] || fail "a refused install left $installed"
done
for bits in 32 64 ''; do
  dll=${bits:+$top/build-win$bits/bin/TWSWTCP.DLL}
  "$wine" "$setup" /S ${dll:+"/DLL=Z:${dll//\//\\}"} || fail "install with '$dll' failed"
  expected=$([ "${bits:-64}" = 64 ] && echo 8664 || echo 014c)
  for f in zalohy.exe zaltool.exe TWSWTCP.DLL; do
    [ "$(machine "$installed/$f")" = "$expected" ] || fail "$f is not for $expected after installing '$dll'"
  done
  [ "$bits" != 64 ] || echo 'IP_ADDRESS=127.0.0.9' >>"$data/Skladex.ini"
done
grep -q 'IP_ADDRESS=127.0.0.9' "$data/Skladex.ini" || fail "the update replaced Skladex.ini"
[ -f "$data/seznam.lst" ] || fail "no seznam.lst in $data"
"$wine" reg query "$key" /v DisplayVersion | grep -q "$version" || fail "no uninstall entry"
shortcut=$menu/Zálohování\ dat.lnk
{ strings -a "$shortcut"; strings -a -el "$shortcut"; } >"$work/lnk.txt"
grep -qi 'AppData\\Local\\Programs\\Zalohy\\zalohy.exe' "$work/lnk.txt" || fail "the shortcut does not start zalohy.exe"
grep -qi 'Documents\\Zalohy$' "$work/lnk.txt" || fail "the shortcut does not work in Documents\\Zalohy"
[ -e "$menu/Návod CTIMNE.txt.lnk" ] && [ -e "$menu/Odinstalovat.lnk" ] || fail "shortcuts missing: $(ls "$menu")"

# The installed 64-bit program starts from its shortcut's folder.
(cd "$data" && exec "$wine" "$installed/zalohy.exe") &
program=$!
for _ in $(seq 600); do
  w=$(xdotool search --onlyvisible --name '^Zálohování dat SM90/300/500 ETH v\.' 2>/dev/null | head -1 || true)
  [ -z "$w" ] || break
  sleep 0.1
done
[ -n "$w" ] || fail "the installed program showed no main window"
if [ -n "$shots" ]; then import -window root "$shots/installed-program.png"; fi
# An update cannot replace the running program: it must not report success.
if "$wine" "$setup" /S; then fail "an update over the running program reported success"; fi
kill "$program"; wait "$program" 2>/dev/null || true; program=''

"$wine" "$installed/uninstall.exe" /S
timeout 60 /usr/lib/wine/wineserver -w || true  # the uninstaller runs as a copy of itself
[ ! -e "$installed" ] && [ ! -e "$menu" ] || fail "the uninstaller left $(ls "$installed" "$menu" 2>&1)"
if "$wine" reg query "$key" >/dev/null 2>&1; then fail "the uninstaller left $key"; fi
grep -q 'IP_ADDRESS=127.0.0.9' "$data/Skladex.ini" || fail "the uninstaller took the working folder"
echo "dist_test: the demo kit backed up six kinds; the installer took the fitting build and left the data"
