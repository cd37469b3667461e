#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly:
#   wine_run.sh PROGRAM.exe [ARGS...]
# The machine field of the program's PE header picks the loader: a 32-bit
# (i386) program runs under the 32-bit loader in a win32 prefix, a 64-bit
# (AMD64) one under wine64 in a win64 prefix.
# WINEPREFIX names the prefix to use, which must be of that kind (the tests
# set up one per test run, see wine_prefix.sh); when it is unset, a throwaway
# prefix is made for this one call and removed after it.
# The exit code, stdout and stderr are the program's, byte for byte. They are
# collected in files and passed on once the program has ended: a system
# process that Wine starts on the way inherits the descriptors it is given,
# and would otherwise hold the caller's pipes open long after the program.
set -u

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/wine_env.sh
source "$here/wine_env.sh"

if [ $# -eq 0 ]; then
    echo "usage: wine_run.sh PROGRAM.exe [ARGS...]" >&2
    exit 125
fi
if ! kind=$(wine_arch_of "$1"); then
    echo "wine_run.sh: $1 is not a 32-bit or 64-bit x86 Windows program" >&2
    exit 125
fi
wine=$(wine_loader_for "$kind")

scratch=$(mktemp -d "${TMPDIR:-/tmp}/searchfilter-wine-run.XXXXXX") || exit 125
own_prefix=
# shellcheck disable=SC2317  # called by the trap
finish() {
    if [ -n "$own_prefix" ]; then "$here/wine_prefix.sh" cleanup "$own_prefix"; fi
    rm -rf "$scratch"
}
trap finish EXIT

if [ -z "${WINEPREFIX:-}" ]; then
    own_prefix=$scratch/prefix
    export WINEPREFIX=$own_prefix
    "$here/wine_prefix.sh" setup "$own_prefix" "$kind" >/dev/null || exit 125
fi

"${launcher[@]}" "$wine" "$@" >"$scratch/stdout" 2>"$scratch/stderr"
code=$?
cat "$scratch/stdout"
cat "$scratch/stderr" >&2
exit $code
