#!/usr/bin/env bash
# --ping end to end against a small HTTP server on 127.0.0.1 (ping_server.py),
# with check-list over a scale that answers:
#  - every scale done: POST to URL, the body the summary line --json prints
#    last, as application/json;
#  - a line of the list names no scale (exit 1): POST to URL/fail, before
#    the URL's query;
#  - a server that answers 500 is tried three times; one that never answers
#    times out (three tries of 5 s); a refused connection: each said in one
#    line on stderr, the exit status and the run record as without --ping.
# (A URL that is not http:// or https:// is refused in test_zaltool_runs.cpp.)
#
#   ping_test.sh SCALE ZALTOOL [ARGS...]
# SCALE: the address of a scale that answers ("-": an emulated one started
# here from $EMULATOR); ZALTOOL: the command that starts zaltool (e.g.
# cmake/wine-run.sh build-win64/bin/zaltool.exe). Loopback only.
set -euo pipefail
scale=$1
shift
zaltool=("$@")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export TWSWTCP_LOOPBACK_ONLY=1
work=$(mktemp -d /tmp/zalohy-ping.XXXXXX)
server='' emulator=''
cleanup() {
  for pid in $server $emulator; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "ping_test: $*" >&2; exit 1; }
cd "$work"

if [ "$scale" = - ]; then
  : "${EMULATOR:?}"
  mkdir scales
  "$EMULATOR" --data scales --listen 127.0.0.2:0 --seed >emulator.log 2>&1 &
  emulator=$!
  for _ in $(seq 100); do
    grep -q 'ready port=' emulator.log || ! kill -0 "$emulator" 2>/dev/null && break
    sleep 0.1
  done
  scale=127.0.0.2:$(sed -n 's/.*ready port=\([0-9]*\).*/\1/p' emulator.log)
  [ "$scale" != 127.0.0.2: ] || fail "the emulator did not start: $(cat emulator.log)"
fi
python3 "$here/ping_server.py" requests.log >ports.txt 2>server.log &
server=$!
for _ in $(seq 100); do [ -s ports.txt ] && break; sleep 0.1; done
read -r answer silent free <ports.txt || fail "the HTTP server did not start: $(cat server.log)"

printf '%s pult\r\n' "$scale" >ok.lst
printf '%s pult\r\n127.0.0.6/x\r\n' "$scale" >bad.lst
mkdir record
# run EXPECTED_STATUS ARGS...: zaltool with ARGS; its output in out.txt and err.txt.
run() {
  local expected=$1 status=0
  shift
  "${zaltool[@]}" "$@" >out.txt 2>err.txt || status=$?
  tr -d '\r' <out.txt >out.lf && mv out.lf out.txt
  tr -d '\r' <err.txt >err.lf && mv err.lf err.txt
  [ "$status" = "$expected" ] || fail "zaltool $* ended with $status, not $expected: $(cat out.txt err.txt)"
}
# field JSON KEY: one value of a summary line.
field() { python3 -c 'import json, sys; print(json.loads(sys.argv[1])[sys.argv[2]])' "$1" "$2"; }
requests() { [ -f requests.log ] && wc -l <requests.log || echo 0; }

# Every scale done: one POST to URL whose body is the summary line.
url=http://127.0.0.1:$answer/night
run 0 check-list ok.lst --json --record=record "--ping=$url"
[ "$(requests)" = 1 ] || fail "not one request: $(cat requests.log)"
summary=$(tail -n 1 out.txt)
[ "$(cut -f1 requests.log)" = "POST /night application/json" ] || fail "the ping of a good night: $(cat requests.log)"
[ "$(cut -f2 requests.log)" = "$summary" ] || fail "the body is not the summary line: $(cat requests.log out.txt)"
for pair in type=summary command=check-list done=1 failed=0 skipped=0 missing=0 scales=1 exit_status=0; do
  [ "$(field "$summary" "${pair%%=*}")" = "${pair#*=}" ] || fail "summary $summary: not ${pair}"
done
[ ! -s err.txt ] || fail "a delivered ping said: $(cat err.txt)"

# A line that names no scale: URL/fail, before the query; the lines as without --ping.
run 1 check-list bad.lst "--ping=$url/?k=1"
grep -q "^kontrola: 1 z 1 vah v pořádku; přeskočené řádky seznamu: 1$" out.txt || fail "the run's lines: $(cat out.txt)"
request=$(tail -n 1 requests.log)
[ "${request%%$'\t'*}" = "POST /night/fail?k=1 application/json" ] || fail "the ping of a failed night: $request"
[ "$(field "${request#*$'\t'}" exit_status)" = 1 ] && [ "$(field "${request#*$'\t'}" skipped)" = 1 ] ||
  fail "the failed night's summary: $request"

# Pings that cannot be delivered: one line each, the run's status and record kept.
declare -A said=(
  ["http://127.0.0.1:$answer/500/x"]="server odpověděl stavem 500"
  ["http://127.0.0.1:$silent/x"]="bez odpovědi do 5 s"
  ["http://127.0.0.1:$free/x"]="spojení nelze navázat"
)
for target in "${!said[@]}"; do
  before=$(wc -l <record/zaltool-zaznam.jsonl)
  start=$SECONDS
  run 0 check-list ok.lst --record=record "--ping=$target"
  took=$((SECONDS - start))
  grep -q "^kontrola: 1 z 1 vah v pořádku$" out.txt || fail "--ping=$target: $(cat out.txt)"
  [ "$(wc -l <err.txt)" = 1 ] && grep -q "^zaltool: oznámení o běhu na $target se nepodařilo doručit: ${said[$target]}" err.txt ||
    fail "--ping=$target said: $(cat err.txt)"
  [ "$(wc -l <record/zaltool-zaznam.jsonl)" = $((before + 1)) ] || fail "--ping=$target: the record lost the run"
  case $target in
    */500/x) [ "$(grep -c '^POST /500/x ' requests.log)" = 3 ] || fail "not three tries: $(cat requests.log)" ;;
    *:$silent/x) [ "$took" -ge 15 ] && [ "$took" -le 40 ] || fail "three tries of 5 s took $took s" ;;
  esac
done

echo "ping_test: delivered to $url and $url/fail; 500, no answer and refused said, the run's status kept"
