#!/usr/bin/env bash
# Runs the benchmarks; each prints ratios against a reference run made in the
# same command. Arguments: the install benchmark's big-file size in MB, its
# small-file count, and the two payload sizes of its memory and start-up
# figures in MB (defaults 500, 10000, 100 and 1024).
set -euo pipefail
# Wine names Unix files in the locale's character set: without UTF-8,
# installed files with non-ASCII names cannot be created.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(bash "$root/scripts/configure.sh")"
cmake --build "$build" -j"$(nproc)"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all EK_BUILD_DIR="$build" EK_SOURCE_DIR="$root"
echo "== ZIP reader against Info-ZIP unzip"
"$build/host/zip_read_bench" 400 "$build/bench-work"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  wineserver -k 2>/dev/null || true
  wineserver -p
  wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
  trap "wineserver -k 2>/dev/null || true" EXIT
  echo "== Variable expansion"
  wine "$0/bin/expand_bench.exe"
  echo "== Silent installation: time against unzip, memory and start-up at two payload sizes"
  "$0/host/install_bench" "$1" "$2" "$3" "$4"' "$build" "${1:-500}" "${2:-10000}" "${3:-100}" "${4:-1024}"
