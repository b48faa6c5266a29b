#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's private prefix.
# Used as CMAKE_CROSSCOMPILING_EMULATOR, so every test goes through it.
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
: "${WINEPREFIX:=@EK_WINEPREFIX@}"
export WINEPREFIX
# Files with non-ASCII names need a UTF-8 locale on the Unix side.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1 && [ -z "${EK_NO_XVFB:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" wine "$@"
fi
# The first Wine program of a session starts Wine's own services, which
# inherit its standard output. Under a persistent wineserver they outlive the
# program, so a caller that reads the output to its end (ctest's test
# discovery) would wait for them. The output goes through a file instead.
out="$(mktemp)"
wine "$@" >"$out" 2>&1
code=$?
cat "$out"
rm -f "$out"
exit "$code"
