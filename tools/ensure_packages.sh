#!/usr/bin/env bash
# Makes sure the named Debian packages are installed: as root it installs the
# missing ones with apt-get, otherwise it prints the exact commands and fails.
# A package of another architecture (wine32:i386) has that architecture added
# to dpkg first.
set -euo pipefail

missing=()
for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

# Architectures the missing packages need that dpkg does not know yet.
native=$(dpkg --print-architecture)
known=" $native $(dpkg --print-foreign-architectures | tr '\n' ' ') "
new_architectures=()
for package in "${missing[@]}"; do
    case $package in
        *:*) architecture=${package##*:} ;;
        *) continue ;;
    esac
    case "$known ${new_architectures[*]} " in
        *" $architecture "*) ;;
        *) new_architectures+=("$architecture") ;;
    esac
done

if [ "$(id -u)" -eq 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    for architecture in "${new_architectures[@]}"; do
        echo "Adding the Debian architecture $architecture"
        dpkg --add-architecture "$architecture"
    done
    echo "Installing missing Debian packages: ${missing[*]}"
    # A mirror caught mid-sync serves an index that does not match its
    # Release file, and apt-get update fails; it often clears within
    # minutes. If it does not, the install still tries with the indexes
    # that did arrive and fails on its own if a package cannot be had.
    for attempt in 1 2 3 4; do
        apt-get update -qq && break
        [ "$attempt" -eq 4 ] && { echo "apt-get update kept failing; installing anyway" >&2; break; }
        echo "apt-get update failed (attempt $attempt); trying again in 30 s" >&2
        sleep 30
    done
    apt-get install -y -qq "${missing[@]}" >/dev/null
else
    echo "Missing Debian packages. Install them with:" >&2
    for architecture in "${new_architectures[@]}"; do
        echo "  sudo dpkg --add-architecture $architecture" >&2
    done
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
