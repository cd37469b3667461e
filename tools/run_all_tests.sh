#!/usr/bin/env bash
# Builds everything and runs every test suite. Exits non-zero if any fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/ensure_packages.sh cmake ninja-build g++ libgtest-dev python3 unicode-data util-linux \
    clang libclang-rt-14-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine64 wine32:i386 \
    valgrind hyperfine ripgrep time dpkg-dev mono-mcs

echo "== Linux build and tests (debug) =="
cmake --workflow --preset debug

echo "== Linux build and tests under AddressSanitizer and UndefinedBehaviorSanitizer (clang) =="
cmake --workflow --preset sanitize

echo "== End-to-end cases under valgrind memcheck =="
bash tools/run_valgrind.sh

echo "== Fuzzing (about a minute per target) =="
bash tests/fuzz/run_fuzzers.sh 60

echo "== Optimised build and its packages (.tar.gz and .deb, each unpacked and run) =="
cmake --workflow --preset release
python3 tests/packaging/check_packages.py --preset release

echo "== Windows build and tests (32-bit .exe under 32-bit Wine, 64-bit .exe under wine64) =="
SEARCHFILTER_REQUIRE_WINDOWS=1 bash tests/win/run_windows_tests.sh

# The shipped .exe is run below only where the kernel runs 32-bit programs
# (see run_windows_tests.sh, which says so when it does not).
exe32=(--exe32 build/windows-i686/searchfilter.exe)
if (source tests/win/wine_env.sh && kernel_refuses_32bit); then
    echo "== Windows package (.zip of the windows-i686 build, unpacked; not run: the kernel refuses 32-bit programs) =="
    python3 tests/packaging/check_packages.py --preset windows-i686
    exe32=()
else
    echo "== Windows package (.zip of the windows-i686 build, unpacked and run under 32-bit Wine) =="
    # One prefix with a persistent wineserver for the check, ended after it.
    wine_prefix=$PWD/build/windows-i686/package-wine-prefix
    bash tests/win/wine_prefix.sh setup "$wine_prefix" win32 >/dev/null
    WINEPREFIX=$wine_prefix python3 tests/packaging/check_packages.py --preset windows-i686 \
        --emulator tests/win/wine_run.sh || { bash tests/win/wine_prefix.sh cleanup "$wine_prefix"; exit 1; }
    bash tests/win/wine_prefix.sh cleanup "$wine_prefix"
fi

echo "== Benchmark smoke run (tiny workloads, targets not enforced; the .exe builds under Wine) =="
bash bench/run_bench.sh build/release/searchfilter --quick \
    "${exe32[@]}" --exe64 build/windows-x86_64/searchfilter.exe
if [ ${#exe32[@]} -eq 0 ]; then
    echo "== All tests passed, but NOT the shipped 32-bit .exe's: this kernel refuses 32-bit programs," \
         "so it was built, inspected and packed, never run =="
fi
