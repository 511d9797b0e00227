#!/usr/bin/env bash
# Builds the program and starts it under Wine: the i686 product under wine32
# where this machine can run 32-bit code, else the x86_64 build under wine64.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/deps.sh
bash scripts/build.sh --windows-only >/dev/null

export WINEPREFIX=${WINEPREFIX:-$HOME/.local/share/norvane-pellumin/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
mkdir -p "$WINEPREFIX"

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  wine=(/usr/lib/wine/wine) exe=$root/build/i686/pellumin.exe
else
  wine=(/usr/lib/wine/wine64) exe=$root/build/x86_64/pellumin.exe
fi

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
