#!/usr/bin/env bash
# Runs libFuzzer targets for a bounded time each and reports what they did.
#
#   fuzz/run.sh BUILD_DIR SECONDS TARGET...      (TARGET: agw settings stationlist rtf weather)
#
# Each target works on a copy of its seed corpus under BUILD_DIR/fuzz-work/,
# which keeps growing from run to run; the seeds in the repository stay as
# they are. Crash inputs land in BUILD_DIR/fuzz-work/TARGET/crashes/; one is
# replayed with BUILD_DIR/fuzz/fuzz_TARGET FILE, and belongs in
# fuzz/corpus/TARGET/ once fixed. Exits non-zero when any target crashed,
# hung or ran out of memory.
set -uo pipefail

build=$(cd "$1" && pwd)
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)

# Longest input tried: a frame is at most 64 KiB, and so is any read-me worth
# reading; a settings record or a list file that reaches the readers' limits
# fits well within the smaller sizes; a weather report is an information
# field of at most 256 bytes, tried far longer all the same.
max_len() {
    case $1 in
    agw | rtf) echo 65536 ;;
    stationlist) echo 16384 ;;
    weather) echo 4096 ;;
    *) echo 4096 ;;
    esac
}

status=0
summary=()
for target in "$@"; do
    binary="$build/fuzz/fuzz_$target"
    if [ ! -x "$binary" ]; then
        echo "fuzz: no such target: $target" >&2
        exit 2
    fi
    work="$build/fuzz-work/$target"
    mkdir -p "$work/corpus" "$work/crashes"
    cp -n "$here/corpus/$target/"* "$work/corpus/" 2>/dev/null || true
    dict=()
    [ -f "$here/$target.dict" ] && dict=(-dict="$here/$target.dict")

    echo "######## fuzz_$target: ${seconds} s"
    log="$work/last-run.log"
    # An input that allocates 256 MiB at once, takes 10 s or pushes the
    # process past 1 GiB is a finding, not a slow run.
    "$binary" "$work/corpus" "${dict[@]}" \
        -max_total_time="$seconds" -max_len="$(max_len "$target")" \
        -rss_limit_mb=1024 -malloc_limit_mb=256 -timeout=10 \
        -artifact_prefix="$work/crashes/" -print_final_stats=1 >"$log" 2>&1
    rc=$?

    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    line=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -n 1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$line")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$line")
    corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$line")
    result="executions ${execs:-?}, coverage ${cov:-?} edges / ${ft:-?} features, corpus ${corp:-?} inputs"
    if [ $rc -eq 0 ]; then
        result="$result: nothing found"
    else
        status=1
        crash=$(grep -o "Test unit written to .*" "$log" | tail -n 1 | sed 's/Test unit written to //')
        result="$result: FOUND (exit $rc) ${crash:-see $log}"
        echo "---- end of the log, $log:"
        tail -n 60 "$log"
    fi
    echo "fuzz_$target: $result"
    summary+=("fuzz_$target: $result")
done

echo
echo "######## Fuzzing summary (${seconds} s each)"
printf '%s\n' "${summary[@]}"
exit $status
