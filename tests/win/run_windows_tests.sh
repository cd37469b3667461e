#!/usr/bin/env bash
# Builds the Windows programs and runs their tests, from any folder:
#   windows-i686    the shipped 32-bit GUI .exe: its inspection, and its unit,
#                   end-to-end, sharing and fault tests under 32-bit Wine
#   windows-x86_64  the same code as a 64-bit .exe, with the same tests under
#                   wine64
# Without the mingw-w64 compilers, Wine's loaders or a kernel that runs 32-bit
# programs it prints SKIPPED and exits 0, unless SEARCHFILTER_REQUIRE_WINDOWS=1
# (as in CI), where that is a failure.
set -euo pipefail
cd "$(dirname "$0")/../.."

packages="g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine64 wine32:i386"
install_hint="dpkg --add-architecture i386 && apt-get update && apt-get install -y $packages"

# Prints why the Windows tests cannot run here; nothing when they can.
missing_pieces() {
    local missing=() tool
    for tool in i686-w64-mingw32-g++-win32 x86_64-w64-mingw32-g++-win32 \
                i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump \
                i686-w64-mingw32-windres x86_64-w64-mingw32-windres; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    for tool in /usr/lib/wine/wine64 /usr/lib/wine/wineserver64 /usr/lib/wine/wine \
                /usr/src/googletest/CMakeLists.txt; do
        [ -e "$tool" ] || missing+=("$tool")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "missing ${missing[*]}; install them with: $install_hint"
    elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
        # The loader is a 32-bit Linux program: it starts only where the
        # kernel runs 32-bit code (IA32 emulation).
        echo "this machine cannot run 32-bit programs (/usr/lib/wine/wine does not start;" \
             "the kernel needs IA32 emulation), so the shipped 32-bit .exe cannot be tested"
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

start=$SECONDS
for preset in windows-i686 windows-x86_64; do
    echo "== Windows build and tests ($preset) =="
    preset_start=$SECONDS
    cmake --workflow --preset "$preset"
    echo "== $preset passed in $((SECONDS - preset_start)) s =="
done
echo "== Windows build and tests passed in $((SECONDS - start)) s =="
echo "   shipped .exe: build/windows-i686/searchfilter.exe"
