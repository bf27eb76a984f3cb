#!/usr/bin/env bash
# The Windows program's real windows under Wine and Xvfb, driven with xdotool
# as a user would: the main window by its exact title and client size, the
# backup of all six kinds from an emulated scale (ticks and buttons clicked,
# the archive's name typed into the save dialog), the archive compared byte
# for byte with the one zaltool makes of the same scale data, a send to one
# scale and to every scale of seznam.lst, both dialogs opened and closed, and
# a screenshot of each window; then the start without the scale library and
# the main window's size on a 150 % screen. The 64-bit and the 32-bit build
# alike, each under its own Wine (cmake/wine-run.sh).
#   window_test.sh LINUX_BUILD WINDOWS_BUILD [SCREENSHOT_FOLDER]
# Uses WINEPREFIX when ZALOHY_TEST_DISPLAY=1 says DISPLAY is the tests' own X
# server, on which that prefix's Wine server runs (the Windows leg); else an
# Xvfb and a temporary prefix of its own. Only loopback addresses are ever typed, and the library is
# told to dial nothing else.
set -euo pipefail
if [ "${ZALOHY_TEST_DISPLAY:-}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
  # An X server of its own (the Windows leg gives its own one, started before
  # its Wine prefix); no window manager, so windows sit where Wine puts them.
  unset WINEPREFIX  # a Wine server may be running there without a display
  exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" env ZALOHY_TEST_DISPLAY=1 "$0" "$@"
fi
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
shots=${3:+$(mkdir -p "$3" && cd "$3" && pwd)}
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run=$top/cmake/wine-run.sh
source "$top/tests/windows/emulator.sh"
export TWSWTCP_LOOPBACK_ONLY=1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
start=$SECONDS
machine() { od -An -tx2 -j$(($(od -An -tu4 -j60 -N4 "$1") + 4)) -N2 "$1" | tr -d ' '; }
bits=64
[ "$(machine "$windows/bin/zalohy.exe")" != 014c ] || bits=32

work=$(mktemp -d /tmp/zalohy-windows-gui.XXXXXX)
emulator='' program='' own_prefix='' dpi_changed=''
# dpi DPI: the screen's DPI for the programs started next.
dpi() {
  dpi_changed=1
  "$wine_run" "--$bits" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 || true
  timeout 30 "$wine_run" "--$bits" --server -w || true  # the next program starts a server that reads it
}
cleanup() {
  if [ -n "$program" ]; then kill "$program" 2>/dev/null || true; fi
  if [ -n "$dpi_changed" ]; then dpi 96; fi
  if [ -n "$own_prefix" ]; then "$wine_run" "--$bits" --server -k 2>/dev/null || true; fi
  if [ -n "$emulator" ]; then kill "$emulator" 2>/dev/null || true; wait "$emulator" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "window_test: $*" >&2
  if [ -n "$shots" ]; then import -window root "$shots/win32-failure.png" 2>/dev/null || true; fi
  exit 1
}
if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix=1
  export WINEPREFIX=$work/prefix
fi
"$top/tests/windows/prepare_prefix.sh" "$bits"

# Four emulated scales: the one backed up, the one sent to, and two in the list.
for n in 71 75 79 83 87; do
  source=127.0.0.$n target=127.0.0.$((n + 1)) listed1=127.0.0.$((n + 2)) listed2=127.0.0.$((n + 3))
  start_emulator "$linux/bin/scale-emulator" "$work/emulator.log" --data "$work/scales" --listen "$source" \
    --listen "$target" --listen "$listed1" --listen "$listed2" --seed && break
done
[ -n "$emulator" ] || fail "no emulated scale could start: $(cat "$work/emulator.log")"
ids=(34 38 52 41 25 67)
for t in "$target" "$listed1" "$listed2"; do rm -f "$work/scales/$t"/*.dat; done

# The working folder: the settings name the scale to back up.
run=$work/run
mkdir "$run"
printf '[SOUBOR_ZALOHY]\r\nIP_ADDRESS=%s\r\n' "$source" >"$run/Skladex.ini"

# --- helpers -------------------------------------------------------------
# The program's visible windows (Wine names the X class after the program).
program_windows() { xdotool search --onlyvisible --classname '^zalohy\.exe$' 2>/dev/null | sort || true; }
# window TITLE: the visible window with exactly this title, waited for.
window() {
  local w
  for _ in $(seq 600); do  # up to a minute: Wine starts slowly on a busy machine
    w=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)
    if [ -n "$w" ]; then echo "$w"; return 0; fi
    sleep 0.1
  done
  fail "no window \"$1\""
}
# gone TITLE: waits until no visible window has this title.
gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "the window \"$1\" is still open"
}
# click WINDOW X Y: a left click at client coordinates of the window.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.3; }
shot() { if [ -n "$shots" ]; then import -window "$1" "$shots/$2"; fi; }
known=''
# wait_until SECONDS COMMAND...: runs COMMAND until it succeeds. A window that
# turns up meanwhile is a message box: one without a title (the list run's
# box before each scale's PLU file) is answered with Enter; any other fails.
wait_until() {
  local limit=$(( $1 * 5 )); shift
  for _ in $(seq "$limit"); do
    if "$@"; then return 0; fi
    local w
    for w in $(comm -13 <(echo "$known" | tr ' ' '\n' | sort) <(program_windows)); do
      local name
      name=$(xdotool getwindowname "$w" 2>/dev/null || true)
      if [ -z "$name" ]; then
        xdotool key Return
        sleep 0.3
      else
        fail "unexpected box \"$name\" while waiting for: $*"
      fi
    done
    sleep 0.2
  done
  fail "timed out waiting for: $*"
}
archive_complete() {
  [ "$("$linux/bin/zaltool" list "$run/scale.zal" 2>/dev/null | wc -l)" -eq 6 ] &&
    ! ls "$run"/SM*.dat >/dev/null 2>&1
}
# received SCALE KIND...: the scale holds exactly the source's files of these kinds.
received() {
  local scale=$1 id; shift
  for id in "$@"; do cmp -s "$work/scales/$scale/$id.dat" "$work/scales/$source/$id.dat" || return 1; done
  ! ls "$run"/SM*.dat >/dev/null 2>&1
}

# --- the main window -----------------------------------------------------
(cd "$run" && exec "$wine_run" "$windows/bin/zalohy.exe" >"$work/program.log" 2>&1) &
program=$!
main_title='Zálohování dat SM90/300/500 ETH v\.1\.4\.'
main=$(window "$main_title")
geometry=$(xwininfo -id "$main" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[ "$geometry" = "351x216" ] || fail "main window client area $geometry, not 351x216"
xdotool search --name '^Zalohovani dat vah DIGI $' >/dev/null || fail "no application window with the title"
sleep 1.2  # the clock's first tick
shot "$main" win32-main.png
known="$(program_windows | tr '\n' ' ')"

# The panel only warns.
click "$main" 80 148
window '895té Vážné varování' >/dev/null
xdotool key Return
gone '895té Vážné varování'

# --- backup of all six kinds ---------------------------------------------
click "$main" 84 44
backup_title='Zálohování  datových souborů vah SM80SX/90/300/500'
backup=$(window "$backup_title")
known="$known $backup"
for y in 16 32 48 64 80 96; do click "$backup" 32 $((64 + y + 8)); done
click "$backup" 85 212                       # Ulož
save=$(window '(Save As|Uložit jako)')
xdotool type --delay 20 scale.zal
xdotool key Return
gone '(Save As|Uložit jako)'
wait_until 60 archive_complete
sleep 0.5
shot "$backup" win32-backup.png
reference=$work/reference.zal
for id in "${ids[@]}"; do "$linux/bin/zaltool" append "$reference" "$id" "$work/scales/$source/$id.dat"; done
cmp "$run/scale.zal" "$reference" || fail "the archive differs from zaltool's of the same scale data"
click "$backup" 85 244                       # Zpět
gone "$backup_title"
grep -q "IP_ADDRESS=$source" "$run/Skladex.ini" || fail "closing did not keep the address: $(cat "$run/Skladex.ini")"

# --- send to one scale ----------------------------------------------------
click "$main" 260 44
send_title='Odeslání formátů a textů do váhy'
send=$(window "$send_title")
known="$known $send"
click "$send" 341 36                         # ...
window '(Open|Otevřít)' >/dev/null
xdotool type --delay 20 scale.zal
xdotool key Return
gone '(Open|Otevřít)'
sleep 0.5
# The address box holds the design's address: replace it with the target's.
click "$send" 92 266
xdotool key --clearmodifiers End shift+Home BackSpace
xdotool type --delay 20 "$target"
click "$send" 93 316                         # Odeslat
wait_until 60 received "$target" "${ids[@]}"
sleep 0.5
shot "$send" win32-send.png

# --- send to the list ------------------------------------------------------
printf '%s pokladna 1\r\n%s pokladna 2\r\n' "$listed1" "$listed2" >"$run/seznam.lst"
click "$send" 268 313                        # Na seznam
# Every ticked kind but the image goes to each listed scale.
wait_until 90 received "$listed2" 34 38 52 41 25
received "$listed1" 34 38 52 41 25 || fail "the first listed scale did not get every kind"
[ ! -e "$work/scales/$listed1/67.dat" ] || fail "the list run sent the image file"
click "$send" 396 313                        # Zpět
gone "$send_title"

# --- the end ---------------------------------------------------------------
click "$main" 260 148                        # Konec
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program" 2>/dev/null; then fail "the program did not end"; fi
wait "$program" || fail "the program ended with status $?"
program=''
left=$(cd "$run" && ls | tr '\n' ' ')
[ "$left" = "Skladex.ini error scale.zal seznam.lst " ] || fail "left in the working folder: $left"

# --- no scale library beside the program ------------------------------------
# A box says which library could not be loaded and why; the program ends with 1.
mkdir "$work/alone"
cp "$windows/bin/zalohy.exe" "$work/alone/"
(cd "$run" && exec "$wine_run" "$work/alone/zalohy.exe" >>"$work/program.log" 2>&1) &
program=$!
window 'Zalohovani dat vah DIGI ' >/dev/null
xdotool search --onlyvisible --name "^$main_title\$" >/dev/null 2>&1 && fail "the main window opened without the library"
xdotool key Return
status=0
wait "$program" || status=$?
program=''
[ "$status" -eq 1 ] || fail "without the library the program ended with status $status, not 1"

# --- a 150 % screen ----------------------------------------------------------
# The program declares itself DPI aware and lays its forms out for the screen:
# the same window in points, sharp, at 144 DPI.
dpi 144
(cd "$run" && exec "$wine_run" "$windows/bin/zalohy.exe" >>"$work/program.log" 2>&1) &
program=$!
main=$(window "$main_title")
geometry=$(xwininfo -id "$main" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[ "$geometry" = "527x324" ] || fail "main window client area at 144 DPI $geometry, not 527x324"
click "$main" 390 222                        # Konec, at 150 %
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
wait "$program" || fail "the program ended with status $? at 144 DPI"
program=''
dpi 96
dpi_changed=''
echo "window_test: the $bits-bit build backed up six kinds through the windows byte for byte like zaltool, sent them to" \
  "one scale and to a list of two, ended with 1 without the library, 527x324 at 144 DPI;" \
  "$((SECONDS - start)) s"
