#!/usr/bin/env bash
# Creates (once) the private Wine prefix that every test of this build tree uses.
set -eu
prefix="$1"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
marker="$prefix/.ek-prefix-ready"
[ -f "$marker" ] && { echo "wine prefix ready: $prefix"; exit 0; }
mkdir -p "$prefix"
# wineboot waits for the prefix to be complete; the tests expect Windows 10
# unless a test chooses another version for its own program.
wineboot -i >/dev/null 2>&1 || true
winecfg -v win10 >/dev/null 2>&1 || true
touch "$marker"
echo "wine prefix ready: $prefix"
