#!/usr/bin/env bash
# The whole test run: install what is missing, build all trees, then in the
# native tree the static analysis, unit tests, the checks of the built
# executables and the end-to-end tests under Wine, and in the clang tree the
# fuzz target for a bounded time. Everything runs; any failure fails the whole.
# Arguments go to the native ctest (e.g. -L unit), and then the fuzz target stays out.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
/usr/bin/python3 -B tests/e2e/wine.py --say
status=0
ctest --test-dir build/native --output-on-failure --timeout 300 "$@" || status=1
if [ $# -eq 0 ]; then
  ctest --preset fuzz || status=1
fi
exit "$status"
