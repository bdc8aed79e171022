#!/usr/bin/env bash
# A demonstration without a radio: Direwolf on port 8000 of this machine
# demodulates APRS traffic played to it as audio (demo/traffic.txt, made into
# 1200-baud AFSK by gen_packets), and Quintaro, started in a scratch
# directory, connects to it at once and records what it hears into a scratch
# weather history, which a quintaro-weather window per weather station of the
# traffic shows. Ctrl+C, or closing Quintaro, ends it all.
#
#   scripts/demo.sh [BUILD_DIR]      (make demo)
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "$repo" && cd "${1:-build}" 2>/dev/null && pwd) || {
    echo "demo: no build directory '${1:-build}'; run 'make build' first." >&2
    exit 1
}
quintaro="$build/quintaro"
display="$build/quintaro-weather"
traffic="$repo/demo/traffic.txt"
port=8000 # the port Quintaro always uses

fail() {
    echo "demo: $*" >&2
    exit 1
}

[ -x "$quintaro" ] || fail "$quintaro is missing; run 'make build' first."
[ -x "$display" ] || fail "$display is missing; run 'make build' first."
for tool in direwolf gen_packets; do
    command -v "$tool" >/dev/null 2>&1 ||
        fail "$tool is not installed; run scripts/install-deps.sh (or 'make deps')."
done
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    fail "no desktop session (neither DISPLAY nor WAYLAND_DISPLAY is set); Quintaro needs one."
fi
# Something already answering on the port (a packet engine, another demo)
# would receive Quintaro's connection instead of the demo's Direwolf.
if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    fail "port $port is taken: another program (a packet engine, or a demo still running) listens there. Stop it and try again."
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quintaro-demo.XXXXXX") || fail "cannot make a scratch directory."
direwolf_pid=""
feeder_pid=""
quintaro_pid=""
display_pids=()

stop_pid() {
    local pid=$1
    [ -n "$pid" ] || return 0
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null
    for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30; do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}

cleanup() {
    trap - EXIT INT TERM
    for pid in "${display_pids[@]}"; do
        stop_pid "$pid"
    done
    stop_pid "$quintaro_pid"
    stop_pid "$feeder_pid"
    stop_pid "$direwolf_pid"
    rm -rf "$work"
    echo "demo: ended."
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- the traffic as audio: one gen_packets run per packet --------------------
mkdir -p "$work/audio" "$work/run"
count=0
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in '' | '#'*) continue ;; esac
    count=$((count + 1))
    name=$(printf '%s/%03d' "$work/audio" "$count")
    printf '%s' "$line" | gen_packets -r 44100 -B 1200 -o "$name.wav" - >/dev/null 2>&1 ||
        fail "gen_packets could not make audio for: $line"
    {
        tail -c +45 "$name.wav" # the samples after the 44-byte WAV header
        # A little silence lets the demodulator finish the packet.
        head -c 26460 /dev/zero # 0.3 s of 16-bit mono samples at 44 100 Hz
    } >"$name.raw"
    rm -f "$name.wav"
done <"$traffic"
[ "$count" -gt 0 ] || fail "no packets in $traffic."

# --- Direwolf, its audio from a FIFO -----------------------------------------
cat >"$work/direwolf.conf" <<EOF
ADEVICE stdin null
ARATE 44100
CHANNEL 0
MODEM 1200
AGWPORT $port
KISSPORT 0
EOF
mkfifo "$work/audio.fifo" || fail "cannot make a FIFO in $work."

# Plays the packets in a loop with pauses, so that stations keep arriving.
# Direwolf passes on only what it hears after a client has switched
# monitoring on, so the first packet waits for Quintaro to connect.
feed() {
    sleep 4 >/dev/null
    while :; do
        for packet in "$work"/audio/*.raw; do
            cat "$packet"
            sleep $((RANDOM % 3 + 1)) >/dev/null
        done
        sleep 10 >/dev/null
    done
}

(cd "$work" && exec direwolf -c direwolf.conf -t 0 -q hd <audio.fifo >direwolf.log 2>&1) &
direwolf_pid=$!
feed >"$work/audio.fifo" &
feeder_pid=$!

ready=""
for _ in $(seq 1 100); do
    if grep -q "Bind failed" "$work/direwolf.log" 2>/dev/null; then
        fail "port $port is taken: Direwolf could not listen on it. Stop the program that uses it and try again."
    fi
    if grep -q "Ready to accept AGW client" "$work/direwolf.log" 2>/dev/null; then
        ready=yes
        break
    fi
    kill -0 "$direwolf_pid" 2>/dev/null || break
    sleep 0.1
done
[ -n "$ready" ] || fail "Direwolf did not start:
$(cat "$work/direwolf.log" 2>/dev/null)"

# The weather stations of the traffic: senders of positionless reports and of
# positions or objects with the weather symbol and a wind direction, as
# Quintaro tells them.
stations=$(sed -n 's/^\([^#>][^>]*\)>[^:]*:\(_\|[!=\/@;].*_[0-9]\).*/\1/p' "$traffic" | sort -u)

# --- Quintaro in a scratch directory that connects on start-up ---------------
# Address, Brezomat path, window left, top, width, height (twips), and
# "&Connect on Startup". The weather history is a scratch file too; the
# displays find it through the same variable.
export QUINTARO_HISTORY="$work/history.sqlite"
printf '"127.0.0.1","%s",1440,1440,4900,2950,"#TRUE#"\r\n' "$display" >"$work/run/Quintaro.ini"

cat <<EOF
Quintaro demo: Direwolf listens on 127.0.0.1:$port and hears $count packets,
over and over, with pauses between them ($work).
Quintaro records the weather reports into $QUINTARO_HISTORY,
and the demo opens a weather display for each weather station of the traffic:
$(echo $stations)
Each shows its station's values and graphs as reports come in. Quintaro's own
option "Open Brezomat for new wx station" starts quintaro-weather too, for
every station heard anew (Wx List > Clear Wx Station List lets them come anew).
Ctrl+C here, or closing Quintaro, ends the demo and its displays.

EOF

(cd "$work/run" && exec "$quintaro") &
quintaro_pid=$!
for call in $stations; do
    (cd "$work/run" && exec "$display" "$call" 127.0.0.1) >/dev/null 2>&1 &
    display_pids+=($!)
done
wait "$quintaro_pid"
quintaro_pid=""
