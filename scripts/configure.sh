#!/usr/bin/env bash
# Installs what the build needs (once) and configures the build tree.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${EK_BUILD:-$root/build}"
need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
[ -f /usr/x86_64-w64-mingw32/include/zlib.h ] || need+=(libz-mingw-w64-dev)
command -v wine >/dev/null || need+=(wine wine64)
command -v xvfb-run >/dev/null || need+=(xvfb xauth)
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v ninja >/dev/null || need+=(ninja-build)
command -v zip >/dev/null || need+=(zip)
command -v unzip >/dev/null || need+=(unzip)
command -v python3 >/dev/null || need+=(python3)
[ -f /usr/include/zip.h ] || need+=(libzip-dev)
[ -f /usr/include/zlib.h ] || need+=(zlib1g-dev)
[ -d /usr/src/googletest ] || need+=(googletest)
command -v pkg-config >/dev/null || need+=(pkg-config)
# The fuzz targets: clang with libFuzzer and the sanitizer runtimes.
command -v clang++ >/dev/null || need+=(clang)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
# Signed setups: a test certificate is made with openssl and the package is
# signed with osslsigncode.
command -v openssl >/dev/null || need+=(openssl)
command -v osslsigncode >/dev/null || need+=(osslsigncode)
# Standard output carries only the build folder (callers capture it); all
# progress, the package installation included, goes to standard error.
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  if ! apt-get install -y -q "${need[@]}" >&2; then
    echo "Updating the package lists, then installing again" >&2
    apt-get update -q >&2
    apt-get install -y -q "${need[@]}" >&2
  fi
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >&2
echo "$build"
