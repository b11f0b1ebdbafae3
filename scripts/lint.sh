#!/usr/bin/env bash
# The habits the project keeps: every source formatted by .clang-format, and no
# clang-tidy finding (.clang-tidy) in the plain rules. Needs the native build's
# compile_commands.json (scripts/test.sh makes it first).
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
exit $status
