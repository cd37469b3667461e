# shellcheck shell=bash disable=SC2034
# Sourced by the Wine scripts: how every Windows program of the tests is run.
# Sets `wine`, `wineserver` and `launcher`, and the environment Wine reads.

# wine64 directly: Debian's `wine` wrapper prefers a 32-bit loader where one
# is installed, and not every kernel can run 32-bit programs.
wine=${SEARCHFILTER_WINE64:-/usr/lib/wine/wine64}
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
