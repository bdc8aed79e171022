#!/usr/bin/env bash
# The whole Windows chain under wine, against a real Direwolf: the setup
# installs silently into a fresh wine prefix (over an older version), the
# installed Quintaro started as its Start-menu entry starts it connects to
# Direwolf on 127.0.0.1:8000, lists the weather stations of packets played
# to Direwolf as audio, records them into its store and opens a display per
# station; a batch file written through its file dialog starts the displays
# one after another under cmd; the uninstaller removes the programs and
# leaves the user's files.
#
#   scripts/windows/chain-check.sh [BUILD] [--shots DIR]   (make windows-chain)
#
# BUILD (default build-windows) holds the setup made by `make windows` and
# receives the check's folder, BUILD/chain, made anew: the wine prefix, a
# HOME of its own, Direwolf's folder and the logs. --shots saves screenshots
# of the installed programs into DIR.
#
# Wine enforces no folder permissions and offers no accessibility bus, so
# what is checked is what can be seen: files, the store's rows, registry
# values, processes and window titles. Everything started here is stopped by
# its process id; every wait is bounded.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=""
shots=""
while [ $# -gt 0 ]; do
  case "$1" in
  --shots)
    shots=$(mkdir -p "$2" && cd "$2" && pwd)
    shift 2
    ;;
  -*)
    echo "usage: $0 [BUILD] [--shots DIR]" >&2
    exit 2
    ;;
  *)
    build=$1
    shift
    ;;
  esac
done
build=$(cd "${build:-$root/build-windows}" && pwd)
version=$(sed -n 's/^project(Quintaro VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
setup=$build/quintaro-$version-setup.exe
release=$build/release/quintaro-$version
wine_run=$root/scripts/windows/wine-run.sh
started=$SECONDS

say() { echo "chain: $*"; }
fail() {
  echo "chain: FAILED: $*" >&2
  exit 1
}

[ -f "$setup" ] && [ -d "$release" ] || fail "$setup is missing: run make windows"
for tool in xdotool direwolf gen_packets Xvfb makensis python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/install-deps.sh windows"
done
# Quintaro always connects to port 8000: a program already there would get
# its connection instead of this check's Direwolf.
if (exec 3<>/dev/tcp/127.0.0.1/8000) 2>/dev/null; then
  fail "port 8000 is taken: stop the program listening there"
fi

work=$build/chain
rm -rf "$work"
mkdir -p "$work/home" "$work/dw"
# The prefix's Documents and Desktop would otherwise be links to the real
# home folder.
export HOME=$work/home
export QUINTARO_WINEPREFIX=$work/wine
prefix=$QUINTARO_WINEPREFIX

xvfb_pid=""
session_pid=""
direwolf_pid=""
holder_pid=""
quintaro_pid=""
quintaro_start_pid=""
batch_pid=""
display_pids=()

alive() { [ -n "$1" ] && kill -0 "$1" 2>/dev/null; }
# Ends process $1: SIGTERM, then SIGKILL after 5 s.
stop_pid() {
  local pid=$1 i
  alive "$pid" || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for ((i = 0; i < 50; i++)); do
    alive "$pid" || break
    sleep 0.1
  done
  alive "$pid" && kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
# The processes of this check's wine prefix: what the programs started
# themselves (displays, cmd) is found so.
prefix_pids() {
  local p
  for p in /proc/[0-9]*; do
    if { tr '\0' '\n' <"$p/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$prefix"; then
      echo "${p#/proc/}"
    fi
  done
}
cleanup() {
  local status=$? pid
  trap - EXIT INT TERM
  for pid in "${display_pids[@]}" "$batch_pid" "$quintaro_pid" "$quintaro_start_pid"; do
    stop_pid "$pid"
  done
  stop_pid "$holder_pid"
  stop_pid "$direwolf_pid"
  # The session's end stops the prefix's wine server and whatever still
  # runs on it.
  stop_pid "$session_pid"
  for pid in $(prefix_pids); do
    echo "chain: stopping a process left in the prefix: $pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)" >&2
    stop_pid "$pid"
    status=1
  done
  stop_pid "$xvfb_pid"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local limit=$1 i
  shift
  for ((i = 0; i < limit * 5; i++)); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
has_window() { [ -n "$(visible "$1")" ]; }
no_window() { [ -z "$(visible "$1")" ]; }
shot() {
  if [ -n "$shots" ]; then
    import -window root "$shots/$1.png" 2>/dev/null || true
  fi
}
# A Windows program of the prefix, run to its end.
wine_call() {
  local limit=$1
  shift
  "$wine_run" --timeout "$limit" "$@" </dev/null
}

# --- an X server and the prefix's wine server for the whole check -----------
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/xvfb.display" \
  </dev/null >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for 10 test -s "$work/xvfb.display" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/xvfb.display")"
"$wine_run" --session sleep 1800 </dev/null >"$work/session.log" 2>&1 &
session_pid=$!
wait_for 120 test -f "$prefix/.quintaro-ready" || fail "the wine prefix was not made: $(cat "$work/session.log")"
user=$(cd "$prefix/drive_c/users" && ls | grep -vx Public | head -1)
profile=$prefix/drive_c/users/$user
winprofile="C:\\users\\$user"
for link in "$profile"/*; do
  if [ -L "$link" ]; then
    rm "$link"
    mkdir "$link"
  fi
done
installed=$profile/AppData/Local/Programs/Quintaro
wininstalled="$winprofile\\AppData\\Local\\Programs\\Quintaro"
documents=$profile/Documents/Quintaro
store=$profile/AppData/Local/quintaro/history.sqlite
shortcut="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quintaro.lnk"
winshortcut="$winprofile\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Quintaro.lnk"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quintaro'
say "wine prefix made in $work ($((SECONDS - started)) s); the wine user is $user"

# The uninstall entry's values, as reg.exe tells them, read anew.
reg_text=""
read_uninstall_entry() {
  reg_text=$(wine_call 60 reg query "$uninstall_key" 2>/dev/null | tr -d '\r' || true)
}
reg_value() { sed -n "s/^ *$1 *REG_[A-Z_]* *//p" <<<"$reg_text"; }
# The release's files, relative, one a line.
release_files() { (cd "$release" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }

# --- an older version first, with a file the new one no longer has ----------
old=$work/old/quintaro-2.00
mkdir -p "$(dirname "$old")"
cp -r "$release" "$old"
echo "a file only the older version installed" >"$old/obsolete.txt"
"$root/scripts/windows/make-setup.sh" "$old" 2.00 "$build/quintaro.ico" \
  "$work/quintaro-2.00-setup.exe" >/dev/null
wine_call 180 "$work/quintaro-2.00-setup.exe" /S || fail "the older setup failed"
[ -f "$installed/obsolete.txt" ] || fail "the older setup installed nothing"
read_uninstall_entry
[ "$(reg_value DisplayVersion)" = 2.00 ] || fail "the older setup registered no version 2.00"
# The user's files by then: settings that connect on start-up to 127.0.0.1
# and keep the default Brezomat path (address, path, window left, top,
# width, height in twips, connect on start-up), and a station list.
[ -d "$documents" ] || fail "the setup made no $documents"
printf '"127.0.0.1","Orbetti.exe",1440,1440,4900,2950,"#TRUE#"\r\n' >"$documents/Quintaro.ini"
printf 'IK1WXA\r\n' >"$documents/Kept.txt"
cp "$documents/Quintaro.ini" "$work/Quintaro.ini.before"
say "version 2.00 installed"

# --- this version's setup over it -------------------------------------------
t=$SECONDS
wine_call 180 "$setup" /S || fail "the setup failed"
say "setup $(basename "$setup") ($(du -h "$setup" | cut -f1)) installed in $((SECONDS - t)) s"
[ ! -e "$installed/obsolete.txt" ] || fail "the older version's own file stayed"
cmp -s "$documents/Quintaro.ini" "$work/Quintaro.ini.before" || fail "the setup changed Quintaro.ini"
[ -f "$documents/Kept.txt" ] || fail "the setup removed the user's station list"
diff <(release_files) <(cd "$installed" && find . -type f ! -name uninstall.exe | sed 's|^\./||' | LC_ALL=C sort) ||
  fail "the installed files are not the release's"
[ -f "$installed/uninstall.exe" ] || fail "no uninstaller"
while read -r f; do
  cmp -s "$release/$f" "$installed/$f" || fail "$f differs from the release's"
done < <(release_files)
[ -f "$shortcut" ] || fail "no Start-menu entry"
# A shortcut holds its target and working folder as UTF-16 text.
lnk_text=$(python3 -c 'import sys; print(open(sys.argv[1], "rb").read().decode("utf-16-le", "replace").replace("\0", ""))' "$shortcut")
[[ "$lnk_text" == *"$winprofile\\Documents\\Quintaro"* ]] || fail "the Start-menu entry does not start in Documents\\Quintaro"
[[ "$lnk_text" == *"$wininstalled\\quintaro.exe"* ]] || fail "the Start-menu entry does not start the installed quintaro.exe"
read_uninstall_entry
[ "$(reg_value DisplayVersion)" = "$version" ] || fail "DisplayVersion is not $version"
[ "$(reg_value DisplayName)" = Quintaro ] || fail "DisplayName is not Quintaro"
[ "$(reg_value InstallLocation)" = "$wininstalled" ] || fail "InstallLocation is not $wininstalled"
[ "$(reg_value UninstallString)" = "\"$wininstalled\\uninstall.exe\"" ] || fail "UninstallString is wrong"
[ "$(reg_value QuietUninstallString)" = "\"$wininstalled\\uninstall.exe\" /S" ] || fail "QuietUninstallString is wrong"
[ "$(reg_value DisplayIcon)" = "$wininstalled\\quintaro.exe,0" ] || fail "DisplayIcon is wrong"
[ -n "$(reg_value Publisher)" ] || fail "no Publisher"
for v in NoModify NoRepair; do
  [ "$(reg_value "$v")" = 0x1 ] || fail "$v is not 1"
done
size_kb=$(($(reg_value EstimatedSize)))
installed_kb=$(du -sk "$installed" | cut -f1)
[ "$size_kb" -gt $((installed_kb * 9 / 10)) ] && [ "$size_kb" -lt $((installed_kb * 11 / 10)) ] ||
  fail "EstimatedSize $size_kb KB, but $installed_kb KB are installed"
say "installed: $(release_files | wc -l) files as in the release, the uninstaller, the Start-menu entry (in Documents\\Quintaro), the uninstall entry (EstimatedSize $size_kb KB); the older version's file gone, the user's files kept"

# --- Direwolf on 127.0.0.1:8000, its audio from a FIFO ----------------------
# Weather stations of three kinds of report, and two packets of a station
# that sends none.
packets=$(grep -E '^(IK1WXA|IW1HOM|IZ1WXB|IW2WXC-13)>' "$root/demo/traffic.txt")
stations=(IK1WXA IZ1WXB IW2WXC-13)
n=0
while IFS= read -r line; do
  n=$((n + 1))
  printf '%s' "$line" | gen_packets -r 44100 -B 1200 -o "$work/dw/$n.wav" - >/dev/null 2>&1 ||
    fail "gen_packets could not make audio for: $line"
  # The samples after the 44-byte header, then 0.3 s of silence.
  { tail -c +45 "$work/dw/$n.wav" && head -c 26460 /dev/zero; } >"$work/dw/$n.raw"
done <<<"$packets"
cat >"$work/dw/direwolf.conf" <<EOF
ADEVICE stdin null
ARATE 44100
CHANNEL 0
MODEM 1200
AGWPORT 8000
KISSPORT 0
EOF
mkfifo "$work/dw/audio.fifo"
(cd "$work/dw" && exec direwolf -c direwolf.conf -t 0 -q hd <audio.fifo >direwolf.log 2>&1) &
direwolf_pid=$!
# Holds the FIFO open, so that Direwolf reads no end of its audio between
# packets; the packets are written through it.
(exec 9>"$work/dw/audio.fifo" && exec sleep 1800) &
holder_pid=$!
wait_for 20 grep -qs "Ready to accept AGW client" "$work/dw/direwolf.log" ||
  fail "Direwolf did not start: $(cat "$work/dw/direwolf.log")"
play() { cat "$work/dw/$1.raw" >"/proc/$holder_pid/fd/9"; }

# --- Quintaro as the Start-menu entry starts it -----------------------------
"$wine_run" --timeout 900 start /wait "$winshortcut" </dev/null >"$work/quintaro.log" 2>&1 &
quintaro_start_pid=$!
wait_for 60 has_window '^Quintaro( |$)' || fail "no Quintaro window"
main=$(visible '^Quintaro( |$)')
quintaro_pid=$(xdotool getwindowpid "$main")
tr '\0' ' ' <"/proc/$quintaro_pid/cmdline" | grep -qF "$wininstalled\\quintaro.exe" ||
  fail "the Quintaro window is not the installed program's"
wait_for 30 grep -q "Attached to AGW client" "$work/dw/direwolf.log" ||
  fail "Quintaro did not connect to Direwolf (its Quintaro.ini was not read from Documents\\Quintaro?)"
say "the installed Quintaro (process $quintaro_pid) started in Documents\\Quintaro and connected to Direwolf"

# "Open Brezomat for new wx station" is never stored: ticked in the window.
# From the address box, where the focus starts, Tab passes the station list
# and the status window to it.
xdotool windowfocus "$main"
sleep 0.5
xdotool key Tab
sleep 0.2
xdotool key Tab
sleep 0.2
xdotool key Tab
sleep 0.2
xdotool key space
sleep 0.5
shot quintaro-ticked

t=$SECONDS
for ((i = 1; i <= n; i++)); do
  play "$i"
  sleep 1
done
title() { printf '^%s .* Quintaro Weather$' "$1"; }
# display_started SECONDS CALL COMMAND-LINE WHO: waits for CALL's display
# window, keeps its pid to be stopped, and checks the line it was started by.
display_started() {
  local pid
  wait_for "$1" has_window "$(title "$2")" || fail "$4 did not open the display of $2"
  pid=$(xdotool getwindowpid "$(visible "$(title "$2")")")
  display_pids+=("$pid")
  tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF "$3" ||
    fail "$4 started the display of $2 by another command line than $3"
}
for call in "${stations[@]}"; do
  display_started 90 "$call" "$wininstalled\\quintaro-weather.exe $call 127.0.0.1" Quintaro
done
no_window "$(title IW1HOM)" || fail "a display was opened for IW1HOM, which sends no weather"
say "displays opened for ${stations[*]} in $((SECONDS - t)) s from the first packet, each quintaro-weather.exe CALL 127.0.0.1"
# Reports are written by a thread of their own within a second or so.
store_calls() {
  python3 - "$store" <<'EOF'
import sqlite3, sys
db = sqlite3.connect("file:" + sys.argv[1] + "?mode=ro", uri=True)
print(" ".join(c for (c,) in db.execute("SELECT DISTINCT call FROM reports ORDER BY call")))
EOF
}
expected_calls=$(printf '%s\n' "${stations[@]}" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
wait_for 20 test -f "$store" || fail "no weather history at $store"
wait_for 20 eval '[ "$(store_calls 2>/dev/null)" = "$expected_calls" ]' ||
  fail "the store holds reports of '$(store_calls)', not of '$expected_calls'"
say "the store in the wine user's local data folder holds reports of $expected_calls"
shot displays

# Help: the read-me is beside the program, not in the folder it runs in.
# The menu bar's last command, at the right of File, Wx List and Disconnect.
xdotool windowraise "$main"
xdotool windowfocus "$main" || true
xdotool mousemove --window "$main" 180 9 click 1
wait_for 20 has_window 'Quintaro - Istruzioni$' || fail "Help opened no window"
sleep 1
shot help
# Closed again: the program ends only when its last window has closed.
help=$(visible 'Quintaro - Istruzioni$')
for try in 1 2 3; do
  {
    xdotool windowfocus "$help"
    sleep 0.3
    xdotool key alt+F4
  } 2>/dev/null || true
  wait_for 10 no_window 'Quintaro - Istruzioni$' && break
done
no_window 'Quintaro - Istruzioni$' || fail "the Help window did not close"
say "Help opened its window and closed it"

# Chooses the command with access key $2 from the menu at x = $1 of the
# window's menu bar, then waits for the dialog titled $3; tried three times.
menu_dialog() {
  local x=$1 key=$2 name=$3 try
  for try in 1 2 3; do
    xdotool windowraise "$main"
    xdotool windowfocus "$main" || true
    xdotool mousemove --window "$main" "$x" 9 click 1
    sleep 1
    xdotool key "$key"
    wait_for 15 has_window "^$name\$" && return 0
    xdotool key Escape
    sleep 0.5
    xdotool key Escape
  done
  fail "the dialog \"$name\" did not open"
}

# File > Setup Brezomat Path...: the installed display's full path.
display_path="$wininstalled\\quintaro-weather.exe"
menu_dialog 12 p "Set Brezomat Path"
sleep 0.5
xdotool type --delay 30 "$display_path"
xdotool key Return
wait_for 15 no_window "^Set Brezomat Path\$" || fail "the path dialog did not close"

# Wx List > Generate Batch File...: the name it proposes, in the current
# folder.
menu_dialog 60 g "Save Batch File"
sleep 0.5
shot batch-dialog
xdotool key Return
batch=$documents/WxLoad.bat
wait_for 20 test -s "$batch" || fail "no WxLoad.bat in Documents\\Quintaro"
# The path as the dialog gave it: Qt's separators.
path_written=$(sed -n '4s/ .*//p' "$batch")
[ "$(echo "$path_written" | tr '/' '\\')" = "$display_path" ] || fail "the batch file names $path_written"
{
  printf '@Echo Off\r\nREM Batch file for opening Brezomat\r\nREM several times with different Wx Calls\r\n'
  for call in "${stations[@]}"; do
    printf '%s %s 127.0.0.1\r\n' "$path_written" "$call"
  done
} >"$work/WxLoad.expected"
cmp -s "$batch" "$work/WxLoad.expected" || {
  diff "$work/WxLoad.expected" "$batch" >&2 || true
  fail "WxLoad.bat is not as expected"
}
say "WxLoad.bat written through the dialog into Documents\\Quintaro: the header and one line per station"

# File > Exit: the settings are saved in the folder the program runs in.
t=$SECONDS
for try in 1 2 3; do
  alive "$quintaro_pid" || break
  {
    xdotool windowraise "$main"
    xdotool windowfocus "$main"
    xdotool mousemove --window "$main" 12 9 click 1
    sleep 1
    xdotool key e
  } 2>/dev/null || true
  wait_for 30 eval '! alive "$quintaro_pid"' && break
  xdotool key Escape
  sleep 0.5
  xdotool key Escape
done
alive "$quintaro_pid" && fail "Quintaro did not end through File > Exit"
quintaro_pid=""
wait "$quintaro_start_pid" || true
quintaro_start_pid=""
grep -qF "quintaro-weather.exe" "$documents/Quintaro.ini" ||
  fail "Quintaro.ini in Documents\\Quintaro does not hold the new path"
for pid in "${display_pids[@]}"; do
  stop_pid "$pid"
done
display_pids=()
say "Quintaro ended through File > Exit (after $((SECONDS - t)) s) and saved its settings in Documents\\Quintaro"

# --- the batch file under cmd ----------------------------------------------
# cmd waits for each display before the next line: the second opens only
# once the first has ended.
"$wine_run" --timeout 300 cmd /c "$winprofile\\Documents\\Quintaro\\WxLoad.bat" \
  </dev/null >"$work/batch.log" 2>&1 &
batch_pid=$!
previous=""
for call in "${stations[@]}"; do
  display_started 60 "$call" "quintaro-weather.exe $call 127.0.0.1" "the batch file"
  [ -z "$previous" ] || no_window "$(title "$previous")" || fail "two of the batch file's displays at once"
  if [ "$call" = "${stations[0]}" ]; then
    # Time enough for a second display to have started, if cmd did not wait.
    sleep 8
    no_window "$(title "${stations[1]}")" || fail "cmd did not wait for the first display"
    shot batch-display
  fi
  stop_pid "${display_pids[-1]}"
  previous=$call
done
wait_for 30 eval '! alive "$batch_pid"' || fail "cmd did not end after the last display"
batch_status=0
wait "$batch_pid" || batch_status=$?
batch_pid=""
display_pids=()
[ "$batch_status" = 0 ] || fail "cmd ended with $batch_status"
say "cmd /c WxLoad.bat started the ${#stations[@]} displays one after another, each once the one before had ended"

# --- the uninstaller --------------------------------------------------------
# Silent, and waited for only with _?= (otherwise it returns at once from a
# copy of itself).
wine_call 120 "$installed/uninstall.exe" /S "_?=$wininstalled" || fail "the uninstaller failed"
left=$(cd "$installed" 2>/dev/null && find . -type f | sed 's|^\./||' || true)
while read -r f; do
  [ ! -e "$installed/$f" ] || fail "the uninstaller left $f"
done < <(release_files)
[ ! -e "$shortcut" ] || fail "the uninstaller left the Start-menu entry"
read_uninstall_entry
[ -z "$(reg_value DisplayName)" ] || fail "the uninstaller left the uninstall entry"
for f in Quintaro.ini WxLoad.bat Kept.txt; do
  [ -f "$documents/$f" ] || fail "the uninstaller removed the user's $f"
done
[ "$(store_calls)" = "$expected_calls" ] || fail "the weather history did not stay"
say "uninstalled: programs, Start-menu entry and uninstall entry gone${left:+ (left: $(echo $left))}; Documents\\Quintaro and the weather history kept"

for pid in "$holder_pid" "$direwolf_pid" "$session_pid"; do
  stop_pid "$pid"
done
holder_pid="" direwolf_pid="" session_pid=""
left_running=$(prefix_pids)
[ -z "$left_running" ] || fail "processes left in the prefix: $(echo $left_running)"
say "passed in $((SECONDS - started)) s"
