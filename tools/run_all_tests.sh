#!/usr/bin/env bash
# Builds everything and runs every test suite. Exits non-zero if any fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/ensure_packages.sh cmake ninja-build g++ libgtest-dev python3 unicode-data util-linux \
    clang libclang-rt-14-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine64 wine32:i386 \
    valgrind hyperfine ripgrep time

echo "== Linux build and tests (debug) =="
cmake --preset debug >/dev/null
cmake --build --preset debug
ctest --preset debug

echo "== Linux build and tests under AddressSanitizer and UndefinedBehaviorSanitizer (clang) =="
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize

echo "== End-to-end cases under valgrind memcheck =="
bash tools/run_valgrind.sh

echo "== Fuzzing (about a minute per target) =="
bash tests/fuzz/run_fuzzers.sh 60

echo "== Benchmark smoke run (optimised build; tiny workloads, targets not enforced) =="
cmake --preset release >/dev/null
cmake --build --preset release
bash bench/run_bench.sh build/release/searchfilter --quick

echo "== Windows build and tests (32-bit .exe under 32-bit Wine, 64-bit .exe under wine64) =="
SEARCHFILTER_REQUIRE_WINDOWS=1 bash tests/win/run_windows_tests.sh
