#!/usr/bin/env bash
# Prints cost figures; asserts nothing: one diskstats sample natively, then
# pellumin.exe under Wine (idle cost beside a bare timer program, write-to-light latency).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
cmake --build build/native -j "$(nproc)" --target diskstats_bench

echo "== One disk sample on this machine's /proc/diskstats (native, no sanitizers)"
build/native/bench/diskstats_bench "$@"
echo "== pellumin.exe under Wine (x86_64 build)"
/usr/bin/python3 -B bench/wine_bench.py build/x86_64
