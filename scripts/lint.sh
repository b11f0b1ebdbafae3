#!/usr/bin/env bash
# The habits the project keeps: every source formatted by .clang-format, and no
# clang-tidy finding (.clang-tidy) in the plain rules nor in the Win32 code
# (read with the 64-bit MinGW target and headers). Needs the native and the
# 64-bit builds' compile_commands.json (scripts/test.sh makes them first).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
cd "$ROOT"

status=0
echo "== format check (clang-format-14)"
if ! scripts/format.sh --check; then
  echo "!! files above are not formatted: run scripts/format.sh" >&2
  status=1
fi

echo "== clang-tidy on the plain rules"
mapfile -t plain < <(git ls-files --cached --others --exclude-standard '*.cpp' |
  while read -r source; do grep -q "\"file\": \"$ROOT/$source\"" "$BUILD_NATIVE/compile_commands.json" && echo "$source"; done |
  grep -v '^tests/')
if ! clang-tidy-14 -p "$BUILD_NATIVE" --quiet "${plain[@]}" 2>/dev/null; then
  echo "!! clang-tidy findings above" >&2
  status=1
fi
echo "== clang-tidy on the Win32 code (x86_64-w64-mingw32)"
# clang reads the MinGW headers; GCC's own intrinsics headers are left out,
# clang brings its own.
mingw_includes=()
while read -r folder; do
  mingw_includes+=("--extra-arg=-isystem$folder")
done < <(x86_64-w64-mingw32-g++-posix -E -x c++ - -v </dev/null 2>&1 |
  sed -n '/#include <...> search starts here/,/End of search list/p' | grep '^ ' |
  grep -v -e '-posix/include$' -e 'include-fixed')
mapfile -t win32 < <(git ls-files --cached --others --exclude-standard 'app/*.cpp' 'blocklist/*.cpp' 'controls/*.cpp' \
  'files/*.cpp' 'framework/*.cpp' 'process/*.cpp' 'sysinfo/*.cpp' |
  while read -r source; do
    grep -q "\"file\": \"$ROOT/$source\"" "$BUILD_WIN64/compile_commands.json" &&
      ! grep -q "\"file\": \"$ROOT/$source\"" "$BUILD_NATIVE/compile_commands.json" && echo "$source"
  done)
if ! clang-tidy-14 -p "$BUILD_WIN64" --quiet --extra-arg=--target=x86_64-w64-mingw32 \
    --extra-arg=-fexec-charset=UTF-8 --extra-arg=-nostdinc++ "${mingw_includes[@]}" "${win32[@]}" 2>/dev/null; then
  echo "!! clang-tidy findings above" >&2
  status=1
fi
exit $status
