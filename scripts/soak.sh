#!/usr/bin/env bash
# The soak run, kept out of the test command for its length: pellumin.exe under
# Wine for 10 minutes of write bursts and tray menu use, then Exit from the menu.
# Fails (exit 1) on a stop, an error box, growth, odd lock toggles or a wrong Run
# entry. Options go to bench/soak.py: --minutes N shortens it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh --windows-only >/dev/null
# The i686 product wherever this machine runs 32-bit code (tests/e2e/wine.py decides).
/usr/bin/python3 -B bench/soak.py --artifacts build/soak "$@"
