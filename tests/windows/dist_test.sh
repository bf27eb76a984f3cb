#!/usr/bin/env bash
# What dist/ gives a technician, under Wine in the Windows leg's prefixes and
# X server (WINEPREFIX, its win32/ for 32-bit programs, DISPLAY):
#  - both demo kits (64- and 32-bit): the stand-in library says what it is in
#    its version resource; the kit's Windows emulator serves the six kinds to
#    its zaltool;
#  - the x64 installer under wine64, silently: refused without a library, with
#    a text file and with a library that has no ordinal 2; a 32-bit library
#    gets the 32-bit build, a 64-bit one the 64-bit build; an update without
#    /DLL= keeps the library and the working folder; the shortcuts start the
#    installed program in the working folder; the program shows its main
#    window, and an update meanwhile fails; the uninstaller removes the
#    program and its registry entry and keeps the working folder;
#  - the x86 installer under 32-bit Wine (a 32-bit Windows), silently: refused
#    with a 64-bit library (its Czech text, exit code 2), a text file and a
#    library without ordinal 2; a 32-bit library installs the 32-bit build
#    (machine 0x14c), which shows its main window; an update keeps the working
#    folder and the chosen library; the uninstaller keeps the working folder.
#    Left out, and said so, where the kernel cannot execute 32-bit programs.
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

# --- The demo kits ---------------------------------------------------------
native32=''
"$top/scripts/wine32.sh" --native >/dev/null && native32=1
for kit in 64:x86_64 32:i686; do
  bits=${kit%%:*}
  demo=$work/demo$bits
  mkdir "$demo" "$work/run$bits"
  (cd "$demo" && cmake -E tar xf "$top/dist/zalohy-$version-demo-win$bits.zip")
  for f in zalohy.exe zaltool.exe TWSWTCP.DLL scale-emulator.exe; do
    [ "$(machine "$demo/$f")" = "$([ "$bits" = 64 ] && echo 8664 || echo 014c)" ] ||
      fail "the $bits-bit demo kit's $f is for $(machine "$demo/$f")"
  done
  "${kit#*:}-w64-mingw32-windres" -i "$demo/TWSWTCP.DLL" -O rc | grep 'Comments.*Komunikuje jen s emul' >/dev/null ||
    fail "the $bits-bit demo kit's TWSWTCP.DLL does not say it is a stand-in"
  for n in 121 123 125 127; do
    scale=127.0.0.$n
    start_emulator "$wine" "$work/emulator.log" "$demo/scale-emulator.exe" --data "Z:$work/scales$bits" \
      --listen "$scale" --seed && break
  done
  [ -n "$emulator" ] || fail "the $bits-bit demo kit's emulator did not start: $(cat "$work/emulator.log")"
  (cd "$work/run$bits" && "$wine" "$demo/zaltool.exe" backup "$scale" demo.zal >backup.log) ||
    fail "$bits-bit demo backup failed"
  for id in 34 38 52 41 25 67; do
    "$linux/bin/zaltool" extract "$work/run$bits/demo.zal" "$id" "$work/member.dat"
    cmp "$work/member.dat" "$work/scales$bits/$scale/$id.dat" || fail "$bits-bit demo member $id is not the scale's file"
  done
  kill "$emulator"; wait "$emulator" 2>/dev/null || true; emulator=''
done

# --- The installer ---------------------------------------------------------
setup=$top/dist/zalohy-$version-setup-x64.exe
users=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/..)
users=$(cd "$users" && pwd)
installed=$users/AppData/Local/Programs/Zalohy
data=$users/Documents/Zalohy
menu="$users/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zalohy"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zalohy'
printf 'not a library\r\n' >"$work/text.dll"
for dll in '' "$work/text.dll" "$top/build-win64/tests/transfer/core_fake_byname.dll"; do
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
# start_installed FOLDER DATA SHOT: starts FOLDER's zalohy.exe in DATA and
# waits for its main window; a screenshot SHOT in the screenshot folder.
start_installed() {
  (cd "$2" && exec "$wine" "$1/zalohy.exe") &
  program=$!
  local w=''
  for _ in $(seq 600); do
    w=$(xdotool search --onlyvisible --name '^Zálohování dat SM90/300/500 ETH v\.' 2>/dev/null | head -1 || true)
    [ -z "$w" ] || break
    sleep 0.1
  done
  [ -n "$w" ] || fail "the installed program in $1 showed no main window"
  if [ -n "$shots" ]; then import -window root "$shots/$3"; fi
}
start_installed "$installed" "$data" installed-program.png
# An update cannot replace the running program: it must not report success.
if "$wine" "$setup" /S; then fail "an update over the running program reported success"; fi
kill "$program"; wait "$program" 2>/dev/null || true; program=''

"$wine" "$installed/uninstall.exe" /S
timeout 60 "$wine" --64 --server -w || true  # the uninstaller runs as a copy of itself
[ ! -e "$installed" ] && [ ! -e "$menu" ] || fail "the uninstaller left $(ls "$installed" "$menu" 2>&1)"
if "$wine" reg query "$key" >/dev/null 2>&1; then fail "the uninstaller left $key"; fi
grep -q 'IP_ADDRESS=127.0.0.9' "$data/Skladex.ini" || fail "the uninstaller took the working folder"

# --- The x86 installer on a 32-bit Windows -----------------------------------
x86=''
if [ -n "$native32" ]; then
  setup=$top/dist/zalohy-$version-setup.exe
  prefix32=${WINEPREFIX32:-$WINEPREFIX/win32}
  users=$(echo "$prefix32"/drive_c/users/*/AppData/..)
  users=$(cd "$users" && pwd)
  installed=$users/AppData/Local/Programs/Zalohy
  data=$users/Documents/Zalohy
  # A 64-bit library: silently refused with 2; on the pages, its box says why
  # (the text read from Wine's trace of the box's window texts).
  # (A short path: Wine's trace cuts long texts.)
  dll64=$work/TWSWTCP64.DLL
  cp "$top/build-win64/bin/TWSWTCP.DLL" "$dll64"
  status=0
  "$wine" "$setup" /S "/DLL=Z:${dll64//\//\\}" || status=$?
  [ "$status" = 2 ] || fail "the x86 installer ended with $status, not 2, for a 64-bit library"
  WINEDEBUG=+win "$wine" "$setup" "/DLL=Z:${dll64//\//\\}" 2>"$work/setup32.log" &
  program=$!
  reason="Knihovna Z:\\${dll64:1}"
  reason="${reason//\//\\} je 64bitová, ale tyto Windows jsou 32bitové. Použijte 32bitovou knihovnu od výrobce vah."
  said=''
  for _ in $(seq 60); do
    # Wine writes the text as L"..." with \XXXX for each character beyond ASCII.
    said=$({ grep -a 'set_window_text L"Knihovna Z:' "$work/setup32.log" || true; } | head -1 |
      perl -CS -pe 's/^.*?L"//; s/"\s*$//; s/\\(\\|[0-9a-f]{4})/$1 eq "\\" ? "\\" : chr(hex $1)/ge')
    [ -z "$said" ] || break
    # Welcome, the folder and the library page (which holds /DLL=): Enter on each.
    if xdotool search --onlyvisible --name '^Instalace Zálohování dat' >/dev/null 2>&1; then xdotool key Return; fi
    sleep 1
  done
  if [ -n "$shots" ] && [ -n "$said" ]; then sleep 0.5; import -window root "$shots/installer-x86-64bit-library.png"; fi
  kill "$program"; wait "$program" 2>/dev/null || true; program=''
  [ "$said" = "$reason" ] || fail "the x86 installer's box for a 64-bit library said: '$said'"
  for dll in "$work/text.dll" "$top/build-win32/tests/transfer/core_fake_byname.dll"; do
    status=0
    "$wine" "$setup" /S "/DLL=Z:${dll//\//\\}" || status=$?
    [ "$status" = 2 ] || fail "the x86 installer ended with $status, not 2, for '$dll'"
  done
  [ ! -e "$installed" ] || fail "a refused install left $installed"
  dll32=$top/build-win32/bin/TWSWTCP.DLL
  "$wine" "$setup" /S "/DLL=Z:${dll32//\//\\}" || fail "the x86 installer refused the 32-bit library"
  for f in zalohy.exe zaltool.exe TWSWTCP.DLL; do
    [ "$(machine "$installed/$f")" = 014c ] || fail "the x86 installer put a $(machine "$installed/$f") $f"
  done
  echo 'IP_ADDRESS=127.0.0.9' >>"$data/Skladex.ini"
  start_installed "$installed" "$data" installed-program-x86.png
  kill "$program"; wait "$program" 2>/dev/null || true; program=''
  # An update without a library keeps the chosen one and the working folder.
  "$wine" "$setup" /S || fail "the x86 update failed"
  cmp "$installed/TWSWTCP.DLL" "$dll32" || fail "the x86 update replaced the chosen library"
  grep -q 'IP_ADDRESS=127.0.0.9' "$data/Skladex.ini" || fail "the x86 update replaced Skladex.ini"
  "$wine" "$installed/uninstall.exe" /S
  timeout 60 "$wine" --32 --server -w || true
  [ ! -e "$installed" ] || fail "the x86 uninstaller left $(ls "$installed")"
  grep -q 'IP_ADDRESS=127.0.0.9' "$data/Skladex.ini" || fail "the x86 uninstaller took the working folder"
  x86="; the x86 installer on 32-bit Wine took the 32-bit build, refused the rest and left the data"
else
  x86="; the x86 installer was NOT run (no native 32-bit execution)"
fi
echo "dist_test: both demo kits backed up six kinds; the x64 installer took the fitting build and left the data$x86"
