#!/usr/bin/env bash
# Provides Debian's 32-bit Wine 8 from a private folder, without adding the
# i386 architecture and without installing any i386 package into the system:
# a private apt configuration downloads wine32 and what it needs (about 125
# packages, 140 MB) and each package is unpacked into one folder, kept in
#   ${XDG_CACHE_HOME:-$HOME/.cache}/zalohy/wine32   (ZALOHY_WINE32_CACHE)
# between runs. The folder is complete when its stamp file exists (written
# last); a missing or incomplete folder is made again.
#
#   scripts/wine32.sh          makes the folder if needed, says how to use it
#   scripts/wine32.sh --root   the same, then prints only the folder
#   scripts/wine32.sh --native says whether this kernel runs 32-bit x86
#                              programs (exit 0) or not (exit 1, one line)
#   source scripts/wine32.sh   exports the environment of the 32-bit loader
#                              (WINELOADER, WINESERVER, WINEDLLPATH, ...)
# cmake/wine-run.sh runs 32-bit programs with it.
wine32_cache=${ZALOHY_WINE32_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zalohy/wine32}
wine32_root=$wine32_cache/root
wine32_stamp=$wine32_cache/complete
# The packages: Wine's 32-bit loader and libraries, and the X11 and font
# libraries its window programs load at run time (dlopen, no dependency).
wine32_packages=(wine32 libwine libfreetype6 libfontconfig1 libx11-6 libxext6 libxrender1 libxrandr2 libxi6
  libxcursor1 libxfixes3 libxinerama1 libxcomposite1 libxxf86vm1)

# wine32_native: whether the kernel executes 32-bit x86 programs. The loader
# of the system's 32-bit C library (package libc6-i386) is one, and Wine's
# 32-bit loader needs it anyway. ZALOHY_WINE32_QEMU=1 takes the answer no, to
# try the qemu-i386 way on a machine that does not need it.
wine32_native() {
  [ -z "${ZALOHY_WINE32_QEMU:-}" ] && [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

wine32_build() {
  [ -f "$wine32_stamp" ] && [ -x "$wine32_root/usr/lib/wine/wine" ] && return 0
  # One maker at a time (the test command starts one early in the background);
  # the others wait and then find the folder complete.
  mkdir -p "$wine32_cache"
  local lock
  exec {lock}>"$wine32_cache/lock"
  flock "$lock"
  if [ -f "$wine32_stamp" ] && [ -x "$wine32_root/usr/lib/wine/wine" ]; then
    exec {lock}>&-
    return 0
  fi
  echo "wine32: making the private 32-bit Wine in $wine32_cache (about 140 MB to download)" >&2
  local start=$SECONDS apt=$wine32_cache/apt
  rm -rf "$wine32_root" "$wine32_stamp"
  mkdir -p "$apt/state/lists/partial" "$apt/cache/archives/partial" "$apt/sources" "$wine32_root"
  : >"$apt/state/status"
  # The system's Debian sources (deb822 or one-line form), nothing else.
  [ ! -f /etc/apt/sources.list.d/debian.sources ] || cp /etc/apt/sources.list.d/debian.sources "$apt/sources/"
  [ ! -f /etc/apt/sources.list ] || cp /etc/apt/sources.list "$apt/sources/debian.list"
  cat >"$apt/apt.conf" <<EOF
Dir::State "$apt/state";
Dir::State::status "$apt/state/status";
Dir::Cache "$apt/cache";
Dir::Etc::SourceList "/dev/null";
Dir::Etc::SourceParts "$apt/sources";
APT::Architecture "i386";
APT::Architectures { "i386"; };
APT::Install-Recommends "false";
APT::Sandbox::User "root";
Debug::NoLocking "true";
EOF
  APT_CONFIG=$apt/apt.conf apt-get -qq update
  APT_CONFIG=$apt/apt.conf apt-get -qq -y --download-only install "${wine32_packages[@]}" >/dev/null
  local deb n=0
  for deb in "$apt/cache/archives"/*.deb; do
    dpkg -x "$deb" "$wine32_root"
    n=$((n + 1))
  done
  # libwine's own installation step: Wine's builtin zlib1.dll is MinGW's,
  # marked as a builtin DLL at offset 64; without it no window program starts.
  local zlib=$wine32_root/usr/i686-w64-mingw32/lib/zlib1.dll
  local dlls=$wine32_root/usr/lib/i386-linux-gnu/wine/i386-windows
  [ -f "$zlib" ] && [ -d "$dlls" ] || { echo "wine32: zlib1.dll or $dlls missing after unpacking" >&2; return 1; }
  { head -c 64 "$zlib"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$zlib"; } >"$dlls/zlib1.dll"
  rm -rf "$apt/cache/archives"
  [ -x "$wine32_root/usr/lib/wine/wine" ] && [ -x "$wine32_root/usr/lib/wine/wineserver32" ] ||
    { echo "wine32: no 32-bit loader or server after unpacking" >&2; return 1; }
  date -u +%FT%TZ >"$wine32_stamp"
  exec {lock}>&-
  echo "wine32: $n packages, $(du -sm "$wine32_root" | cut -f1) MB in $((SECONDS - start)) s" >&2
}

# wine32_env: the environment of the 32-bit loader and server.
wine32_env() {
  export WINEARCH=win32
  export WINELOADER=$wine32_root/usr/lib/wine/wine
  export WINESERVER=$wine32_root/usr/lib/wine/wineserver32
  export WINEDLLPATH=$wine32_root/usr/lib/i386-linux-gnu/wine
  export LD_LIBRARY_PATH=$wine32_root/lib/i386-linux-gnu:$wine32_root/usr/lib/i386-linux-gnu${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
  if ! wine32_native; then
    # Wine starts itself again: without this the kernel would be asked to.
    export WINELOADERNOEXEC=1
  fi
}

if [ "${BASH_SOURCE[0]}" != "$0" ]; then
  wine32_build && wine32_env
  return
fi
set -euo pipefail

case "${1:-}" in
  --native)
    wine32_native && exit 0
    if [ -n "${ZALOHY_WINE32_QEMU:-}" ]; then
      echo "ZALOHY_WINE32_QEMU is set: 32-bit Windows programs run under qemu-i386, console only."
    else
      echo "This kernel cannot execute 32-bit x86 programs: 32-bit Windows programs run under qemu-i386, console only."
    fi
    exit 1 ;;
  --root)
    wine32_build
    echo "$wine32_root" ;;
  '')
    wine32_build
    cat <<EOF
32-bit Wine 8 is in $wine32_root. Run a 32-bit Windows program with
  cmake/wine-run.sh PROGRAM.exe        (it picks the loader by the program's machine)
or, after 'source scripts/wine32.sh', with
  WINEPREFIX=\$HOME/.wine32 \$WINELOADER PROGRAM.exe
EOF
    wine32_native || "$0" --native || true
    ;;
  *) echo "usage: $0 [--root|--native]" >&2; exit 2 ;;
esac
