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
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
else
    echo "Missing Debian packages. Install them with:" >&2
    for architecture in "${new_architectures[@]}"; do
        echo "  sudo dpkg --add-architecture $architecture" >&2
    done
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
