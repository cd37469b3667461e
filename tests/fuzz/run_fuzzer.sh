#!/usr/bin/env bash
# Runs one fuzz target for a bounded time on a fresh copy of its seed corpus.
# Fails (non-zero) on any finding: a failed check, a sanitizer report, a
# crash, a leak, a timeout. The committed seeds are only read.
# Usage: run_fuzzer.sh FUZZER SEED_DIR WORK_DIR SECONDS [libFuzzer option ...]
# WORK_DIR receives corpus/ (the seeds and every new input), findings/, tmp/ and log.txt.
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4
shift 4

# Another run of the same target in this build waits for this one to end
# instead of sharing (and clearing) its folder.
mkdir -p "$(dirname "$work")"
exec 9>"$work.lock"
flock 9

rm -rf "$work"
mkdir -p "$work/corpus" "$work/findings" "$work/tmp"
cp "$seeds"/* "$work/corpus/"
# The targets' scratch folders go here too, so that a run that ends on a
# finding leaves nothing behind in the system's temporary folder.
export TMPDIR="$work/tmp"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
status=0
"$fuzzer" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$work/findings/" "$@" "$work/corpus" >"$work/log.txt" 2>&1 || status=$?

name=$(basename "$fuzzer")
if [ "$status" -ne 0 ]; then
    tail -n 80 "$work/log.txt"
    echo "FAIL $name: exit code $status; the input is in $work/findings/"
    exit 1
fi
grep -E '^(Done|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)' \
    "$work/log.txt" || true
grep -E '^#[0-9]+' "$work/log.txt" | tail -n 1 || true
echo "PASS $name"
