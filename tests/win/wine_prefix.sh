#!/usr/bin/env bash
# Creates or removes the Wine prefix of one test run:
#   wine_prefix.sh setup DIR KIND  removes DIR, then creates a fresh prefix of
#                                  KIND there (win32 for 32-bit programs, win64
#                                  for 64-bit ones) and leaves its wineserver
#                                  running
#   wine_prefix.sh cleanup DIR     ends that wineserver and removes DIR
# A prefix's first start takes several seconds, and each start of its server
# and system processes most of a second, so both happen once per test run:
# the server stays up (persistent) until the cleanup ends it.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/wine_env.sh
source "$here/wine_env.sh"

action=${1:-}
prefix=${2:-}
kind=${3:-}
if [ -z "$action" ] || [ -z "$prefix" ] || { [ "$action" = setup ] && [ -z "$kind" ]; }; then
    echo "usage: wine_prefix.sh setup DIR win32|win64, or wine_prefix.sh cleanup DIR" >&2
    exit 2
fi
export WINEPREFIX=$prefix

stop_server() {
    if [ -d "$prefix" ]; then
        "$wineserver" -k >/dev/null 2>&1 || true
        "$wineserver" -w >/dev/null 2>&1 || true
    fi
}

case $action in
    setup)
        if ! wine=$(wine_loader_for "$kind"); then
            echo "wine_prefix.sh: unknown prefix kind $kind (want win32 or win64)" >&2
            exit 2
        fi
        export WINEARCH=$kind
        stop_server  # a run that was cut short may have left one behind
        rm -rf "$prefix"
        mkdir -p "$prefix"  # the server only starts in an existing folder
        # The server and the system processes that wineboot starts keep
        # running; their output goes to a log, never to a test's pipes.
        log=$prefix.log
        "${launcher[@]}" "$wineserver" -p </dev/null >"$log" 2>&1
        if ! "${launcher[@]}" "$wine" wineboot -i </dev/null >>"$log" 2>&1; then
            echo "wine_prefix.sh: wineboot failed in $prefix:" >&2
            cat "$log" >&2
            exit 1
        fi
        echo "Wine prefix ready: $prefix"
        ;;
    cleanup)
        stop_server
        rm -rf "$prefix" "$prefix.log"
        ;;
    *)
        echo "wine_prefix.sh: unknown action $action" >&2
        exit 2
        ;;
esac
