#!/usr/bin/env bash
# Memory check: every end-to-end case with each run of the program under
# valgrind memcheck (debug build). A memcheck report of any kind (invalid
# read or write, use of uninitialised memory, a definite, indirect or
# possible leak) fails the case twice over: valgrind prints it on stderr,
# which the runner counts as output, and it makes the exit code 99, which
# the runner counts as a wrong exit code.
#   bash tools/run_valgrind.sh              # all cases (about a minute)
#   bash tools/run_valgrind.sh CASE ...     # only these cases
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/ensure_packages.sh cmake ninja-build g++ libgtest-dev python3 valgrind
start=$SECONDS
echo "== End-to-end cases under valgrind memcheck =="
cmake --preset debug >/dev/null
cmake --build --preset debug --target searchfilter
python3 tests/e2e/run_e2e.py --binary build/debug/searchfilter \
    --emulator "valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect,possible --quiet" \
    "$@"
echo "== valgrind memcheck passed in $((SECONDS - start)) s =="
