#!/usr/bin/env bash
# The report page as a browser shows it: a backup folder made by
# `zaltool backup-list` against emulated scales on 127.0.0.x (one scale of the
# list does not answer, one has only an old archive), `zaltool report` over it,
# and headless Chromium rendering the page: a screenshot, the page printed to
# PDF and its text read back, and the DOM after rendering. Loopback only: the
# browser is started without any of its background network services and the
# page names no other file.
#
# Environment: ZALTOOL, EMULATOR (the built programs). REPORT_SCREENSHOT=FILE
# keeps the screenshot (docs/report.png is drawn by scripts/report-picture.sh,
# on plain addresses as a shop's list names them).
set -euo pipefail
: "${ZALTOOL:?}" "${EMULATOR:?}"
export TWSWTCP_LOOPBACK_ONLY=1

tmp=$(mktemp -d /tmp/zalohy-report-XXXXXX)
emulator_pid=
cleanup() {
  [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null && wait "$emulator_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$tmp"
mkdir data Zalohy work

"$EMULATOR" --data data --listen 127.0.0.2:0 --listen 127.0.0.3 --listen 127.0.0.4 --seed >emulator.log 2>&1 &
emulator_pid=$!
for _ in $(seq 100); do
  grep -q 'ready port=' emulator.log || ! kill -0 "$emulator_pid" 2>/dev/null && break
  sleep 0.1
done
port=$(sed -n 's/.*ready port=\([0-9]*\).*/\1/p' emulator.log)
[ -n "$port" ] || fail "the emulator did not start: $(cat emulator.log)"

# 127.0.0.5 has no emulated scale: its backup fails.
printf '127.0.0.2:%s pult 1\n127.0.0.3:%s pult 2\n127.0.0.4:%s sklad\n127.0.0.5:%s pekarna\n' \
  "$port" "$port" "$port" "$port" >seznam.lst
status=0
"$ZALTOOL" backup-list seznam.lst Zalohy --work=work --jobs=2 --keep=14 >backup.log 2>&1 || status=$?
[ "$status" = 1 ] || fail "backup-list ended with $status, not 1: $(cat backup.log)"

today=$(date +%F)
part() { echo "127.0.0.$1_$port"; }
# Earlier nights: 127.0.0.2 two days before (its formats then different), and
# 127.0.0.4 with only an archive five days old.
two_days=$(date -d '-2 days' +%F)
cp "Zalohy/$(part 2)-$today.zal" "Zalohy/$(part 2)-$two_days.zal"
printf 'X' | dd of="Zalohy/$(part 2)-$two_days.zal" bs=1 seek=140 conv=notrunc status=none
mv "Zalohy/$(part 4)-$today.zal" "Zalohy/$(part 4)-$(date -d '-5 days' +%F).zal"
# The run record as the list runs write it: 127.0.0.4 failed the last nights.
record() {
  printf '{"time":"%sT02:00:05","command":"backup-list","address":"127.0.0.%s:%s","status":"%s","library_status":%s,"archive":"%s"}\n' \
    "$1" "$2" "$port" "$3" "$4" "$([ "$3" = ok ] && echo "$(part "$2")-$1.zal")" >>Zalohy/zaltool-zaznam.jsonl
}
record "$two_days" 2 ok 0
record "$two_days" 4 failed 5
record "$today" 2 ok 0
record "$today" 3 ok 0
record "$today" 4 failed 5
record "$today" 5 failed 5

# Wrong values and folders are refused before anything is written.
status=0; "$ZALTOOL" report Zalohy --stale-days=dva >/dev/null 2>&1 || status=$?
[ "$status" = 2 ] || fail "--stale-days=dva gave $status, not 2"
status=0; "$ZALTOOL" report Nic >/dev/null 2>&1 || status=$?
[ "$status" = 1 ] || fail "a missing folder gave $status, not 1"

"$ZALTOOL" report Zalohy --list=seznam.lst --out=prehled.html >report.log
grep -q 'vah: 4, poslední záloha selhala: 1, se starou zálohou: 0, bez úplné zálohy: 1' report.log || fail "summary line: $(cat report.log)"

browser() {
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --disable-default-apps --disable-extensions --no-default-browser-check \
    --user-data-dir="$tmp/profile-$1" "${@:2}" "file://$tmp/prehled.html" 2>>browser.log
}
browser shot --window-size=1280,540 --screenshot="$tmp/report.png" >/dev/null
browser pdf --print-to-pdf="$tmp/report.pdf" --no-pdf-header-footer >/dev/null
browser dom --dump-dom >dom.html
[ -s report.png ] && [ -s report.pdf ] && [ -s dom.html ] || fail "the browser made nothing: $(tail -5 browser.log)"

# The printed page's text, as a reader of the paper sees it.
pdftotext -layout report.pdf report.txt
text=$(tr -s ' \n' ' ' <report.txt)
# 127.0.0.4's archive is five days old, but what matters first is that its
# last two runs failed.
for expected in "Přehled záloh" "Vah: 4" "bez úplné zálohy: 1" "poslední záloha selhala: 1" \
                "127.0.0.5:$port pekarna bez úplné zálohy" "127.0.0.4:$port sklad poslední záloha selhala (2× po sobě)" \
                "(5 dní)" "Formáty" "Rychloklávesy" "selhalo (stav 5)" "poslední úspěšná záloha: žádná" "pult 1"; do
  [[ "$text" == *"$expected"* ]] || fail "the printed page lacks '$expected': $text"
done
# Two scales backed up today.
[ "$(grep -o '(dnes)' report.txt | wc -l)" = 2 ] || fail "ages: $text"
# 127.0.0.2's formats changed between its two generations, the others did not.
row2=$(grep -A3 "^ *127.0.0.2:$port" report.txt | tr -s ' \n' ' ')
[[ "$row2" == *"Formáty"* ]] || fail "no change of formats shown for 127.0.0.2: $row2"

# The rendered DOM: one strip per scale, two marked days for 127.0.0.2, and no
# script anywhere.
[ "$(grep -o '<svg class="pas"' dom.html | wc -l)" = 4 ] || fail "not one strip per scale"
! grep -qi '<script' dom.html || fail "the page holds a script"
# The screenshot shows the page (many colours: text, the marks, the coloured rows).
colours=$(convert report.png -format %k info:)
[ "$colours" -gt 50 ] || fail "the screenshot looks empty ($colours colours)"

[ -n "${REPORT_SCREENSHOT:-}" ] && cp report.png "$REPORT_SCREENSHOT"
echo "report in the browser: ok"
