#!/usr/bin/env bash
# The weather history's slow checks, run by hand (they take about a minute
# and load both processors):
#   a) a writer killed with SIGKILL during a flood loses at most the batch it
#      had not yet written, and leaves a file that passes integrity_check;
#   b) two writers (two Quintaros on two engines) record into one store at
#      once: every report of each is there, the packets both heard once;
#   c) a reader polling as a display does sees each report within about two
#      seconds, and the log does not grow without bound while it polls.
# The writer is build/tests/history/history_tool, which drives the recorder
# as the main window does. Everything happens in a scratch folder, never in
# the user's store. Usage: scripts/history-checks.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
tool="$build/tests/history/history_tool"
[ -x "$tool" ] || { echo "history-checks: build $tool first" >&2; exit 2; }
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

[ $status -eq 0 ] && echo "history checks: all passed" || echo "history checks: FAILED"
exit $status
