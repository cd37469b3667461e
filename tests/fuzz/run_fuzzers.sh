#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz: clang with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each one for SECONDS (default 60)
# on a fresh copy of its seed corpus, one after the other. Fails if any
# target finds anything; the input that did it is then in
# build/fuzz/tests/fuzz/work/<target>/findings/.
#   bash tests/fuzz/run_fuzzers.sh          # about a minute per target
#   bash tests/fuzz/run_fuzzers.sh 3600     # an hour per target
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-60}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: bash tests/fuzz/run_fuzzers.sh [SECONDS]" >&2
    exit 2
fi

bash tools/ensure_packages.sh cmake ninja-build clang libclang-rt-14-dev
start=$SECONDS
echo "== Fuzzing: ${seconds} s per target =="
cmake --preset fuzz -DFUZZ_SECONDS="$seconds" >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz
echo "== Fuzzing passed in $((SECONDS - start)) s =="
