#!/usr/bin/env bash
# backup-list and restore-list over many emulated scales on loopback
# addresses only:
#  1. 50 scales, 10 of which accept a connection and never answer (a second
#     emulator with --stall), with --jobs=1 and --jobs=8: wall times, their
#     ratio (target <= 0.25), and the archives compared byte for byte; then
#     the same 50 restored from those archives, --jobs=1 against --jobs=8;
#  2. lists of 100 and 1,000 scales, formats only, --jobs=8: wall time and
#     peak resident memory (the largest process of the run, GNU time), which
#     must not grow with the list.
# Usage: bench/lists/bench_lists.sh [BUILD_DIR]   (default: build)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
bin=$(cd "${1:-$top/build}" && pwd)/bin
tmp=$(mktemp -d /tmp/zalohy-bench-lists.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
export TWSWTCP_LOOPBACK_ONLY=1
ulimit -n 8192 2>/dev/null || true

# emulator NAME ARGS...: starts one and waits for its ready line; its port
# is then in $port.
emulator() {
  local name=$1; shift
  "$bin/scale-emulator" --data "$tmp/data-$name" "$@" >"$tmp/$name.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 600); do
    grep -q '^ready port=' "$tmp/$name.log" 2>/dev/null && break
    sleep 0.1
  done
  port=$(sed -n 's/^ready port=\([0-9]*\).*/\1/p' "$tmp/$name.log")
}
# addresses COUNT THIRD: 127.0.THIRD.x ..., up to 250 per third byte.
addresses() {
  local count=$1 third=$2 i
  for ((i = 0; i < count; i++)); do echo "127.0.$((third + i / 250)).$((2 + i % 250))"; done
}
listen_args() { while read -r a; do printf -- '--listen %s ' "$a"; done; }
# The last line GNU time wrote: "SECONDS KIB".
seconds() { tail -1 "$1" | awk '{print $1}'; }

# ---- 1: 50 scales, 10 stalled
emulator live --seed $(addresses 40 0 | listen_args | sed 's/--listen 127.0.0.2 /--listen 127.0.0.2:0 /')
live=$port
emulator stalled --stall $(addresses 10 10 | listen_args | sed 's/--listen 127.0.10.2 /--listen 127.0.10.2:0 /')
dead=$port
paste -d'\n' <(addresses 40 0 | sed "s/\$/:$live/") <(addresses 10 10 | sed "s/\$/:$dead/"; yes '' | head -30) |
  grep . >"$tmp/shop.lst"
for jobs in 1 8; do
  mkdir -p "$tmp/arch$jobs" "$tmp/work$jobs"
  /usr/bin/time -f '%e %M' -o "$tmp/time$jobs" "$bin/zaltool" backup-list "$tmp/shop.lst" "$tmp/arch$jobs" \
    --work="$tmp/work$jobs" --jobs=$jobs >"$tmp/out$jobs" 2>"$tmp/err$jobs" || true
done
t1=$(seconds "$tmp/time1"); t8=$(seconds "$tmp/time8")
same=yes
for f in "$tmp"/arch1/*.zal; do cmp -s "$f" "$tmp/arch8/$(basename "$f")" || same=no; done
[ "$(ls "$tmp"/arch1/*.zal | wc -l)" = 40 ] && [ "$(ls "$tmp"/arch8/*.zal | wc -l)" = 40 ] || same=no
sed "s|$tmp/arch1|DIR|g" "$tmp/out1" >"$tmp/o1"; sed "s|$tmp/arch8|DIR|g" "$tmp/out8" >"$tmp/o8"
cmp -s "$tmp/o1" "$tmp/o8" && cmp -s "$tmp/err1" "$tmp/err8" || same=no
ratio=$(awk -v a="$t8" -v b="$t1" 'BEGIN{printf "%.3f", a / b}')
echo "50 scales (10 stalled): --jobs=1 ${t1} s, --jobs=8 ${t8} s, ratio ${ratio} (target <= 0.25)"
echo "  archives and lines the same: $same; last line: $(tail -1 "$tmp/out8")"

# ---- 1b: the same 50 scales restored, each from its own archive of part 1;
# the stalled ones get a copy of a live one's, so that they are tried too.
first=$(cd "$tmp/arch1" && ls *.zal | head -1)
date=$(echo "$first" | sed 's/.*-\([0-9-]\{10\}\)\.zal$/\1/')
for a in $(addresses 10 10); do cp "$tmp/arch1/$first" "$tmp/arch1/${a}_$dead-$date.zal"; done
for jobs in 1 8; do
  mkdir -p "$tmp/rwork$jobs"
  /usr/bin/time -f '%e %M' -o "$tmp/rtime$jobs" "$bin/zaltool" restore-list "$tmp/arch1" "$tmp/shop.lst" \
    --work="$tmp/rwork$jobs" --jobs=$jobs >"$tmp/rout$jobs" 2>"$tmp/rerr$jobs" || true
done
r1=$(seconds "$tmp/rtime1"); r8=$(seconds "$tmp/rtime8")
rsame=yes
cmp -s "$tmp/rout1" "$tmp/rout8" && cmp -s "$tmp/rerr1" "$tmp/rerr8" || rsame=no
rratio=$(awk -v a="$r8" -v b="$r1" 'BEGIN{printf "%.3f", a / b}')
echo "restore-list, 50 scales (10 stalled): --jobs=1 ${r1} s, --jobs=8 ${r8} s, ratio ${rratio} (target <= 0.25)"
echo "  lines the same: $rsame; last line: $(tail -1 "$tmp/rout8")"
kill "${pids[@]}"; wait 2>/dev/null || true; pids=()

# ---- 2: 100 and 1,000 scales, formats only
emulator many --seed $(addresses 1000 20 | listen_args | sed 's/--listen 127.0.20.2 /--listen 127.0.20.2:0 /')
for count in 100 1000; do
  addresses "$count" 20 | sed "s/\$/:$port/" >"$tmp/list$count"
  mkdir -p "$tmp/many$count" "$tmp/mwork$count"
  /usr/bin/time -f '%e %M' -o "$tmp/mtime$count" "$bin/zaltool" backup-list "$tmp/list$count" "$tmp/many$count" \
    --work="$tmp/mwork$count" --jobs=8 --kinds=formaty >"$tmp/mout$count" 2>"$tmp/merr$count" || true
  read -r secs kib < <(tail -1 "$tmp/mtime$count")
  echo "$count scales, formats only, --jobs=8: ${secs} s, peak RSS ${kib} KiB, archives $(ls "$tmp/many$count"/*.zal | wc -l);" \
    "last line: $(tail -1 "$tmp/mout$count")"
done
[ "$same" = yes ] && [ "$rsame" = yes ] && awk -v r="$ratio" -v q="$rratio" 'BEGIN{exit !(r <= 0.25 && q <= 0.25)}'
