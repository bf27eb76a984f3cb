#!/usr/bin/env bash
# Draws docs/report.png: the page on the backups as a technician sees it after
# a few weeks of nights. Four scales on plain addresses (no port), as in a
# shop's seznam.lst with its notes: three emulated by scale-emulator on
# 127.0.0.N, 127.0.0.N+1 and 127.0.0.N+2 on the library's own port, the
# fourth listed but not answering. backup-list backs them up tonight; the
# earlier nights' archives and run record lines are made from tonight's.
# Loopback only: the emulator and the library (TWSWTCP_LOOPBACK_ONLY) never
# leave 127.0.0.0/8, and headless Chromium runs without its network services.
# Run as root, it draws in namespaces of its own, where the computer is called
# "prodejna-pc" and the data folder is /home/technik/.local/share/zalohy (a
# tmpfs over /home), so the page's head names what a technician would see.
#
#   scripts/report-picture.sh [BUILD_DIR [OUT.png]]   (build/, docs/report.png)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
out=$(realpath -m "${2:-$top/docs/report.png}")
export TWSWTCP_LOOPBACK_ONLY=1
zaltool=$build/bin/zaltool

if [ "$(id -u)" = 0 ] && [ -z "${ZALOHY_PICTURE_INSIDE-}" ] && command -v unshare >/dev/null; then
  case $out in /home/*) echo "report-picture: $out lies under /home, which the drawing hides" >&2; exit 2 ;; esac
  exec env ZALOHY_PICTURE_INSIDE=1 unshare --mount --uts --propagation private "$0" "$build" "$out"
fi
if [ -n "${ZALOHY_PICTURE_INSIDE-}" ]; then
  hostname prodejna-pc
  mount -t tmpfs tmpfs /home
  mkdir -p /home/technik/.local/share/zalohy
  tmp=/home/technik/.local/share/zalohy
else
  tmp=$(mktemp -d /tmp/zalohy-picture-XXXXXX)
fi
emulator=
cleanup() {
  [ -z "$emulator" ] || { kill "$emulator" 2>/dev/null; wait "$emulator" 2>/dev/null; } || true
  rm -rf "$tmp"
}
trap cleanup EXIT
cd "$tmp"
mkdir data Zalohy

# Another run may hold a block of addresses on the library's port: try others.
for n in 61 71 81 91 101 111; do
  "$build/bin/scale-emulator" --data data --listen 127.0.0.$n --listen 127.0.0.$((n + 1)) \
    --listen 127.0.0.$((n + 2)) --seed >emulator.log 2>&1 &
  emulator=$!
  for _ in $(seq 50); do
    grep -qs '^ready' emulator.log || ! kill -0 "$emulator" 2>/dev/null && break
    sleep 0.1
  done
  grep -qs '^ready' emulator.log && break
  kill "$emulator" 2>/dev/null || true
  wait "$emulator" 2>/dev/null || true
  emulator=
done
[ -n "$emulator" ] || { echo "report-picture: no emulator started: $(cat emulator.log)" >&2; exit 1; }

a=127.0.0.$n b=127.0.0.$((n + 1)) c=127.0.0.$((n + 2)) d=127.0.0.$((n + 3))
printf '%s pokladna 1\n%s pokladna 2\n%s lahůdky\n%s pekárna (nová váha)\n' "$a" "$b" "$c" "$d" >seznam.lst
"$zaltool" backup-list seznam.lst Zalohy --jobs=4 --keep=14 >backup.log 2>&1 || true
kill "$emulator"; wait "$emulator" 2>/dev/null || true; emulator=

today=$(date +%F)
day() { date -d "-$1 days" +%F; }
record() {  # DAYS_AGO ADDRESS STATUS LIBRARY_STATUS
  local archive=
  [ "$3" = ok ] && archive="$2-$(day "$1").zal"
  printf '{"time":"%sT02:30:%02d+01:00","command":"backup-list","address":"%s","status":"%s","library_status":%s,"archive":"%s"}\n' \
    "$(day "$1")" "$((RANDOM % 50))" "$2" "$3" "$4" "$archive"
}
# The earlier nights, oldest first: the first two scales every night; the
# texts of pokladna 1 changed today; lahůdky last answered five
# nights ago; pekárna was added to the list two nights ago.
mv Zalohy/zaltool-zaznam.jsonl tonight.jsonl
for ago in $(seq 13 -1 1); do
  for scale in "$a" "$b"; do
    cp "Zalohy/$scale-$today.zal" "Zalohy/$scale-$(day "$ago").zal"
    record "$ago" "$scale" ok 0
  done
  if [ "$ago" -ge 5 ]; then
    cp "Zalohy/$c-$today.zal" "Zalohy/$c-$(day "$ago").zal"
    record "$ago" "$c" ok 0
  else
    record "$ago" "$c" failed 5
  fi
  [ "$ago" -gt 2 ] || record "$ago" "$d" failed 5
done >Zalohy/zaltool-zaznam.jsonl
for ago in $(seq 13 -1 1); do  # a byte of the texts
  printf 'X' | dd of="Zalohy/$a-$(day "$ago").zal" bs=1 seek=15000 conv=notrunc status=none
done
rm "Zalohy/$c-$today.zal"
# Tonight's lines as at the night's time.
grep -v "\"$c\"" tonight.jsonl | sed "s/\"time\":\"${today}T[0-9:]*/\"time\":\"${today}T02:30:41/" \
  >>Zalohy/zaltool-zaznam.jsonl
record 0 "$c" failed 5 >>Zalohy/zaltool-zaznam.jsonl
"$zaltool" report Zalohy --list=seznam.lst

chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --disable-default-apps --disable-extensions --no-default-browser-check \
  --user-data-dir="$tmp/profile" --hide-scrollbars --window-size=1400,310 \
  --screenshot="$out" "file://$tmp/Zalohy/prehled-zaloh.html" >/dev/null 2>browser.log
echo "report-picture: $out"
