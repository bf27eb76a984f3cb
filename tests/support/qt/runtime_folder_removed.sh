#!/bin/sh
# Runs one window test with no XDG_RUNTIME_DIR and a temporary folder of its
# own, and fails when the runtime folder the test made for Qt
# (zalohy-xdg-<pid>) is still there afterwards.
set -eu
program=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
env -u XDG_RUNTIME_DIR TMPDIR="$tmp" QT_QPA_PLATFORM=offscreen \
  "$program" --gtest_filter='MainWindow.longTimeText_dropsTheTimeZone' >"$tmp/out" 2>&1 || { cat "$tmp/out"; exit 1; }
grep -q '1 test.*PASSED\|PASSED.*1 test' "$tmp/out" || { cat "$tmp/out"; exit 1; }
left=$(ls "$tmp" | grep '^zalohy-xdg-' || true)
[ -z "$left" ] || { echo "left behind in $tmp: $left"; exit 1; }
echo "runtime folder removed"
