#!/usr/bin/env bash
# Builds the program and starts it under Wine: the i686 product in a 32-bit Wine
# process wherever this machine runs 32-bit code, else the x86_64 build of the
# same sources (tests/e2e/wine.py decides; PELLUMIN_WINE_TREE=i686 or x86_64 says instead).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/deps.sh
bash scripts/build.sh --windows-only >/dev/null

export WINEPREFIX=${WINEPREFIX:-$HOME/.local/share/norvane-pellumin/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
mkdir -p "$WINEPREFIX"

exe=$(/usr/bin/python3 -B tests/e2e/wine.py)/pellumin.exe
/usr/bin/python3 -B tests/e2e/wine.py --say
wine=(/usr/lib/wine/wine64)  # hands a 32-bit executable to the 32-bit loader

xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  [ -s "$display_file" ] || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(cat "$display_file")"
  rm -f "$display_file"
  echo "No display here: running on the virtual display $DISPLAY."
  echo "The tray icon is at the top left of it. To look: DISPLAY=$DISPLAY import -window root shot.png"
fi

echo "Starting $exe (${wine[*]}); Ctrl-C stops it."
"${wine[@]}" "$exe"
