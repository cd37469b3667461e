#!/usr/bin/env bash
# Builds the Windows programs and runs their tests, from any folder:
#   windows-i686    the shipped 32-bit GUI .exe: its inspection, and its unit,
#                   end-to-end, sharing and fault tests under 32-bit Wine
#   windows-x86_64  the same code as a 64-bit .exe, with the same tests under
#                   wine64
# Without the mingw-w64 compilers or Wine's loaders it prints SKIPPED and exits
# 0, unless SEARCHFILTER_REQUIRE_WINDOWS=1 (as in CI), where that is a failure.
# On a kernel that refuses 32-bit programs the 32-bit .exe is built and
# inspected only, and the run ends with a NOT TESTED line.
set -euo pipefail
cd "$(dirname "$0")/../.."

packages="g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine64 wine32:i386"
install_hint="dpkg --add-architecture i386 && apt-get update && apt-get install -y $packages"

# shellcheck source=SCRIPTDIR/wine_env.sh
source tests/win/wine_env.sh

# Where the kernel refuses 32-bit programs no package can mend it: the 32-bit
# .exe is built and inspected, and every test that would start it is left out
# (its build gets no emulator), said loudly here and at the end of the run.
# The 64-bit .exe, the same code, still runs every test.
untested_32bit=0
kernel_refuses_32bit && untested_32bit=1

# Prints why the Windows tests cannot run here; nothing when they can.
missing_pieces() {
    local missing=() tool
    for tool in i686-w64-mingw32-g++-win32 x86_64-w64-mingw32-g++-win32 \
                i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump \
                i686-w64-mingw32-windres x86_64-w64-mingw32-windres; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    for tool in "$wine64" "$wineserver" "$wine32" /usr/src/googletest/CMakeLists.txt; do
        [ -e "$tool" ] || missing+=("$tool")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "missing ${missing[*]}; install them with: $install_hint"
    elif [ "$untested_32bit" = 0 ] && ! "$wine32" --version >/dev/null 2>&1; then
        echo "the 32-bit loader $wine32 is installed but does not start"
    fi
}

why=$(missing_pieces)
if [ -n "$why" ]; then
    if [ "${SEARCHFILTER_REQUIRE_WINDOWS:-0}" = 1 ]; then
        echo "Windows build and tests: $why" >&2
        exit 1
    fi
    echo "== Windows build and tests: SKIPPED ($why) =="
    exit 0
fi

run_preset() {
    if [ "$1" = windows-i686 ] && [ "$untested_32bit" = 1 ]; then
        cmake --preset windows-i686 -DCMAKE_CROSSCOMPILING_EMULATOR= &&
            cmake --build --preset windows-i686 && ctest --preset windows-i686
    else
        cmake --workflow --preset "$1"
    fi
}

start=$SECONDS
for preset in windows-i686 windows-x86_64; do
    echo "== Windows build and tests ($preset) =="
    preset_start=$SECONDS
    run_preset "$preset"
    echo "== $preset passed in $((SECONDS - preset_start)) s =="
done
echo "== Windows build and tests passed in $((SECONDS - start)) s =="
echo "   shipped .exe: build/windows-i686/searchfilter.exe"
if [ "$untested_32bit" = 1 ]; then
    echo "== NOT TESTED: the shipped 32-bit .exe was built and inspected but never run:" \
         "this kernel refuses 32-bit programs (IA32 emulation off) =="
fi
