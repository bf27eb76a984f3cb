# Sourced by the Windows leg's scripts.
# start_emulator EMULATOR LOG ARGS...: starts the scale emulator with ARGS,
# its output in LOG, and waits until it says it is ready. Sets $emulator to its
# process, or to '' and fails when it ended or was not ready in 10 s (another
# run may hold the addresses; the caller tries others).
start_emulator() {
  local program=$1 log=$2
  shift 2
  "$program" "$@" >"$log" 2>&1 &
  emulator=$!
  for _ in $(seq 100); do
    grep -qs '^ready' "$log" && return 0
    kill -0 "$emulator" 2>/dev/null || break
    sleep 0.1
  done
  grep -q '^ready' "$log" && return 0
  kill "$emulator" 2>/dev/null || true
  wait "$emulator" 2>/dev/null || true
  emulator=''
  return 1
}
