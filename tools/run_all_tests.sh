#!/usr/bin/env bash
# Builds everything and runs every test suite. Exits non-zero if any fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/ensure_packages.sh cmake ninja-build g++ libgtest-dev python3 unicode-data

echo "== Linux build and tests (debug) =="
cmake --preset debug >/dev/null
cmake --build --preset debug
ctest --preset debug
