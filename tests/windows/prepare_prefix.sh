#!/usr/bin/env bash
# Prepares the Wine prefix named by WINEPREFIX for the Windows tests: made
# once (Wine's Mono and Gecko are neither needed nor asked for), then given
# the forms' font as a Czech Windows has it: Wine's own "MS Sans Serif" in
# code page 1250 and Tahoma for the system's boxes (package fonts-wine; the
# tests pass without it, with a substitute font). Safe to run again.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
fonts=$WINEPREFIX/drive_c/windows/Fonts
[ -d "$fonts" ] || /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
wine_fonts=/usr/share/wine/fonts
if [ -f "$wine_fonts/sserifee.fon" ] && [ -d "$fonts" ]; then
  ln -sf "$wine_fonts/sserifee.fon" "$fonts/sserife.fon"
  ln -sf "$wine_fonts/sseriffe.fon" "$fonts/sseriff.fon"
  ln -sf "$wine_fonts/tahoma.ttf" "$fonts/tahoma.ttf"
  ln -sf "$wine_fonts/tahomabd.ttf" "$fonts/tahomabd.ttf"
fi
# The user's folders (Documents, Desktop, ...) as the prefix's own, not links
# to the Linux home: what the installer puts there goes with the prefix.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
  if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
done
