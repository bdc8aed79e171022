#!/usr/bin/env bash
# Twenty weather displays beside Quintaro, under Xvfb: Direwolf listens on
# port 8000, Quintaro connects to it, a recorder writes a report of each of
# twenty stations every 5 seconds into a scratch history (history_writer,
# writing as Quintaro does), and one quintaro-weather per station follows the
# store. Checks that every display takes in the new reports, how long after
# they were written, that Direwolf served one AGWPE client (Quintaro) and that
# no display holds a TCP connection; then reports each display's processor
# time while reports came and while the store was idle.
#
#   scripts/twenty-displays.sh [BUILD_DIR] [LIVE_SECONDS] [IDLE_SECONDS]
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "$repo" && cd "${1:-build}" && pwd) || exit 1
live=${2:-60}
idle=${3:-60}
count=20
port=8000

fail() {
    echo "twenty-displays: $*" >&2
    exit 1
}
for program in "$build/quintaro" "$build/quintaro-weather" "$build/bench/history_writer"; do
    [ -x "$program" ] || fail "$program is missing; run 'make build' first."
done
command -v direwolf >/dev/null || fail "direwolf is not installed (scripts/install-deps.sh test)."
if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    fail "port $port is taken; stop the program that listens there."
fi

if [ -z "${TWENTY_DISPLAYS_INSIDE:-}" ]; then
    export TWENTY_DISPLAYS_INSIDE=1
    exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$build" "$live" "$idle"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quintaro-twenty.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

export QUINTARO_HISTORY="$work/history.sqlite"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 -p "$work/runtime" "$work/run" "$work/logs"
calls=$(for i in $(seq -w 1 $count); do printf 'IK%sWX,' "$i"; done)
calls=${calls%,}

# A day of history for every station, as a display finds it when it opens.
"$build/bench/history_writer" "$QUINTARO_HISTORY" "$calls" --days 1 --interval 300 >/dev/null ||
    fail "history_writer could not make the store."

cat >"$work/direwolf.conf" <<EOF
ADEVICE stdin null
ARATE 44100
CHANNEL 0
MODEM 1200
AGWPORT $port
KISSPORT 0
EOF
(cd "$work" && exec direwolf -c direwolf.conf -t 0 -q hd </dev/zero >direwolf.log 2>&1) &
pids+=($!)
for _ in $(seq 1 100); do
    grep -q "Ready to accept AGW client" "$work/direwolf.log" 2>/dev/null && break
    sleep 0.1
done
printf '"127.0.0.1","%s",1440,1440,4900,2950,"#TRUE#"\r\n' "$build/quintaro-weather" \
    >"$work/run/Quintaro.ini"
(cd "$work/run" && exec "$build/quintaro" >"$work/logs/quintaro.log" 2>&1) &
pids+=($!)

display_pids=()
for call in ${calls//,/ }; do
    QT_LOGGING_RULES="quintaro.display.feed.debug=true" \
        QT_MESSAGE_PATTERN='%{time yyyy-MM-dd hh:mm:ss.zzz} %{message}' \
        "$build/quintaro-weather" "$call" 127.0.0.1 >"$work/logs/$call.log" 2>&1 &
    display_pids+=($!)
    pids+=($!)
done
sleep 5

cpu_ticks() { # user + system clock ticks of a process
    awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0
}
declare -A before=()
for pid in "${display_pids[@]}"; do before[$pid]=$(cpu_ticks "$pid"); done
started=$(date +%s)
"$build/bench/history_writer" "$QUINTARO_HISTORY" "$calls" --live "$live" --interval 5 \
    >"$work/logs/writer.log" || fail "the recorder stand-in failed."
sleep 3
hz=$(getconf CLK_TCK)
declare -A during=()
for pid in "${display_pids[@]}"; do during[$pid]=$(cpu_ticks "$pid"); done
sleep "$idle"

# --- what each display took in ---------------------------------------------
written=$(grep -c '^wrote ' "$work/logs/writer.log")
updated=0
worst=0
total_lag=0
lags=0
i=0
for call in ${calls//,/ }; do
    pid=${display_pids[$i]}
    i=$((i + 1))
    kill -0 "$pid" 2>/dev/null || { echo "$call: the display ended early"; continue; }
    # Each line: date time "CALL: N new report(s), the last heard at UTC".
    lines=$(grep "new report" "$work/logs/$call.log" |
        awk -v s="$started" '{ split($2, t, "[:.]"); cmd = "date -d \"" $1 " " t[1] ":" t[2] ":" t[3] "\" +%s"; cmd | getline e; close(cmd); at = e + t[4] / 1000; if ($NF >= s) print at - $NF }')
    n=$(printf '%s\n' "$lines" | grep -c .)
    [ "$n" -gt 0 ] && updated=$((updated + 1))
    while read -r lag; do
        [ -n "$lag" ] || continue
        lags=$((lags + 1))
        total_lag=$(echo "$total_lag + $lag" | bc)
        if [ "$(echo "$lag > $worst" | bc)" = 1 ]; then worst=$lag; fi
    done <<<"$lines"
    busy=$(((during[$pid] - before[$pid])))
    rest=$(($(cpu_ticks "$pid") - during[$pid]))
    printf '%-8s updates taken in %3d, processor: %5.2f %% of a core while reports came, %5.2f %% idle\n' \
        "$call" "$n" "$(echo "scale=4; 100 * $busy / $hz / $live" | bc)" \
        "$(echo "scale=4; 100 * $rest / $hz / $idle" | bc)"
done

clients=$(grep -c "Attached to AGW client" "$work/direwolf.log")
tcp=0
for pid in "${display_pids[@]}"; do
    if ss -tnpH 2>/dev/null | grep -q "pid=$pid,"; then tcp=$((tcp + 1)); fi
done
echo
echo "reports written: $written ($count stations, every 5 s for $live s)"
echo "displays that took in new reports: $updated of $count"
[ "$lags" -gt 0 ] && echo "time from a report's second to a display showing it: mean $(echo "scale=2; $total_lag / $lags" | bc) s, worst $worst s over $lags updates"
echo "AGWPE clients Direwolf attached: $clients (Quintaro); displays with a TCP connection: $tcp"
status=0
[ "$updated" -eq "$count" ] || status=1
[ "$clients" -eq 1 ] || status=1
[ "$tcp" -eq 0 ] || status=1
[ "$status" -eq 0 ] && echo "twenty-displays: every display updated, the engine served Quintaro alone" ||
    echo "twenty-displays: FAILED"
exit $status
