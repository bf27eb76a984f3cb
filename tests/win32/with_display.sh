#!/usr/bin/env bash
# Runs a command that opens windows under Wine: on the tests' own X server
# when ZALOHY_TEST_DISPLAY=1 says DISPLAY is one (the Windows leg starts one
# before its Wine prefix), else in an Xvfb and a Wine prefix of its own. A
# Wine server started without a display, as by the console tests, cannot
# make windows for anyone, so a display of its own needs a prefix of its own
# (a 32-bit one for a 32-bit program, see cmake/wine-run.sh).
set -euo pipefail
if [ "${ZALOHY_TEST_DISPLAY:-}" = 1 ] && [ -n "${DISPLAY:-}" ]; then exec "$@"; fi
if [ -z "${ZALOHY_WITH_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" env ZALOHY_WITH_DISPLAY=1 "$0" "$@"
fi
prefix=$(mktemp -d /tmp/zalohy-wine-display.XXXXXX)
export WINEPREFIX=$prefix
unset WINEPREFIX32
wine_run=$(dirname "${BASH_SOURCE[0]}")/../../cmake/wine-run.sh
bits=64
for arg in "$@"; do
  case "$arg" in
    *.exe) [ "$(od -An -tx2 -j$(($(od -An -tu4 -j60 -N4 "$arg") + 4)) -N2 "$arg" | tr -d ' ')" != 014c ] || bits=32 ;;
  esac
done
cleanup() {
  "$wine_run" "--$bits" --server -k 2>/dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT
"$(dirname "${BASH_SOURCE[0]}")/../windows/prepare_prefix.sh" "$bits"
status=0
"$@" || status=$?
exit $status
