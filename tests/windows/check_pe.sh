#!/usr/bin/env bash
# Checks the headers of Windows programs and of the scale library without
# running them:
#   check_pe.sh TRIPLE MACHINE FILE...
# TRIPLE is the MinGW-w64 triple whose objdump reads the files, MACHINE the
# PE machine every file must have (0x14c for 32-bit x86, 0x8664 for x64).
# Every file may import system DLLs only (no libstdc++, libgcc or winpthread
# DLL to ship); a file named TWSWTCP.DLL must export exactly one entry, at
# ordinal 2, with no name.
set -euo pipefail
triple=$1 machine=$2
shift 2

# DLLs every Windows has; the program's own windows will add to what it imports
# (winhttp.dll: zaltool's --ping).
system_dlls=" kernel32.dll msvcrt.dll ws2_32.dll shell32.dll user32.dll gdi32.dll advapi32.dll
  comctl32.dll comdlg32.dll ole32.dll uxtheme.dll shcore.dll winhttp.dll "

failed=0
fail() { echo "check_pe: $1: $2" >&2; failed=1; }

for file in "$@"; do
  name=$(basename "$file")
  [ -f "$file" ] || { fail "$name" "missing"; continue; }
  # The PE signature's offset is at 0x3c; the machine follows the signature.
  pe=$(od -An -tu4 -j60 -N4 "$file" | tr -d ' ')
  signature=$(od -An -c -j"$pe" -N2 "$file" | tr -d ' ')
  found=0x$(od -An -tx2 -j$((pe + 4)) -N2 "$file" | tr -d ' ')
  [ "$signature" = "PE" ] || fail "$name" "no PE signature"
  [ $((found)) -eq $((machine)) ] || fail "$name" "machine $found, not $machine"

  dump=$("$triple-objdump" -p "$file" 2>&1) || { fail "$name" "$triple-objdump cannot read it"; continue; }
  while read -r dll; do
    case "$system_dlls" in
      *" ${dll,,} "*) ;;
      *) fail "$name" "imports $dll, which Windows does not have" ;;
    esac
  done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")

  what="machine $found, system DLLs only"
  if [ "${name^^}" = TWSWTCP.DLL ]; then
    what+=", one export: ordinal 2 without a name"
    # One address, no names, ordinal base 2, the one entry at ordinal 2.
    grep -Eq '^\s*Export Address Table\s+0+1$' <<<"$dump" || fail "$name" "not exactly one exported entry"
    grep -Eq '^\s*\[Name Pointer/Ordinal\] Table\s+0+$' <<<"$dump" || fail "$name" "an export has a name"
    grep -Eq '^\s*\[\s*0\] \+base\[\s*2\]' <<<"$dump" || fail "$name" "the entry is not at ordinal 2"
  fi
  [ $failed -eq 0 ] && echo "check_pe: $name: $what"
done
exit $failed
