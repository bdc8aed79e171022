#!/usr/bin/env bash
# Runs one Windows program under wine and returns its exit status, its
# standard output and error passed through (standard input is /dev/null).
#
#   scripts/windows/wine-run.sh [options] PROGRAM.exe [ARGUMENT...]
#   scripts/windows/wine-run.sh [options] --session COMMAND [ARGUMENT...]
#
# Options:
#   --qt PREFIX         a Qt for MinGW: its bin/ and MinGW's runtime go on the
#                       program's DLL path, for a program of a build folder
#                       (a folder made by deploy.sh runs without)
#   --path DIR          one more folder for the DLL path (repeatable)
#   --platform NAME     QT_QPA_PLATFORM for the program (windows or minimal);
#                       otherwise the caller's QT_QPA_PLATFORM passes, if set
#   --timeout SECONDS   ends the program after so long (default 300, or
#                       WINE_RUN_TIMEOUT); the status is then 124
#
# --session runs COMMAND (for example ctest) with wine's server and the X
# server kept up for the whole of it, so that the programs it runs through
# this script each start warm instead of paying wine's cold start.
#
# The wine prefix is the project's own, QUINTARO_WINEPREFIX (default
# build-windows/wine in the clone), made once with wineboot. Calls may run at
# the same time: they share the prefix's wine server and one Xvfb, which the
# first call starts and the last one to finish stops, by their process ids
# (a DISPLAY set by the caller is used instead of Xvfb). Every call unsets TZ
# (wine reads a zoneinfo TZ an hour off), sets WINEDEBUG=-all,err+module (only
# a DLL not found is told; WINE_RUN_DEBUG replaces it) and keeps wine's
# .NET and HTML installers and its crash debugger from starting, and sets
# QT_FORCE_STDERR_LOGGING=1 for the program, so that Qt's messages and Qt
# Test's results come out on the standard streams. Of the caller's QT_
# variables only QT_QPA_PLATFORM reaches the program (wine drops them all);
# others are passed as WINEQT_NAME=VALUE.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
wine=${WINE:-/usr/lib/wine/wine64}
wineserver=${WINESERVER:-/usr/lib/wine/wineserver64}
timeout_s=${WINE_RUN_TIMEOUT:-300}
prefix=${QUINTARO_WINEPREFIX:-$root/build-windows/wine}
dll_dirs=()
with_qt=0
session=0

usage() {
  sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case "$1" in
  --qt)
    dll_dirs+=("$2/bin")
    with_qt=1
    shift 2
    ;;
  --path)
    dll_dirs+=("$2")
    shift 2
    ;;
  --platform)
    export QT_QPA_PLATFORM=$2
    shift 2
    ;;
  --timeout)
    timeout_s=$2
    shift 2
    ;;
  --session)
    session=1
    shift
    break
    ;;
  -h | --help) usage ;;
  --*) usage ;;
  *) break ;;
  esac
done
[ $# -gt 0 ] || usage
[ -x "$wine" ] || {
  echo "wine-run: $wine is missing: run scripts/install-deps.sh windows" >&2
  exit 2
}

# With a Qt, the program is one of a build folder rather than a deployed
# one: MinGW's runtime (libstdc++, libgcc, winpthread) goes on the path too.
# Without, only what the program's folder holds is found, as on Windows.
if [ "$with_qt" = 1 ]; then
  for dll in libstdc++-6.dll libwinpthread-1.dll; do
    f=$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll 2>/dev/null || true)
    [ -f "$f" ] && dll_dirs+=("$(cd "$(dirname "$f")" && pwd)")
  done
fi

export WINEPREFIX=$prefix
export WINEDEBUG=${WINE_RUN_DEBUG:--all,err+module}
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINEARCH=win64
unset TZ
# Wine hands no QT_ variable of Linux to a Windows program (a Linux Qt's
# settings would mislead it); WINEQT_NAME reaches it as QT_NAME. The platform
# is passed so. Qt on Windows sends its messages, and Qt Test its results, to
# the debugger instead of the standard streams when the program has no
# console window, as always here: QT_FORCE_STDERR_LOGGING sends them out.
if [ -n "${QT_QPA_PLATFORM:-}" ]; then
  export WINEQT_QPA_PLATFORM=$QT_QPA_PLATFORM
fi
export WINEQT_FORCE_STDERR_LOGGING=${WINEQT_FORCE_STDERR_LOGGING:-1}

state="$prefix.run"
mkdir -p "$state"
# setup.lock: held while the shared processes are started or stopped;
# users.lock: held shared by every call while it runs, so the last one to
# leave can tell that it is the last.
exec 7>"$state/setup.lock" 8>"$state/users.lock"

alive() { [ -n "$1" ] && kill -0 "$1" 2>/dev/null; }
pid_of() { cat "$state/$1.pid" 2>/dev/null || true; }

# Waits up to $2 tenths of a second for process $1 to end.
wait_gone() {
  local i
  for ((i = 0; i < $2; i++)); do
    alive "$1" || return 0
    sleep 0.1
  done
  return 1
}

# Stops whatever setup started (unless other calls use it) and gives up.
setup_failed() {
  echo "wine-run: $1" >&2
  teardown
  exit 1
}

start_xvfb() {
  local pid i
  pid=$(pid_of xvfb)
  if alive "$pid"; then
    return
  fi
  rm -f "$state/xvfb.display"
  # Closed lock descriptors and no terminal output: a server that outlives this
  # call must neither hold the locks nor keep a caller's pipe open.
  Xvfb -displayfd 3 -screen 0 "${WINE_RUN_SCREEN:-1280x1024x24}" -nolisten tcp \
    3>"$state/xvfb.display" </dev/null >"$state/xvfb.log" 2>&1 7>&- 8>&- &
  pid=$!
  for ((i = 0; i < 100; i++)); do
    [ -s "$state/xvfb.display" ] && break
    alive "$pid" || break
    sleep 0.1
  done
  if ! [ -s "$state/xvfb.display" ]; then
    kill "$pid" 2>/dev/null || true
    cat "$state/xvfb.log" >&2
    setup_failed "Xvfb did not start"
  fi
  echo "$pid" >"$state/xvfb.pid"
}

start_wineserver() {
  local pid i
  pid=$(pid_of wineserver)
  if alive "$pid"; then
    return
  fi
  # In the foreground of its own process, so that its id is known;
  # persistent, so that it outlives the gaps between programs.
  "$wineserver" --foreground --persistent </dev/null >"$state/wineserver.log" 2>&1 7>&- 8>&- &
  pid=$!
  echo "$pid" >"$state/wineserver.pid"
  # Ready once its socket is there (in the server folder it works in): a wine
  # started before would start a server of its own.
  for ((i = 0; i < 100; i++)); do
    [ -S "/proc/$pid/cwd/socket" ] && return
    alive "$pid" || break
    sleep 0.1
  done
  cat "$state/wineserver.log" >&2
  setup_failed "wineserver did not start"
}

# wineboot once per prefix; a prefix without the mark is an unfinished one.
make_prefix() {
  local start=$SECONDS
  rm -rf "$prefix"
  mkdir -p "$prefix"
  echo "wine-run: making the wine prefix $prefix" >&2
  start_wineserver
  if ! timeout 300 "$wine" wineboot --init </dev/null >"$state/wineboot.log" 2>&1 7>&- 8>&-; then
    cat "$state/wineboot.log" >&2
    setup_failed "wineboot failed"
  fi
  # Windows' dialog font is Tahoma, which Qt takes for its own; wine has a
  # copy (fonts-wine) but lists it only from the prefix's fonts folder, and
  # without it Qt falls back to the first font it finds, a serif one.
  cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf \
    "$prefix/drive_c/windows/Fonts/" || setup_failed "Tahoma is missing: install fonts-wine"
  touch "$prefix/.quintaro-ready"
  echo "wine-run: wine prefix made in $((SECONDS - start)) s" >&2
}

# Everything this prefix's calls share, started by the first of them.
setup() {
  flock 7
  flock -s 8
  if [ -z "${DISPLAY:-}" ] || [ "${WINE_RUN_OWN_XVFB:-0}" = 1 ]; then
    start_xvfb
    DISPLAY=":$(cat "$state/xvfb.display")"
    export DISPLAY
    # Calls inside a session take the session's X server too.
    export WINE_RUN_OWN_XVFB=1
  fi
  if [ -f "$prefix/.quintaro-ready" ]; then
    start_wineserver
  else
    make_prefix
  fi
  flock -u 7
}

# The last call out stops what the calls shared, each by its process id.
teardown() {
  flock -u 8
  flock 7
  if flock -n -x 8; then
    local pid
    pid=$(pid_of wineserver)
    if alive "$pid"; then
      # Ends the prefix's wine processes and then the server.
      "$wineserver" --kill </dev/null >/dev/null 2>&1 7>&- 8>&- || true
      wait_gone "$pid" 100 || kill -KILL "$pid" 2>/dev/null || true
    fi
    pid=$(pid_of xvfb)
    if alive "$pid"; then
      kill "$pid" 2>/dev/null || true
      wait_gone "$pid" 50 || kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -f "$state/wineserver.pid" "$state/xvfb.pid" "$state/xvfb.display"
  fi
  flock -u 8
  flock -u 7
}

setup
if [ "$session" = 1 ]; then
  command=("$@")
else
  # Wine takes its DLL folders as Windows paths, Z: being the Linux root.
  winepath=""
  for d in "${dll_dirs[@]}"; do
    winepath+="${winepath:+;}Z:${d//\//\\}"
  done
  export WINEPATH="$winepath${WINEPATH:+;$WINEPATH}"
  command=(timeout --kill-after=10 "$timeout_s" "$wine" "$@")
fi
# In the background, so that a signal to this script reaches the program and
# the shared processes are still stopped afterwards.
if [ "$session" = 1 ]; then
  "${command[@]}" </dev/null 7>&- 8>&- &
  child=$!
else
  # The program writes into files that are passed on as they grow, never
  # into the caller's pipes: wine's own processes that the program starts
  # (services, the desktop window, RPC) take over its output handles and
  # outlive it, and a caller reading a pipe (ctest) would wait for them.
  out=$(mktemp "$state/out.XXXXXX")
  err=$(mktemp "$state/err.XXXXXX")
  "${command[@]}" </dev/null >"$out" 2>"$err" 7>&- 8>&- &
  child=$!
  tail -s 0.2 -c +1 -f --pid="$child" "$out" 7>&- 8>&- &
  tail_out=$!
  tail -s 0.2 -c +1 -f --pid="$child" "$err" >&2 7>&- 8>&- &
  tail_err=$!
fi
trap 'kill -TERM "$child" 2>/dev/null || true' INT TERM HUP
status=0
wait "$child" || status=$?
while alive "$child"; do
  status=0
  wait "$child" || status=$?
done
trap - INT TERM HUP
if [ "$session" = 0 ]; then
  wait "$tail_out" "$tail_err" || true
  rm -f "$out" "$err"
  if [ "$status" = 124 ]; then
    echo "wine-run: $1 did not end within $timeout_s s" >&2
  fi
fi
teardown
exit "$status"
