#!/usr/bin/env bash
# The whole test run: install what is missing, build all trees, then unit tests,
# the checks of the built executables and the end-to-end tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
ctest --test-dir build/native --output-on-failure --timeout 300 "$@"
