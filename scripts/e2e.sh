#!/usr/bin/env bash
# Runs the end-to-end harness directly (after a build), with gtest arguments,
# for example: bash scripts/e2e.sh --gtest_filter='Startup.*'
set -euo pipefail
# Wine names Unix files in the locale's character set: without UTF-8,
# installed files with non-ASCII names cannot be created.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${EK_BUILD:-$root/build}"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all EK_BUILD_DIR="$build" EK_SOURCE_DIR="$root"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  wineserver -k 2>/dev/null || true
  wineserver -p
  # Wine starts its background services with the first program; they must
  # not inherit the pipes through which ctest reads a test'"'"'s output.
  wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
  trap "wineserver -k 2>/dev/null || true" EXIT
  "$0" "$@"' "$build/host/e2e_tests" "$@"
