#!/usr/bin/env bash
# The installer's nightly job under wine64, in the prefix WINEPREFIX names:
#  - a silent install without /NOC sets up no task (the page starts unticked);
#    the Start menu's "Přehled záloh" opens Zalohy\prehled-zaloh.html, a page
#    saying that no night has written it yet, until one has;
#  - /NOC= with a time that is no time, and /PING= with an address that is
#    not http:// or https://, are refused, and nothing is installed;
#  - /NOC=03:15 registers a task of the Task Scheduler for the current user
#    (Wine keeps it as system32\tasks\NAME) from the definition it leaves
#    beside zaltool.exe, zalohy-noc.xml: zalohy-noc.cmd run in the working
#    folder every day at 03:15;
#  - zalohy-noc.cmd, started as the task starts it, backs up the scales of
#    seznam.lst (the Linux emulator on 127.0.0.x) into Zalohy and writes
#    Zalohy\prehled-zaloh.html, also when one scale fails (exit status 1);
#    with /PING= it pings a server on 127.0.0.1 (URL, or URL/fail after the
#    failed night), the address's % and & kept;
#  - an update without /NOC keeps the task, /NOC=ne removes it, and the
#    uninstaller removes it too.
# Wine's Task Scheduler (8.0) takes the definition but keeps neither its
# trigger nor its action (taskschd reads no actions and skips triggers), and
# runs no task, so the definition is checked as the installer wrote it and
# the job is started by hand here, as the task would start it.
#
#   night_task_test.sh SETUP.EXE LINUX_BUILD
# SETUP.EXE: the x64 installer (dist/); LINUX_BUILD: the Linux build, for its
# scale emulator. The stand-in library comes from build-win64/bin.
set -euo pipefail
setup=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
linux=$(cd "$2" && pwd)
: "${WINEPREFIX:?}"
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$top/tests/windows/emulator.sh"
wine=$top/cmake/wine-run.sh
export TWSWTCP_LOOPBACK_ONLY=1 WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
dll=$top/build-win64/bin/TWSWTCP.DLL
work=$(mktemp -d /tmp/zalohy-night.XXXXXX)
emulator='' server=''
cleanup() {
  [ -z "$emulator" ] || kill "$emulator" 2>/dev/null || true
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "night_task_test: $*" >&2; exit 1; }

[ -d "$WINEPREFIX/drive_c/users" ] || "$wine" wineboot -i >/dev/null 2>&1 || true
users=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/..)
users=$(cd "$users" && pwd)
installed=$users/AppData/Local/Programs/Zalohy
data=$users/Documents/Zalohy
user=$(basename "$users")
task="$WINEPREFIX/drive_c/windows/system32/tasks/Zalohy - nocni zaloha ($user)"
install() { "$wine" "$setup" /S "/DLL=Z:${dll//\//\\}" "$@"; }
# The task definition as the installer wrote it (UTF-16 for schtasks).
task_text() { iconv -f UTF-16 -t UTF-8 "$installed/zalohy-noc.xml" | tr -d '\r'; }

rm -f "$data/Zalohy/prehled-zaloh.html"  # a page of an earlier test's night would stay
install || fail "a silent install without /NOC failed"
[ ! -e "$task" ] && [ ! -e "$installed/zalohy-noc.cmd" ] || fail "an install without /NOC set up the nightly job"
# "Přehled záloh": the night's page, until a night has written it one that says so.
overview="$users/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zalohy/Přehled záloh.lnk"
[ -f "$overview" ] || fail "no 'Přehled záloh' in the Start menu"
grep -qi 'Documents\\Zalohy\\Zalohy\\prehled-zaloh.html' <<<"$(strings -a "$overview"; strings -a -el "$overview")" ||
  fail "'Přehled záloh' does not open Zalohy\\prehled-zaloh.html"
grep -q 'Přehled záloh zatím není' "$data/Zalohy/prehled-zaloh.html" || fail "no page that says no night has run"

"$wine" "$installed/uninstall.exe" /S
timeout 60 /usr/lib/wine/wineserver -w || true
for wrong in /NOC=24:00 /NOC=2:30 /NOC=02-30 /NOC=0a:30 /NOC=02:60 /NOC= /PING=ftp://127.0.0.1/x /PING=http:// \
  '/PING=http://127.0.0.1/ž' '/PING=http://127.0.0.1/"x"'; do
  night=()
  [[ $wrong != /PING=* ]] || night=(/NOC=03:15)
  if install "${night[@]}" "$wrong"; then fail "the installer took $wrong"; fi
  [ ! -e "$installed" ] && [ ! -e "$task" ] || fail "a refused $wrong left the program or a task"
done

# The ping's server, on 127.0.0.1 only.
python3 "$top/tests/tools/ping_server.py" "$work/pings.log" >"$work/ports" 2>&1 &
server=$!
for _ in $(seq 100); do [ -s "$work/ports" ] && break; sleep 0.1; done
read -r port _ <"$work/ports" || fail "the HTTP server did not start"
ping="http://127.0.0.1:$port/noc%41?a=1&b=2"
install /NOC=03:15 "/PING=$ping" || fail "an install with /NOC=03:15 failed"
grep -qF "\"--ping=${ping//%/%%}\"" "$installed/zalohy-noc.cmd" || fail "the job has no --ping: $(cat "$installed/zalohy-noc.cmd")"
"$wine" reg query 'HKCU\Software\Zalohy' /v NightPing | grep -qF "$ping" || fail "the ping address is not kept"
[ -f "$task" ] || fail "no task was registered: $(ls "$WINEPREFIX/drive_c/windows/system32/tasks" 2>&1)"
grep -q 'Noční záloha vah' "$task" || fail "the registered task is not ours: $(cat "$task")"
definition=$(task_text)
grep -q '<StartBoundary>2020-01-01T03:15:00</StartBoundary>' <<<"$definition" || fail "not at 03:15: $definition"
grep -q '<DaysInterval>1</DaysInterval>' <<<"$definition" || fail "not every day: $definition"
grep -qi '<Command>C:\\users\\[^<]*\\AppData\\Local\\Programs\\Zalohy\\zalohy-noc.cmd</Command>' <<<"$definition" ||
  fail "the task does not run zalohy-noc.cmd: $definition"
grep -qi '<WorkingDirectory>C:\\users\\[^<]*\\Documents\\Zalohy</WorkingDirectory>' <<<"$definition" ||
  fail "the task does not work in Documents\\Zalohy: $definition"
grep -q 'LeastPrivilege' <<<"$definition" || fail "the task asks for more than the user's rights"
[ -f "$installed/zalohy-noc.cmd" ] || fail "no zalohy-noc.cmd beside zaltool.exe"
"$wine" reg query 'HKCU\Software\Zalohy' /v NightTime | grep -q '03:15' || fail "the time is not kept"

# The job, started as the task starts it: in the working folder.
# On the library's own port: an address with a port cannot name a file on
# Windows.
for n in 141 144 147 150 153; do
  start_emulator "$linux/bin/scale-emulator" "$work/emulator.log" --data "$work/scales" \
    --listen "127.0.0.$n" --listen "127.0.0.$((n + 1))" --seed && break
done
[ -n "$emulator" ] || fail "the emulator did not start: $(cat "$work/emulator.log")"
printf '127.0.0.%s\r\n127.0.0.%s\r\n' "$n" "$((n + 1))" >"$data/seznam.lst"
status=0
(cd "$data" && "$wine" cmd /c "C:\\users\\$user\\AppData\\Local\\Programs\\Zalohy\\zalohy-noc.cmd") || status=$?
[ "$status" = 0 ] || fail "the job ended with $status: $(cat "$data/Zalohy/posledni-noc.log" 2>&1)"
today=$(date +%F)
for a in "$n" "$((n + 1))"; do
  [ -f "$data/Zalohy/127.0.0.$a-$today.zal" ] || fail "no archive of 127.0.0.$a: $(ls "$data/Zalohy")"
done
grep -q 'Vah: <strong>2</strong>' "$data/Zalohy/prehled-zaloh.html" || fail "no page on both scales"
grep -q '^POST /noc%41?a=1&b=2 application/json.*"exit_status":0' "$work/pings.log" ||
  fail "the good night's ping: $(cat "$work/pings.log" 2>&1)"
# A scale that does not answer: the status says so, the page is written still.
printf '127.0.0.%s\r\n' "$((n + 2))" >>"$data/seznam.lst"
rm "$data/Zalohy/prehled-zaloh.html"
status=0
(cd "$data" && "$wine" cmd /c "C:\\users\\$user\\AppData\\Local\\Programs\\Zalohy\\zalohy-noc.cmd") || status=$?
[ "$status" = 1 ] || fail "a night with a failed scale ended with $status"
grep -q 'bez úplné zálohy: <strong>1</strong>' "$data/Zalohy/prehled-zaloh.html" ||
  fail "the page after a failed scale: $(cat "$data/Zalohy/posledni-noc.log")"
grep -q '^POST /noc%41/fail?a=1&b=2 application/json.*"exit_status":1' "$work/pings.log" ||
  fail "the failed night's ping: $(cat "$work/pings.log" 2>&1)"
kill "$emulator"; wait "$emulator" 2>/dev/null || true; emulator=''

install || fail "an update without /NOC failed"
[ -f "$task" ] && grep -q 'T03:15:00' <<<"$(task_text)" || fail "an update without /NOC lost the task"
grep -qF "\"--ping=${ping//%/%%}\"" "$installed/zalohy-noc.cmd" || fail "an update without /PING lost the ping"
grep -q 'bez úplné zálohy' "$data/Zalohy/prehled-zaloh.html" || fail "an update replaced the night's page"
install /PING= || fail "an update with /PING= failed"
if grep -q -- --ping "$installed/zalohy-noc.cmd"; then fail "/PING= kept the ping"; fi
install /NOC=ne || fail "an update with /NOC=ne failed"
[ ! -e "$task" ] && [ ! -e "$installed/zalohy-noc.cmd" ] && [ ! -e "$installed/zalohy-noc.xml" ] ||
  fail "/NOC=ne left the task or the job"
install /NOC=22:05 || fail "an install with /NOC=22:05 failed"
grep -q 'T22:05:00' <<<"$(task_text)" || fail "no task at 22:05"
"$wine" "$installed/uninstall.exe" /S
timeout 60 /usr/lib/wine/wineserver -w || true
[ ! -e "$task" ] || fail "the uninstaller left the task"
[ ! -e "$installed" ] || fail "the uninstaller left $(ls "$installed")"
[ -f "$data/Zalohy/prehled-zaloh.html" ] || fail "the uninstaller took the backups"
echo "night_task_test: the task is set up, kept, removed; its job backed up the list and wrote the page"
