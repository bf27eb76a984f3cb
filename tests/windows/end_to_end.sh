#!/usr/bin/env bash
# End to end under Wine, for the 64-bit or the 32-bit Windows build (each
# under its own Wine, see cmake/wine-run.sh), against the Linux
# scale-emulator on loopback:
#  - the backup and send steps of scale_run_probe.exe on the build's
#    TWSWTCP.DLL, the archive compared byte for byte with the one the Linux
#    build makes of the same scale;
#  - zaltool.exe backup, send and backup-list --jobs=3 of three scales, every
#    archive byte for byte the Linux build's;
#  - zaltool.exe's --ping through WinHTTP against a small HTTP server on
#    127.0.0.1 (tests/tools/ping_test.sh);
#  - with ARCHIVES: the archives are kept there, or, when the other build has
#    left its own there, compared byte for byte with those;
#  - a 32-bit build also backs up all six kinds through libraries whose entry
#    is cdecl, stdcall and register (regparm(2)), which check the three words
#    and hand the call on to the stand-in library.
#   end_to_end.sh LINUX_BUILD WINDOWS_BUILD [ARCHIVES]
# Needs WINEPREFIX set to a prepared prefix (the Windows leg makes one).
set -euo pipefail
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
archives=${3:+$(mkdir -p "$3" && cd "$3" && pwd)}
wine_run=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../cmake" && pwd)/wine-run.sh
source "$(dirname "${BASH_SOURCE[0]}")/emulator.sh"
# The library talks to loopback addresses only.
export TWSWTCP_LOOPBACK_ONLY=1

work=$(mktemp -d /tmp/zalohy-windows-e2e.XXXXXX)
emulator=
cleanup() {
  if [ -n "$emulator" ]; then kill "$emulator" 2>/dev/null || true; wait "$emulator" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "end_to_end: $*" >&2; exit 1; }
ids=(34 38 52 41 25 67)
machine() { od -An -tx2 -j$(($(od -An -tu4 -j60 -N4 "$1") + 4)) -N2 "$1" | tr -d ' '; }
bits=64
[ "$(machine "$windows/bin/zaltool.exe")" != 014c ] || bits=32

# Four emulated scales on the library's default port (a file name on Windows
# cannot hold the host:port form): the source, the send target and two more
# for the list. When another run holds the addresses, the next ones are tried.
for n in 91 95 99 103; do
  source=127.0.0.$n target=127.0.0.$((n + 1)) listed1=127.0.0.$((n + 2)) listed2=127.0.0.$((n + 3))
  start_emulator "$linux/bin/scale-emulator" "$work/emulator.log" --data "$work/scales" \
    --listen "$source" --listen "$target" --listen "$listed1" --listen "$listed2" --seed && break
done
[ -n "$emulator" ] || fail "no emulated scale could start: $(cat "$work/emulator.log")"
rm -f "$work/scales/$target"/*.dat

# same_members ARCHIVE SCALE: every member is that scale's file.
same_members() {
  local id
  for id in "${ids[@]}"; do
    "$linux/bin/zaltool" extract "$1" "$id" "$work/member.dat"
    cmp "$work/member.dat" "$work/scales/$2/$id.dat" || fail "member $id of $1 is not $2's file"
  done
}
# keep NAME FILE: keeps FILE as NAME in ARCHIVES, or compares it with the
# other build's.
keep() {
  [ -n "$archives" ] || return 0
  if [ -f "$archives/$1" ]; then
    cmp "$archives/$1" "$2" || fail "the $bits-bit build's $1 differs from the other build's"
  else
    cp "$2" "$archives/$1"
  fi
}

# Backup of every kind by both builds, each in its own working folder.
mkdir "$work/linux" "$work/windows"
(cd "$work/linux" && "$linux/bin/scale_run_probe" backup "$source" scale.zal >probe.log) ||
  fail "Linux backup failed"
(cd "$work/windows" && "$wine_run" "$windows/bin/scale_run_probe.exe" backup "$source" scale.zal >probe.log) ||
  fail "Windows backup failed"
cmp "$work/linux/scale.zal" "$work/windows/scale.zal" || fail "the Windows archive differs from the Linux one"
same_members "$work/windows/scale.zal" "$source"
keep probe.zal "$work/windows/scale.zal"

# Send of that archive by the Windows build to a scale that has no data.
(cd "$work/windows" && "$wine_run" "$windows/bin/scale_run_probe.exe" send scale.zal "$target" >>probe.log) ||
  fail "Windows send failed"
for id in "${ids[@]}"; do
  cmp "$work/scales/$target/$id.dat" "$work/scales/$source/$id.dat" || fail "member $id did not reach the scale"
done
# Nothing but the archive, the status file and the log is left behind.
left=$(cd "$work/windows" && ls | tr '\n' ' ')
[ "$left" = "error probe.log scale.zal " ] || fail "left in the working folder: $left"

# zaltool.exe: backup, send to the emptied target, and a list of three scales
# three at a time.
mkdir "$work/zaltool" "$work/list"
rm -f "$work/scales/$target"/*.dat
(cd "$work/zaltool" && "$wine_run" "$windows/bin/zaltool.exe" backup "$source" scale.zal >zaltool.log) ||
  fail "zaltool.exe backup failed"
cmp "$work/linux/scale.zal" "$work/zaltool/scale.zal" || fail "zaltool.exe's archive differs from the Linux one"
keep zaltool.zal "$work/zaltool/scale.zal"
(cd "$work/zaltool" && "$wine_run" "$windows/bin/zaltool.exe" send scale.zal "$target" >>zaltool.log) ||
  fail "zaltool.exe send failed"
for id in "${ids[@]}"; do
  cmp "$work/scales/$target/$id.dat" "$work/scales/$source/$id.dat" || fail "zaltool.exe did not send $id"
done
printf '%s zdroj\r\n%s pokladna 1\r\n%s pokladna 2\r\n' "$source" "$listed1" "$listed2" >"$work/zaltool/seznam.lst"
(cd "$work/zaltool" && "$wine_run" "$windows/bin/zaltool.exe" backup-list seznam.lst "Z:$work/list" --jobs=3 >>zaltool.log) ||
  fail "zaltool.exe backup-list failed"
for scale in "$source" "$listed1" "$listed2"; do
  archive=$(ls "$work/list/$scale"-*.zal 2>/dev/null | head -1)
  [ -n "$archive" ] || fail "backup-list made no archive of $scale: $(ls "$work/list")"
  same_members "$archive" "$scale"
  (cd "$work/linux" && "$linux/bin/scale_run_probe" backup "$scale" "$scale.zal" >>probe.log)
  cmp "$archive" "$work/linux/$scale.zal" || fail "backup-list's archive of $scale differs from the Linux one"
  keep "list-$scale.zal" "$archive"
done
# The three archives and the run record, with a line per scale, nothing else.
[ "$(ls "$work/list" | wc -l)" -eq 4 ] && [ "$(ls "$work/list"/*.zal | wc -l)" -eq 3 ] ||
  fail "backup-list left: $(ls "$work/list")"
[ "$(grep -c '"status":"ok"' "$work/list/zaltool-zaznam.jsonl")" -eq 3 ] ||
  fail "backup-list's run record: $(cat "$work/list/zaltool-zaznam.jsonl")"

# --ping through WinHTTP: delivered, to /fail, and three that cannot be.
"$(dirname "${BASH_SOURCE[0]}")/../tools/ping_test.sh" "$source" "$wine_run" "$windows/bin/zaltool.exe" ||
  fail "zaltool.exe's --ping"

# The 32-bit build: a backup through libraries of each entry convention.
conventions=''
if [ "$bits" = 32 ]; then
  for convention in cdecl stdcall register; do
    kit=$work/$convention
    mkdir -p "$kit/run"
    cp "$windows/bin/zaltool.exe" "$windows/tests/transfer/$convention/TWSWTCP.DLL" "$kit/"
    cp "$windows/bin/TWSWTCP.DLL" "$kit/standin.dll"
    (cd "$kit/run" && "$wine_run" "$kit/zaltool.exe" backup "$source" scale.zal >zaltool.log) ||
      fail "the backup through the $convention library failed: $(cat "$kit/run/error" 2>/dev/null)"
    cmp "$work/linux/scale.zal" "$kit/run/scale.zal" || fail "the archive through the $convention library differs"
  done
  conventions=", and through cdecl, stdcall and register entries"
fi

echo "end_to_end: the $bits-bit Windows build backed up six kinds from $source byte for byte like the Linux" \
  "build and sent them to $target, with scale_run_probe.exe and zaltool.exe (backup-list of three," \
  "--jobs=3, --ping)$conventions${archives:+; archives kept or compared in $archives}"
