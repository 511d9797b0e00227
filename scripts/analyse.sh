#!/usr/bin/env bash
# Static analysis of the program's own sources: the layers' include rule,
# clang-tidy (checks in .clang-tidy) and cppcheck (settings below,
# suppressions in .cppcheck-suppressions). Any finding fails. Reads the
# compile commands of scripts/build.sh's trees: the portable sources as the
# native tree compiles them, the Win32 backend as the i686 product. The test
# command runs it as the CTest test `static_analysis`.
set -euo pipefail
cd "$(dirname "$0")/.."

portable=$(git ls-files 'core/*.cpp' 'settings/*.cpp' 'about/*.cpp' 'program/*.cpp' 'runtime/*.cpp' 'platform/common/*.cpp')
win32=$(git ls-files 'platform/win32/*.cpp' 'app/*.cpp')

# clang reads the mingw-w64 sources with g++'s own header search list.
mingw_args=(--extra-arg=--target=i686-w64-mingw32 --extra-arg=-nostdinc++)
while read -r dir; do
  mingw_args+=("--extra-arg=-isystem$dir")
done < <(echo | i686-w64-mingw32-g++ -E -x c++ - -v 2>&1 | sed -n '/<...> search starts/,/End of search/{/^ /s/^ //p}')

status=0
echo "== layers"
# The platform layer stands on nothing above it.
if git grep -n -E '#include "(runtime|core|settings|about|program|app)/' -- platform/; then
  echo "platform/ includes a layer above it"
  status=1
fi

echo "== clang-tidy"
tidy() { xargs -n 1 -P "$(nproc)" clang-tidy --quiet "$@" 2>/dev/null; }
echo "$portable" | tidy -p build/native || status=1
echo "$win32" | tidy -p build/i686 "${mingw_args[@]}" || status=1

echo "== cppcheck"
cppcheck --std=c++20 --language=c++ --enable=warning,style,performance,portability --library=windows \
  --inline-suppr --suppressions-list=.cppcheck-suppressions --error-exitcode=1 --quiet \
  -I . -D_WIN32 -DWIN32_LEAN_AND_MEAN core settings about program runtime platform/common platform/win32 app || status=1

[ "$status" -eq 0 ] && echo "No findings."
exit "$status"
