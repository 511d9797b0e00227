#!/usr/bin/env bash
# Runs each fuzz target longer than the test run does, then says what it found.
# Usage: scripts/fuzz.sh [seconds per target, default 300]
# New inputs collect in build/fuzz/tests/fuzz/corpus (the committed seeds in
# tests/fuzz/corpus are only read); failing inputs go to .../artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-300}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2 >/dev/null
dir=build/fuzz/tests/fuzz
mkdir -p "$dir/artifacts"

found=0
for name in registry sampler diskstats; do
  mkdir -p "$dir/corpus/$name"
  log="$dir/$name.log"
  echo "== $name, $seconds s (log: $log)"
  if "$dir/${name}_fuzz" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$dir/artifacts/$name-" "$dir/corpus/$name" "tests/fuzz/corpus/$name" >"$log" 2>&1; then
    grep -E "INITED|DONE|stat::(number_of_executed_units|average_exec_per_sec|new_units_added)" "$log"
  else
    found=1
    grep -E "failed:|ERROR:|SUMMARY:|Test unit written" "$log" || tail -n 20 "$log"
  fi
done

if [ "$found" -ne 0 ]; then
  echo "Found faults: rerun an input with $dir/<target>_fuzz <file> to see it again."
  exit 1
fi
echo "Nothing found."
