#!/usr/bin/env bash
# Builds everything and runs every test (unit tests under Wine, end-to-end
# tests that build real packages and install them under Wine).
set -euo pipefail
# Wine names Unix files in the locale's character set: without UTF-8,
# installed files with non-ASCII names cannot be created.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(bash "$root/scripts/configure.sh")"
cmake --build "$build" -j"$(nproc)"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
cd "$build"
# One X display and one wineserver for the whole run: Wine's desktop binds to
# the display it first sees, so the server must not outlive the display.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  wineserver -k 2>/dev/null || true
  wineserver -p
  # Wine starts its background services with the first program; they must
  # not inherit the pipes through which ctest reads a test'"'"'s output.
  wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
  trap "wineserver -k 2>/dev/null || true" EXIT
  rm -f e2e-unsteady.txt
  ctest --output-on-failure -j"$(nproc)" "$@"
  status=$?
  if [ -s e2e-unsteady.txt ]; then echo; cat e2e-unsteady.txt; fi
  exit $status' ctest-run "$@"
