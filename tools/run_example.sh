#!/usr/bin/env bash
# Builds searchfilter and runs it on the bundled example folder, then shows
# the output list it appended to; then searches a real folder tree with the
# reference front end.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/ensure_packages.sh cmake ninja-build g++ libgtest-dev python3
cmake --preset release >/dev/null
cmake --build --preset release --target searchfilter >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/typical/* "$work"/
(cd "$work" && "$OLDPWD/build/release/searchfilter")
echo "searchOutputList.txt after one run in a copy of examples/typical:"
cat "$work/searchOutputList.txt"

echo
echo "python3 tools/search_tree.py /usr/share gpl-3   (files below /usr/share whose name or folder holds gpl-3, in any case):"
python3 tools/search_tree.py /usr/share gpl-3
