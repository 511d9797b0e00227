#!/usr/bin/env bash
# The release: pellumin.exe (i686) built from the current commit in a clean
# tree of its own (build/release), then dist/ with the executable and its
# SHA256SUMS. Two builds of one commit with the same Debian toolchain are
# byte-identical, wherever and whenever they run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release.sh: uncommitted changes; a release is built from a commit" >&2
  exit 1
fi
# The binary holds no time stamp; tools that would write one take the commit's.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C

rm -rf build/release dist
cmake --preset i686 -B build/release >/dev/null
cmake --build build/release -j "$(nproc)" --target pellumin
mkdir dist
cp build/release/pellumin.exe dist/
(cd dist && sha256sum pellumin.exe >SHA256SUMS)

echo "== Release of commit $(git rev-parse --short HEAD) in dist/"
ls -l dist
cat dist/SHA256SUMS
