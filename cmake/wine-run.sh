#!/bin/sh
# Runs a Windows program under Wine's 64-bit loader, called directly because
# /usr/bin/wine may pick a 32-bit loader. Wine's own chatter is switched off;
# the prefix is whatever WINEPREFIX names (scripts/test.sh gives a temporary,
# already warmed one), else Wine's default.
WINELOADER=/usr/lib/wine/wine64
export WINELOADER
WINEDEBUG=${WINEDEBUG:--all}
export WINEDEBUG
exec /usr/lib/wine/wine64 "$@"
