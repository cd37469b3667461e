#!/usr/bin/env bash
# Runs one fuzz target for a bounded time on a fresh copy of its seed corpus.
# Fails (non-zero) on any finding: a failed check, a sanitizer report, a
# crash, a leak, a timeout. The committed seeds are only read.
# Usage: run_fuzzer.sh FUZZER SEED_DIR WORK_DIR SECONDS [libFuzzer option ...]
# WORK_DIR receives corpus/ (the seeds and every new input), findings/ and log.txt.
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4
shift 4

rm -rf "$work"
mkdir -p "$work/corpus" "$work/findings"
cp "$seeds"/* "$work/corpus/"

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
