#!/usr/bin/env bash
# Prepares the Wine prefix of the Windows tests for the 64-bit build (WINEPREFIX)
# or, with 32, the 32-bit prefix cmake/wine-run.sh runs 32-bit programs in
# (WINEPREFIX32, else the folder win32 inside WINEPREFIX): made once (Wine's
# Mono and Gecko are neither needed nor asked for), then given the forms' font
# as a Czech Windows has it: Wine's own "MS Sans Serif" in code page 1250 and
# Tahoma for the system's boxes (package fonts-wine; the tests pass without
# it, with a substitute font). Safe to run again.
#   prepare_prefix.sh [32|64]
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
bits=${1:-64}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
prefix=$WINEPREFIX
[ "$bits" = 64 ] || prefix=${WINEPREFIX32:-$WINEPREFIX/win32}
mkdir -p "$prefix"
fonts=$prefix/drive_c/windows/Fonts
[ -d "$fonts" ] || "$(dirname "${BASH_SOURCE[0]}")/../../cmake/wine-run.sh" "--$bits" wineboot -i >/dev/null 2>&1
wine_fonts=/usr/share/wine/fonts
if [ -f "$wine_fonts/sserifee.fon" ] && [ -d "$fonts" ]; then
  ln -sf "$wine_fonts/sserifee.fon" "$fonts/sserife.fon"
  ln -sf "$wine_fonts/sseriffe.fon" "$fonts/sseriff.fon"
  ln -sf "$wine_fonts/tahoma.ttf" "$fonts/tahoma.ttf"
  ln -sf "$wine_fonts/tahomabd.ttf" "$fonts/tahomabd.ttf"
fi
# The user's folders (Documents, Desktop, ...) as the prefix's own, not links
# to the Linux home: what the installer puts there goes with the prefix.
for link in "$prefix"/drive_c/users/*/*; do
  if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
done
