#!/usr/bin/env bash
# Hostile files at scale: for each case (all without arguments) the real 64-bit
# program starts under Wine on a private Xvfb in a fresh folder whose proc.dat
# or processinfo.dat is hostile, and tests/soak/soak_driver.cpp checks that the
# list shows within the bound, that no process the block list does not match
# is ended, that proc.dat stays byte for byte the same and that the block list
# editor opens with every name the file holds. One line per case; exits
# non-zero when a case fails.
#   scripts/hostile.sh [case...]
#   TVX_HOSTILE_BOUND_MS: the bound for the list and for the editor (default
#   10000: the slowest case, the editor on 100,000 names, takes 2.6 to 4.2 s
#   on two busy cores)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

CASES=(plain procdat-1mb-line procdat-100k-names procdat-random procdat-no-marker procdat-empty
       refinfo-10mb-no-eof refinfo-100k-lines refinfo-long-lines)
[ $# -gt 0 ] && CASES=("$@")
BOUND_MS="${TVX_HOSTILE_BOUND_MS:-10000}"

prepare_driven_runs
RUN_ROOT="$ROOT/build/hostile-run"
start_xvfb
trap 'finish_driven_run; rm -rf "$RUN_ROOT"' EXIT
echo "== hostile files: ${#CASES[@]} cases, bound $BOUND_MS ms, 64-bit program on $DISPLAY"
status=0
for name in "${CASES[@]}"; do
  folder="$RUN_ROOT/$name"
  rm -rf "$folder"
  mkdir -p "$folder"
  cp "$BUILD_WIN/tarvemonix.exe" "$ROOT/res/processinfo.dat" "$ROOT/res/tarvemonix_help.htm" "$folder/"
  "${WINE_LOCALE[@]}" "$WINE" "$BUILD_WIN/tests/tvx_soak_driver.exe" hostile \
    "$(windows_path "$folder/tarvemonix.exe")" "$(windows_path "$folder")" \
    "$(windows_path "$BUILD_WIN/tests/tvx_sleeper.exe")" "$name" "$BOUND_MS" || status=1
  rm -rf "$folder"
done
exit $status
