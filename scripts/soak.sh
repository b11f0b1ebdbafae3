#!/usr/bin/env bash
# Soak run of the real 64-bit program under Wine on a private Xvfb, driven from
# outside by tests/soak/soak_driver.cpp as a user would: REFRESHES refreshes
# (default 10000) while 50 helper processes run, come and go (those on the
# block list must be ended by the program), and each dialog opened and closed
# once per 100 refreshes. Prints GDI objects, windows, kernel handles and
# memory at the start, after the warm-up (50 refreshes and one round of
# dialogs, each held open 2.5 s) and every 500 refreshes; exits non-zero when a
# count grows past its allowance over the warm-up sample (2; 3 x 64 for device
# contexts and the two objects Wine makes with each, since Wine caches 64;
# 4 MB of committed private memory), or a helper is ended or kept wrongly.
#   scripts/soak.sh 300    a short run, under a minute
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

REFRESHES="${1:-10000}"
case "$REFRESHES" in '' | *[!0-9]*) echo "usage: scripts/soak.sh [refreshes]" >&2; exit 2 ;; esac

prepare_driven_runs
RUN_DIR="$ROOT/build/soak-run"
rm -rf "$RUN_DIR"
mkdir -p "$RUN_DIR"
cp "$BUILD_WIN/tarvemonix.exe" "$ROOT/res/processinfo.dat" "$ROOT/res/tarvemonix_help.htm" "$RUN_DIR/"

start_xvfb
trap 'finish_driven_run; rm -rf "$RUN_DIR"' EXIT
echo "== soak: $REFRESHES refreshes of the 64-bit program on $DISPLAY"
"${WINE_LOCALE[@]}" "$WINE" "$BUILD_WIN/tests/tvx_soak_driver.exe" soak "$(windows_path "$RUN_DIR/tarvemonix.exe")" \
  "$(windows_path "$RUN_DIR")" "$(windows_path "$BUILD_WIN/tests/tvx_sleeper.exe")" "$REFRESHES"
