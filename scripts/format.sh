#!/usr/bin/env bash
# Formats every C++ source of the project with .clang-format; with --check,
# changes nothing and fails on the first file that is not formatted.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
cd "$ROOT"
listed="$(project_files '*.cpp' '*.h')"
mapfile -t sources <<<"$listed"
if [ "${1:-}" = "--check" ]; then
  clang-format-14 --dry-run -Werror "${sources[@]}"
else
  clang-format-14 -i "${sources[@]}"
fi
