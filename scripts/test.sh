#!/usr/bin/env bash
# Builds everything and runs every test (unit tests under Wine, end-to-end
# tests that build real packages and install them under Wine).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(bash "$root/scripts/configure.sh")"
cmake --build "$build" -j"$(nproc)"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
# One wineserver for the whole run instead of one per test process.
wineserver -p 2>/dev/null || true
trap 'wineserver -k 2>/dev/null || true' EXIT
cd "$build"
xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -j"$(nproc)" "$@"
