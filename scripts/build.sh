#!/usr/bin/env bash
# Builds the three trees: build/i686 (the product), build/x86_64 (what the Wine
# tests run) and build/native (core, fake platform and unit tests, sanitized).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

configure_and_build() {  # dir, extra cmake arguments...
  local dir=$1
  shift
  cmake -S "$root" -B "$root/build/$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$root/build/$dir" -j "$jobs"
}

configure_and_build i686 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
configure_and_build x86_64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
[ "${1:-}" = "--windows-only" ] && exit 0
configure_and_build native -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNP_WIN32_DIR="$root/build/i686" -DNP_WIN64_DIR="$root/build/x86_64"
