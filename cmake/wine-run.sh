#!/usr/bin/env bash
# Runs a Windows program under the Wine that fits it, with Wine's own chatter
# switched off:
#  - 64-bit programs under Wine's 64-bit loader, called directly because
#    /usr/bin/wine may pick a 32-bit one, in the prefix WINEPREFIX (the tests
#    give a temporary, prepared one; else Wine's default);
#  - 32-bit programs (PE machine 0x14c) under the private 32-bit Wine of
#    scripts/wine32.sh (made on first use), in a 32-bit prefix of their own:
#    WINEPREFIX32, else the folder win32 inside WINEPREFIX (or ~/.wine).
#    Where the kernel cannot execute 32-bit programs, loader and server run
#    under qemu-i386; console programs work there, windows do not.
#
#   wine-run.sh [--32|--64] PROGRAM [ARGS...]
#   wine-run.sh [--32|--64] --server ARGS...   the prefix's Wine server (-k, -w)
# Without --32/--64 the bits come from PROGRAM's header when it is a file, else
# from ZALOHY_WINE_BITS (Wine's own programs: wineboot, reg, cmd), else 64.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bits=${ZALOHY_WINE_BITS:-64} forced=''
case "${1:-}" in
  --32|--64) bits=${1#--} forced=1; shift ;;
esac
server=''
if [ "${1:-}" = --server ]; then server=1; shift; fi
if [ -z "$forced" ] && [ -z "$server" ] && [ -f "${1:-}" ]; then
  # The machine field follows "PE\0\0", whose offset is at 60.
  pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  machine=$(od -An -tx2 -j$((${pe:-0} + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
  case "$machine" in
    014c) bits=32 ;;
    8664) bits=64 ;;
  esac
fi
export WINEDEBUG=${WINEDEBUG:--all}

if [ "$bits" = 64 ]; then
  export WINELOADER=/usr/lib/wine/wine64
  [ -z "$server" ] || exec /usr/lib/wine/wineserver "$@"
  exec /usr/lib/wine/wine64 "$@"
fi

root=${ZALOHY_WINE32_ROOT:-}
[ -n "$root" ] || root=$("$here/../scripts/wine32.sh" --root)
export WINEPREFIX=${WINEPREFIX32:-${WINEPREFIX:-$HOME/.wine}/win32}
export WINEARCH=win32
export WINEDLLPATH=$root/usr/lib/i386-linux-gnu/wine
export LD_LIBRARY_PATH=$root/lib/i386-linux-gnu:$root/usr/lib/i386-linux-gnu${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
loader=$root/usr/lib/wine/wine
if "$here/../scripts/wine32.sh" --native >/dev/null; then
  export WINELOADER=$loader WINESERVER=$root/usr/lib/wine/wineserver32
  [ -z "$server" ] || exec "$WINESERVER" "$@"
  exec "$loader" "$@"
fi
# Under qemu-i386: Wine starts itself and its server again, which the kernel
# cannot do for 32-bit code, so the server is started through a script and
# the loader is told not to start itself again.
wrapper=$root/../qemu-wineserver
if [ ! -x "$wrapper" ]; then
  printf '#!/bin/sh\nexec qemu-i386 -L "%s" "%s" "$@"\n' "$root" "$root/usr/lib/wine/wineserver32" >"$wrapper.$$"
  chmod +x "$wrapper.$$"
  mv "$wrapper.$$" "$wrapper"
fi
export WINELOADER=$loader WINESERVER=$wrapper WINELOADERNOEXEC=1
[ -z "$server" ] || exec "$wrapper" "$@"
exec qemu-i386 -L "$root" "$loader" "$@"
