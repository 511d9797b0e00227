#!/usr/bin/env bash
# Builds the four trees of CMakePresets.json: build/i686 (the product),
# build/x86_64 (what the Wine tests run), build/native (core, fake platform
# and unit tests, sanitized; it finds the other two for the tests) and
# build/fuzz (the diskstats fuzz target, clang with libFuzzer).
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in i686 x86_64 native fuzz; do
  [ "$preset" = native ] && [ "${1:-}" = "--windows-only" ] && exit 0
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done
