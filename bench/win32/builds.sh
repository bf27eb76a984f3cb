#!/usr/bin/env bash
# The 32-bit Windows build against the 64-bit one under Wine, in one run, each
# under its own Wine (cmake/wine-run.sh: wine64, and the private 32-bit Wine of
# scripts/wine32.sh): zaltool.exe append and extract of one SIZE MiB member,
# and start-up of zalohy.exe to its main window on screen. RUNS rounds, each
# running every measurement of both builds in turn, so both see the same
# machine; prints the medians and the ratio 32-bit / 64-bit of each.
#   bench/win32/builds.sh [RUNS [SIZE]]        (default 7 rounds, 64 MiB)
# Needs build-win32/ and build-win64/ (scripts/build-windows.sh). Runs under
# its own Xvfb and temporary, prepared Wine prefixes with one Wine server each
# kept running. The programs dial nothing. Not part of the test run; nothing
# here is asserted.
set -euo pipefail
if [ -z "${ZALOHY_BENCH_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" env ZALOHY_BENCH_DISPLAY=1 "$0" "$@"
fi
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
runs=${1:-7}
size=${2:-64}
wine=$top/cmake/wine-run.sh
work=$(mktemp -d /tmp/zalohy-bench-builds.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
servers=()
cleanup() {
  "$wine" --64 --server -k 2>/dev/null || true
  "$wine" --32 --server -k 2>/dev/null || true
  for p in "${servers[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
for bits in 64 32; do
  "$top/tests/windows/prepare_prefix.sh" "$bits"
  "$wine" "--$bits" --server -p >/dev/null 2>&1 &  # stays until the clean-up ends it
  servers+=($!)
  mkdir -p "$work/run$bits"
done
sleep 1
head -c $((size * 1024 * 1024)) /dev/urandom >"$work/member.dat"

# ms COMMAND...: milliseconds the command took (its output dropped).
ms() {
  local begin end
  begin=$(date +%s%N)
  "$@" >/dev/null 2>&1 || { echo "bench: $* failed" >&2; exit 1; }
  end=$(date +%s%N)
  echo $(( (end - begin) / 1000000 ))
}
# startup BITS: milliseconds from starting zalohy.exe to its main window on
# screen, looked for every 10 ms; then closed with its "Konec".
startup() {
  local begin end pid w='' title='^Zálohování dat SM90/300/500 ETH v\.1\.4\.$'
  begin=$(date +%s%N)
  (cd "$work/run$1" && exec "$wine" "$top/build-win$1/bin/zalohy.exe" >/dev/null 2>&1) &
  pid=$!
  for _ in $(seq 6000); do
    w=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -1) && [ -n "$w" ] && break
    sleep 0.01
  done
  end=$(date +%s%N)
  [ -n "$w" ] && xdotool mousemove --window "$w" 260 148 click 1
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  for _ in $(seq 50); do xdotool search --onlyvisible --name "$title" >/dev/null 2>&1 || break; sleep 0.1; done
  echo $(( (end - begin) / 1000000 ))
}
median() { tr ' ' '\n' | sed '/^$/d' | sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }

# A Linux path as the Windows programs see it.
z() { echo "Z:$1"; }
declare -A times
round() {
  local bits zaltool archive
  for bits in 64 32; do
    zaltool=$top/build-win$bits/bin/zaltool.exe
    archive=$work/run$bits/bench.zal
    rm -f "$archive" "$work/run$bits/out.dat"
    times[append$bits]+=" $(ms "$wine" "$zaltool" append "$(z "$archive")" 34 "$(z "$work/member.dat")")"
    times[extract$bits]+=" $(ms "$wine" "$zaltool" extract "$(z "$archive")" 34 "$(z "$work/run$bits/out.dat")")"
    cmp -s "$work/member.dat" "$work/run$bits/out.dat" || { echo "bench: the $bits-bit extract differs" >&2; exit 1; }
    times[startup$bits]+=" $(startup "$bits")"
  done
}
round  # warms the caches; not counted
times=()
for _ in $(seq "$runs"); do round; done

echo "The 32-bit build against the 64-bit build under Wine (median of $runs rounds, $size MiB member):"
for what in append extract startup; do
  m64=$(echo "${times[${what}64]}" | median)
  m32=$(echo "${times[${what}32]}" | median)
  printf '  %-8s 64-bit %6s ms   32-bit %6s ms   ratio 32/64 %s\n' "$what" "$m64" "$m32" \
    "$(awk -v a="$m32" -v b="$m64" 'BEGIN {printf "%.2f", a / b}')"
  echo "           64-bit runs:${times[${what}64]}; 32-bit runs:${times[${what}32]}"
done
