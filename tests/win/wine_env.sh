# shellcheck shell=bash disable=SC2034
# Sourced by the Wine scripts: how every Windows program of the tests is run.
# Sets `wineserver` and `launcher` and the environment Wine reads, and defines
# wine_arch_of and wine_loader_for, which say how to run a given program.

# The loaders directly: Debian's `wine` wrapper picks one by itself, and a
# 32-bit program must run in a 32-bit prefix, a 64-bit one in a 64-bit prefix.
wine32=${SEARCHFILTER_WINE32:-/usr/lib/wine/wine}
wine64=${SEARCHFILTER_WINE64:-/usr/lib/wine/wine64}
# The 64-bit server serves 32-bit prefixes too (Debian's wrapper prefers it).
wineserver=${SEARCHFILTER_WINESERVER:-/usr/lib/wine/wineserver64}

export WINEDEBUG=-all
# No Mono/Gecko installers, and no X display: the programs show no window.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# Wine keeps the read-only attribute in the file's permission bits, which root
# overrides, so as root a read-only file would take writes that Windows
# refuses. Drop that override (Wine's server, which opens the files, inherits
# it from whoever starts it) so that files behave as for an ordinary user.
launcher=()
no_override=(setpriv "--bounding-set=-dac_override,-dac_read_search"
             "--inh-caps=-dac_override,-dac_read_search")
if [ "$(id -u)" = 0 ] && "${no_override[@]}" true 2>/dev/null; then
    launcher=("${no_override[@]}")
fi

# Prints win32 or win64, the kind of prefix the PE image PROGRAM needs, read
# from the machine field of its PE header; fails for anything else.
wine_arch_of() {
    local program=$1 offset signature machine
    offset=$(od -An -tu4 -j60 -N4 "$program" 2>/dev/null | tr -d ' ') || return 1
    [ -n "$offset" ] || return 1
    signature=$(od -An -tx1 -j"$offset" -N4 "$program" | tr -d ' \n')
    machine=$(od -An -tx1 -j$((offset + 4)) -N2 "$program" | tr -d ' \n')
    [ "$signature" = 50450000 ] || return 1
    case $machine in
        4c01) echo win32 ;;  # IMAGE_FILE_MACHINE_I386, little-endian
        6486) echo win64 ;;  # IMAGE_FILE_MACHINE_AMD64
        *) return 1 ;;
    esac
}

# Prints the loader for a prefix kind (win32 or win64).
wine_loader_for() {
    case $1 in
        win32) echo "$wine32" ;;
        win64) echo "$wine64" ;;
        *) return 1 ;;
    esac
}

# Succeeds where the kernel refuses to start 32-bit programs at all (a kernel
# built or booted without IA32 emulation: exec fails with ENOEXEC, which the
# shell reports as 126), so that the 32-bit loader cannot start whatever is
# installed. Any other failure of the loader is not this.
kernel_refuses_32bit() {
    [ -x "$wine32" ] || return 1
    local rc=0
    "$wine32" --version >/dev/null 2>&1 || rc=$?
    [ "$rc" -eq 126 ]
}
