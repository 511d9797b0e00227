#!/usr/bin/env bash
# Prints cost figures; asserts nothing: one disk sample natively, the
# executables' sizes and imports, then pellumin.exe under Wine (idle cost beside a bare timer program, also with the
# Settings window shown; write-to-light latency; handles and memory over a
# 10-minute session of write bursts and tray menu use, BENCH_MINUTES=N for N).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
cmake --build build/native -j "$(nproc)" --target diskstats_bench

echo "== One disk sample on this machine's /sys/block, beside one /proc/diskstats read (native, no sanitizers)"
build/native/bench/diskstats_bench "$@"
echo "== Executable sizes (the i686 product; the x86_64 build of the same sources)"
/usr/bin/python3 -B bench/size_report.py build/i686/pellumin.exe build/x86_64/pellumin.exe
# The i686 product wherever this machine runs 32-bit code, else the x86_64 build
# (tests/e2e/wine.py decides; PELLUMIN_WINE_TREE=i686 or x86_64 says instead).
echo "== pellumin.exe under Wine"
/usr/bin/python3 -B bench/wine_bench.py --soak-minutes "${BENCH_MINUTES:-10}"
