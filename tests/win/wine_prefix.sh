#!/usr/bin/env bash
# Creates or removes the Wine prefix of one test run:
#   wine_prefix.sh setup DIR     removes DIR, then creates a fresh prefix there
#                                and leaves its wineserver running
#   wine_prefix.sh cleanup DIR   ends that wineserver and removes DIR
# A prefix's first start takes several seconds, and each start of its server
# and system processes most of a second, so both happen once per test run:
# the server stays up (persistent) until the cleanup ends it.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/wine_env.sh
source "$here/wine_env.sh"

action=${1:-}
prefix=${2:-}
if [ -z "$action" ] || [ -z "$prefix" ]; then
    echo "usage: wine_prefix.sh setup|cleanup DIR" >&2
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
        stop_server  # a run that was cut short may have left one behind
        rm -rf "$prefix"
        mkdir -p "$prefix"
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
