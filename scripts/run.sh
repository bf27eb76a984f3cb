#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program against a local
# scale emulator on 127.0.0.1 (demo data in demo/scales, which git ignores).
# The program runs in demo/work, whose Skladex.ini points the backup dialog at
# the emulator. The emulator stops when the program ends. Safe to run again.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only what the demo runs; the tests are built by scripts/test.sh.
cmake --build build --target zalohy twswtcp scale-emulator zaltool

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display to show the program on; run it under Xvfb: xvfb-run -a -s '-screen 0 1280x800x24' scripts/run.sh"
  exit 1
fi

scales="$top/demo/scales"
work="$top/demo/work"
mkdir -p "$scales" "$work"

# The demo talks to the emulator only: the library dials nothing outside
# 127.0.0.0/8, whatever address is typed.
export TWSWTCP_LOOPBACK_ONLY=1

# The library's default port, so the plain address 127.0.0.1 reaches it.
log="$top/demo/emulator.log"
build/bin/scale-emulator --data "$scales" --listen 127.0.0.1 --seed >"$log" 2>&1 &
emulator=$!
trap 'kill "$emulator" 2>/dev/null; wait "$emulator" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  grep -q '^ready' "$log" && break
  if ! kill -0 "$emulator" 2>/dev/null; then
    echo "The scale emulator did not start:" >&2
    cat "$log" >&2
    exit 1
  fi
  sleep 0.1
done
grep -q '^ready' "$log" || { echo "The scale emulator is not ready; see $log" >&2; exit 1; }

# Only a working folder without settings gets the emulator's address; a
# technician's own settings are never overwritten.
if [ ! -e "$work/Skladex.ini" ]; then
  printf '[SOUBOR_ZALOHY]\r\nIP_ADDRESS=127.0.0.1\r\n' >"$work/Skladex.ini"
fi
if [ ! -e "$work/seznam.lst" ]; then
  printf '127.0.0.1 emulated scale\n' >"$work/seznam.lst"
fi

cd "$work"
# The stand-in library then refuses every scale address outside 127.0.0.0/8
# (the send dialog opens with a private-network address of its form).
TWSWTCP_LOOPBACK_ONLY=1 "$top/build/bin/zalohy"
