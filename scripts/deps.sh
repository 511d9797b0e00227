#!/usr/bin/env bash
# Installs, with apt, whatever the build, the tests and the Wine run need and is missing.
# wine32 comes from Debian's i386 architecture; it installs on any machine, and
# runs where the kernel runs 32-bit code (tests/e2e/wine.py looks at run time).
set -euo pipefail

packages=(
  cmake make g++ python3
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine64 wine32:i386 xvfb xdotool imagemagick x11-utils libxfixes3 fonts-wine fonts-liberation
  python3-pytest python3-pefile
  clang clang-tidy cppcheck libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
