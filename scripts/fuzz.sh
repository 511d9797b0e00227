#!/usr/bin/env bash
# Runs the diskstats fuzz target longer than the test run does, then says what
# it found. Usage: scripts/fuzz.sh [seconds, default 300]
# New inputs collect in build/fuzz/tests/fuzz/corpus (the committed seeds in
# tests/fuzz/corpus are only read); failing inputs go to .../artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-300}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2 >/dev/null
dir=build/fuzz/tests/fuzz
mkdir -p "$dir/artifacts" "$dir/corpus/diskstats"
log="$dir/diskstats.log"
echo "== diskstats, $seconds s (log: $log)"
if "$dir/diskstats_fuzz" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$dir/artifacts/diskstats-" "$dir/corpus/diskstats" tests/fuzz/corpus/diskstats >"$log" 2>&1; then
  grep -E "INITED|DONE|stat::(number_of_executed_units|average_exec_per_sec|new_units_added)" "$log"
  echo "Nothing found."
else
  grep -E "failed:|ERROR:|SUMMARY:|Test unit written" "$log" || tail -n 20 "$log"
  echo "Found a fault: rerun the input with $dir/diskstats_fuzz <file> to see it again."
  exit 1
fi
