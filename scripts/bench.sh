#!/usr/bin/env bash
# Prints cost figures; asserts nothing. Builds the native tree, then runs its benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "$(nproc)" --target diskstats_bench

echo "== One disk sample on this machine's /proc/diskstats (native, no sanitizers)"
build/native/bench/diskstats_bench "$@"
