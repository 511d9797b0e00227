#!/usr/bin/env bash
# Builds the three trees of CMakePresets.json: build/i686 (the product),
# build/x86_64 (what the Wine tests run) and build/native (core, fake platform
# and unit tests, sanitized; it finds the other two for the tests).
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in i686 x86_64 native; do
  [ "$preset" = native ] && [ "${1:-}" = "--windows-only" ] && exit 0
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done
