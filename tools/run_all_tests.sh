#!/usr/bin/env bash
# Builds everything and runs every test suite. Exits non-zero if any fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/ensure_packages.sh cmake ninja-build g++ libgtest-dev python3 unicode-data util-linux \
    clang libclang-rt-14-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine64 wine32:i386 \
    valgrind hyperfine ripgrep time dpkg-dev mono-mcs

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

echo "== Optimised build and its packages (.tar.gz and .deb, each unpacked and run) =="
cmake --preset release >/dev/null
cmake --build --preset release
python3 tests/packaging/check_packages.py --preset release

echo "== Windows build and tests (32-bit .exe under 32-bit Wine, 64-bit .exe under wine64) =="
SEARCHFILTER_REQUIRE_WINDOWS=1 bash tests/win/run_windows_tests.sh

echo "== Windows package (.zip of the windows-i686 build, unpacked and run under 32-bit Wine) =="
python3 tests/packaging/check_packages.py --preset windows-i686 --emulator tests/win/wine_run.sh

echo "== Benchmark smoke run (tiny workloads, targets not enforced; both .exe builds under Wine) =="
bash bench/run_bench.sh build/release/searchfilter --quick \
    --exe32 build/windows-i686/searchfilter.exe --exe64 build/windows-x86_64/searchfilter.exe
