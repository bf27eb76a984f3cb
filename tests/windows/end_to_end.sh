#!/usr/bin/env bash
# End to end under Wine: the backup and send steps of the 64-bit Windows build
# (scale_run_probe.exe on the Windows TWSWTCP.DLL) against the Linux
# scale-emulator on loopback, and the archive compared byte for byte with the
# one the Linux build makes of the same scale.
#   end_to_end.sh LINUX_BUILD WINDOWS_BUILD
# Needs WINEPREFIX set to a prepared prefix (scripts/test.sh makes one).
set -euo pipefail
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
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

# Two emulated scales on the library's default port: a file name on Windows
# cannot hold the host:port form. When another run holds a pair of loopback
# addresses, the next pair is tried.
for n in 91 93 95 97; do
  source=127.0.0.$n target=127.0.0.$((n + 1))
  start_emulator "$linux/bin/scale-emulator" "$work/emulator.log" --data "$work/scales" \
    --listen "$source" --listen "$target" --seed && break
done
[ -n "$emulator" ] || fail "no emulated scale could start: $(cat "$work/emulator.log")"

# Backup of every kind by both builds, each in its own working folder.
mkdir "$work/linux" "$work/windows"
(cd "$work/linux" && "$linux/bin/scale_run_probe" backup "$source" scale.zal >probe.log) ||
  fail "Linux backup failed"
(cd "$work/windows" && "$wine_run" "$windows/bin/scale_run_probe.exe" backup "$source" scale.zal >probe.log) ||
  fail "Windows backup failed"
cmp "$work/linux/scale.zal" "$work/windows/scale.zal" || fail "the Windows archive differs from the Linux one"
for id in "${ids[@]}"; do
  "$linux/bin/zaltool" extract "$work/windows/scale.zal" "$id" "$work/member.dat"
  cmp "$work/member.dat" "$work/scales/$source/$id.dat" || fail "member $id is not the scale's file"
done

# Send of that archive by the Windows build to a scale that has no data.
rm -f "$work/scales/$target"/*.dat
(cd "$work/windows" && "$wine_run" "$windows/bin/scale_run_probe.exe" send scale.zal "$target" >>probe.log) ||
  fail "Windows send failed"
for id in "${ids[@]}"; do
  cmp "$work/scales/$target/$id.dat" "$work/scales/$source/$id.dat" || fail "member $id did not reach the scale"
done
# Nothing but the archive, the status file and the log is left behind.
left=$(cd "$work/windows" && ls | tr '\n' ' ')
[ "$left" = "error probe.log scale.zal " ] || fail "left in the working folder: $left"

echo "end_to_end: the Windows build backed up six kinds from $source byte for byte like the Linux build" \
  "and sent them to $target"
