#!/usr/bin/env bash
# Start-up of the Windows program under Wine against a minimal Win32 window
# started the same way: time from starting the process to its main window
# being on screen, median of RUNS runs each, alternating. The window is
# looked for with xdotool every 10 ms (its own --sync looks only every half
# second, coarser than what is measured).
#   bench/win32/startup.sh [WINDOWS_BUILD [RUNS]]     (default build-win64, 7)
# A 32-bit build runs under the private 32-bit Wine (cmake/wine-run.sh).
# Runs under its own Xvfb and a temporary, prepared Wine prefix. The program
# starts in an empty folder; it dials nothing.
set -euo pipefail
if [ -z "${ZALOHY_BENCH_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" env ZALOHY_BENCH_DISPLAY=1 "$0" "$@"
fi
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
bin=$(cd "${1:-$top/build-win64}/bin" && pwd)
runs=${2:-7}
wine=$top/cmake/wine-run.sh
bits=64
[ "$(od -An -tx2 -j$(($(od -An -tu4 -j60 -N4 "$bin/zalohy.exe") + 4)) -N2 "$bin/zalohy.exe" | tr -d ' ')" != 014c ] || bits=32
work=$(mktemp -d /tmp/zalohy-bench-win32.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  "$wine" "--$bits" --server -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
"$top/tests/windows/prepare_prefix.sh" "$bits"
mkdir "$work/run"
# Keep one Wine server for all runs, as on a desktop where Wine is running.
"$wine" "--$bits" --server -p >/dev/null 2>&1 &  # stays until the clean-up ends it
sleep 1

# once EXE TITLE [X Y]: milliseconds from start to the window on screen.
# The window is then closed with a click at X Y (the program's "Konec"), or
# the process ended.
once() {
  local begin end pid w
  begin=$(date +%s%N)
  (cd "$work/run" && exec "$wine" "$1" >/dev/null 2>&1) &
  pid=$!
  for _ in $(seq 6000); do
    xdotool search --onlyvisible --name "^$2\$" >/dev/null 2>&1 && break
    sleep 0.01
  done
  end=$(date +%s%N)
  if [ $# -eq 4 ] && w=$(xdotool search --onlyvisible --name "^$2\$" 2>/dev/null | head -1); then
    xdotool mousemove --window "$w" "$3" "$4" click 1
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  # Let the window disappear before the next start.
  for _ in $(seq 50); do xdotool search --onlyvisible --name "^$2\$" >/dev/null 2>&1 || break; sleep 0.1; done
  echo $(( (end - begin) / 1000000 ))
}
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }

once "$bin/bench_minimal_window.exe" 'Minimal window' >/dev/null  # warm the caches
program=() minimal=()
for _ in $(seq "$runs"); do
  program+=("$(once "$bin/zalohy.exe" 'Zálohování dat SM90/300/500 ETH v\.1\.4\.' 260 148)")
  minimal+=("$(once "$bin/bench_minimal_window.exe" 'Minimal window')")
done
p=$(printf '%s\n' "${program[@]}" | median)
m=$(printf '%s\n' "${minimal[@]}" | median)
echo "start-up to the main window on screen under Wine (median of $runs): zalohy.exe $p ms," \
  "minimal Win32 window $m ms, ratio $(awk -v p="$p" -v m="$m" 'BEGIN {printf "%.2f", p / m}')"
echo "  zalohy.exe runs: ${program[*]}"
echo "  minimal runs:    ${minimal[*]}"
