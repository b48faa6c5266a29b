#!/usr/bin/env bash
# Creates (once) the private Wine prefix that every test of this build tree uses.
set -eu
prefix="$1"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
# Windows 10 is the version the tests expect unless a test switches it itself.
if ! grep -q '"ProductName"="Windows 10' "$prefix/system.reg" 2>/dev/null; then
  winecfg -v win10 >/dev/null 2>&1 || true
  wineserver -w || true
fi
echo "wine prefix ready: $prefix"
