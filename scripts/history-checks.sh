#!/usr/bin/env bash
# The weather history's slow checks, run by hand (they take about a minute
# and load both processors):
#   a) a writer killed with SIGKILL during a flood loses at most the batch it
#      had not yet written, and leaves a file that passes integrity_check;
#   b) two writers (two Quintaros on two engines) record into one store at
#      once: every report of each is there, the packets both heard once;
#   c) a reader polling as a display does sees each report within about two
#      seconds, and the log does not grow without bound while it polls;
#   d) the real program, connected to a stand-in engine on port 8000 that
#      floods it with weather reports, killed with SIGKILL: the same bounds
#      as a), counted from what the engine sent.
# The writer of a) to c) is build/tests/history/history_tool, which drives
# the recorder as the main window does; d) runs build/quintaro against
# scripts/flood-engine.py. Everything happens in a scratch folder, never in
# the user's store. Usage: scripts/history-checks.sh [BUILD_DIR]
set -euo pipefail
build=$(cd "${1:-build}" && pwd -P)
tool="$build/tests/history/history_tool"
program="$build/quintaro"
for needed in "$tool" "$program"; do
  [ -x "$needed" ] || { echo "history-checks: build $needed first" >&2; exit 2; }
done
engine="$(dirname "${BASH_SOURCE[0]}")/flood-engine.py"
scratch=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT
export QUINTARO_HISTORY="$scratch/unused.sqlite" XDG_DATA_HOME="$scratch/data"
status=0
fail() { echo "  FAILED: $*"; status=1; }

echo "== a) SIGKILL of a writer during a flood of 3000 reports a second"
store="$scratch/killed.sqlite"
"$tool" flood "$store" KILL 3000 60 >"$scratch/killed.out" &
pids+=($!)
sleep 6
kill -KILL "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true
last=$(grep "^handed" "$scratch/killed.out" | tail -n1)
read -r _ handed _ recorded _ dropped <<<"$last"
checked=$("$tool" check "$store")
stored=$(awk '{print $4}' <<<"$checked")
echo "  last words of the writer: $last"
echo "  store after the kill:     $checked"
echo "  reports lost: $((handed - stored)) of $handed handed (the bound, one unwritten batch and the one being written: 2 s of the flood)"
[[ $checked == "integrity ok "* ]] || fail "the store does not pass integrity_check"
[ "$stored" -ge "$recorded" ] || fail "reports the writer had written are gone"
[ $((handed - stored)) -le $((3000 * 2)) ] || fail "more than the unwritten batch was lost"

echo "== b) two writers at once, 1500 reports a second each for 15 s"
store="$scratch/two.sqlite"
"$tool" flood "$store" ONE 1500 15 radio-one.lan >"$scratch/one.out" &
pids+=($!)
"$tool" flood "$store" TWO 1500 15 radio-two.lan >"$scratch/two.out" &
pids+=($!)
sleep 8
echo "  while both record:        $("$tool" check "$store")"
wait "${pids[-1]}" "${pids[-2]}"
for who in one two; do
  summary=$(tail -n1 "$scratch/$who.out")
  echo "  writer $who: $summary"
  prefix=$(tr '[:lower:]' '[:upper:]' <<<"$who")
  expected=$(awk '{print $2}' <<<"$summary")
  found=$("$tool" check "$store" "$prefix")
  echo "  its reports in the store: $found"
  [ "$(awk '{print $4}' <<<"$found")" = "$expected" ] || fail "writer $who's reports are not all there"
done
shared=$("$tool" check "$store" SHARED)
echo "  heard by both engines:    $shared"
expected=$(($(awk '{print $2}' <<<"$(tail -n1 "$scratch/one.out")") / 10))
[ "$(awk '{print $4}' <<<"$shared")" -le $((expected + 20)) ] || fail "reports both writers heard are stored twice"
[[ $shared == *"recorders 0" ]] || fail "a writer that ended left its recorders row"

echo "== c) a reader polling every 100 ms while a writer records 2000 reports a second for 30 s"
store="$scratch/polled.sqlite"
"$tool" flood "$store" POLL 2000 30 >/dev/null &
pids+=($!)
polled=$("$tool" poll "$store" 31)
wait "${pids[-1]}"
echo "  $polled"
largest=$(sed -n 's/.*largest \([0-9]*\) ms.*/\1/p' <<<"$polled")
log=$(sed -n 's/.*largest log \([0-9]*\) bytes.*/\1/p' <<<"$polled")
[ "$largest" -le 2500 ] || fail "a report took more than 2.5 s to be seen"
[ "$log" -le $((16 << 20)) ] || fail "the log grew past 16 MB: checkpoints do not complete"
echo "  after the writer ended:   $("$tool" check "$store"), log $(stat -c %s "$store-wal" 2>/dev/null || echo 0) bytes"

rate=5000
echo "== d) SIGKILL of build/quintaro during a flood of $rate reports a second from 500 stations"
if (exec 3<>/dev/tcp/127.0.0.1/8000) 2>/dev/null; then
  fail "port 8000 is taken: stop the program that listens there"
else
  run="$scratch/program"
  mkdir -p "$run"
  store="$run/history.sqlite"
  # Connect on start-up to 127.0.0.1, where the program always looks on port 8000.
  printf '"127.0.0.1","Orbetti.exe",0,0,4900,2950,#TRUE#\r\n' >"$run/Quintaro.ini"
  python3 "$engine" 8000 "$rate" 60 500 >"$scratch/engine.out" &
  engine_pid=$!
  pids+=("$engine_pid")
  for _ in $(seq 100); do grep -q listening "$scratch/engine.out" && break; sleep 0.1; done
  (cd "$run" && QT_QPA_PLATFORM=offscreen QUINTARO_HISTORY="$store" exec "$program") \
    >"$scratch/program.out" 2>&1 &
  program_pid=$!
  pids+=("$program_pid")
  for _ in $(seq 100); do grep -q "^sent [1-9]" "$scratch/engine.out" && break; sleep 0.1; done
  sleep 6
  # What the engine had sent but the program not yet read: the bytes queued
  # on both ends of the link.
  queued=$(ss -tnH state established '( sport = :8000 or dport = :8000 )' |
    awk '{ q += $1 + $2 } END { print q + 0 }')
  killed_at=$(date +%s.%N)
  # The process id must be the program's own, not a shell's around it.
  if [ "$(readlink "/proc/$program_pid/exe")" != "$program" ]; then
    fail "the program is not running: $(cat "$scratch/program.out")"
  else
    kill -KILL "$program_pid"
    wait "$program_pid" 2>/dev/null || true
    wait "$engine_pid" || true
    frame=$(tail -n1 "$scratch/engine.out" | awk '{ print $5 }')
    sent=$(awk -v t="$killed_at" '$1 == "sent" && $3 <= t { n = $2 } END { print n + 0 }' "$scratch/engine.out")
    after=$(tail -n1 "$scratch/engine.out" | awk '{ print $2 }')
    unread=$((queued / frame))
    checked=$("$tool" check "$store")
    stored=$(awk '{print $4}' <<<"$checked")
    # The reports carry their number after '#': those stored must be the
    # first ones, an unbroken run.
    numbered="SELECT CAST(substr(CAST(info AS TEXT), instr(info, '#') + 1) AS INTEGER) AS n FROM reports"
    run_of=$(python3 -c 'import sqlite3, sys
print(*sqlite3.connect(sys.argv[1]).execute(sys.argv[2]).fetchone())' \
      "$store" "SELECT count(*), min(n), max(n) FROM ($numbered)")
    read -r count first last <<<"$run_of"
    lost=$((sent - unread - stored))
    echo "  the engine sent $sent reports before the kill ($after when it saw the link go), $unread of them unread in the link"
    echo "  store after the kill:     $checked; reports $first to $last"
    echo "  reports lost: $lost of the $((sent - unread)) that reached the program (the bound, one unwritten batch and the one being written: $((rate * 2)))"
    [[ $checked == "integrity ok "* ]] || fail "the store does not pass integrity_check"
    [ "$count" -eq $((last + 1)) ] && [ "$first" -eq 0 ] || fail "the stored reports are not an unbroken run from the first"
    [ "$lost" -le $((rate * 2)) ] || fail "more than the unwritten batch was lost"
    [ "$lost" -ge -$((rate / 10)) ] || fail "more reports stored than the engine sent"
  fi
fi

[ $status -eq 0 ] && echo "history checks: all passed" || echo "history checks: FAILED"
exit $status
