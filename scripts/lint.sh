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
  echo "!! the format check failed (above); scripts/format.sh formats the files" >&2
  status=1
fi

sources="$(project_files '*.cpp')"
# Whether a build's compile commands (BUILD SOURCE) compile the source.
compiled_in() { grep -qF "\"file\": \"$ROOT/$2\"" "$1/compile_commands.json"; }

echo "== clang-tidy on the plain rules"
mapfile -t plain < <(grep -v '^tests/' <<<"$sources" |
  while read -r source; do compiled_in "$BUILD_NATIVE" "$source" && echo "$source"; done)
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
mapfile -t win32 < <(grep -E '^(app|autostart|blocklist|controls|files|finder|framework|network|process|sysinfo)/' <<<"$sources" |
  while read -r source; do
    compiled_in "$BUILD_WIN64" "$source" && ! compiled_in "$BUILD_NATIVE" "$source" && echo "$source"
  done)
if ! clang-tidy-14 -p "$BUILD_WIN64" --quiet --extra-arg=--target=x86_64-w64-mingw32 \
    --extra-arg=-fexec-charset=UTF-8 --extra-arg=-nostdinc++ "${mingw_includes[@]}" "${win32[@]}" 2>/dev/null; then
  echo "!! clang-tidy findings above" >&2
  status=1
fi
exit $status
