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
    # that did arrive.
    update_log=$(mktemp)
    for attempt in 1 2 3 4; do
        apt-get update -qq >"$update_log" 2>&1 && break
        [ "$attempt" -eq 4 ] && { echo "apt-get update kept failing; installing anyway" >&2; break; }
        echo "apt-get update failed (attempt $attempt); trying again in 30 s" >&2
        sleep 30
    done
    if ! apt-get install -y -qq "${missing[@]}" >/dev/null; then
        # A suite whose index for one architecture did not arrive (seen:
        # bookworm-security for i386) offers a newer version for the other
        # only, and a package that must match its twin of the other
        # architecture (wine32:i386) cannot be installed. Without that suite
        # both come from the same one.
        failed_suites=$(sed -n 's|^E: Failed to fetch .*/dists/\([^/]*\)/.*|\1|p' "$update_log" | sort -u)
        [ -n "$failed_suites" ] || exit 1
        echo "Installing again without the suites whose index failed: $failed_suites" >&2
        sources=$(mktemp -d)
        for file in /etc/apt/sources.list.d/*.sources; do
            [ -f "$file" ] || continue
            awk -v failed=" $(echo $failed_suites) " 'BEGIN { RS = ""; ORS = "\n\n" }
                { keep = 1
                  if (match($0, /(^|\n)Suites:[^\n]*/)) {
                      n = split(substr($0, RSTART, RLENGTH), words, /[ \t\n]+/)
                      for (i = 1; i <= n; i++) if (index(failed, " " words[i] " ")) keep = 0
                  }
                  if (keep) print }' "$file" >"$sources/$(basename "$file")"
        done
        for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
            [ -f "$file" ] || continue
            awk -v failed=" $(echo $failed_suites) " '{ for (i = 3; i <= NF; i++)
                if (index(failed, " " $i " ")) next; print }' "$file" >"$sources/$(basename "$file").list"
        done
        without=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$sources")
        # Seen once: dpkg left some packages unconfigured; a fixing run ends the job.
        apt-get install -y -qq "${without[@]}" "${missing[@]}" >/dev/null ||
            apt-get -f install -y -qq "${without[@]}" >/dev/null
    fi
else
    echo "Missing Debian packages. Install them with:" >&2
    for architecture in "${new_architectures[@]}"; do
        echo "  sudo dpkg --add-architecture $architecture" >&2
    done
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
