#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program under Wine in run/
# (kept between runs, so proc.dat survives rebuilds): the 32-bit program where
# this machine runs 32-bit programs, the 64-bit one otherwise.
#
# With a display it runs there, in a Wine prefix of its own (run/wineprefix32 or
# run/wineprefix64) that no test or screenshot run uses or ends. Without one it
# runs in the tests' prefix on a private Xvfb, checks that the program is
# running and shows its window, saves a screenshot, prints its path and ends
# that program alone.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

install_packages
build_all

find_runnable_arches
arch="${RUNNABLE_ARCHES[0]}"
if [ "$arch" = 32 ]; then
  echo "== running the 32-bit program"
else
  echo "== running the 64-bit program: this machine runs no 32-bit programs ($WINE32_REASON)"
fi
use_arch "$arch"

RUN_DIR="$ROOT/run"
mkdir -p "$RUN_DIR"
# A copy started earlier may still run from these files: replace them rather
# than write into them.
cp --remove-destination "$BUILD_WIN/tarvemonix.exe" "$ROOT/res/processinfo.dat" "$ROOT/res/tarvemonix_help.htm" "$RUN_DIR/"

if [ -n "${DISPLAY:-}" ]; then
  use_arch "$arch" run
  lock_prefix
  prepare_prefix
  cd "$RUN_DIR"
  # The program outlives this run: it must not keep the run's locks.
  release_locks
  exec "${WINE_LOCALE[@]}" "$WINE" tarvemonix.exe
fi

claim_prefix
clear_program_settings
start_xvfb
trap stop_wine_and_xvfb EXIT
cd "$RUN_DIR"
start_program
sleep "${TVX_SCREENSHOT_DELAY:-3}"  # the opening animation and the first list
if ! program_running; then
  echo "!! the program ended or lost its window before the screenshot" >&2
  exit 1
fi
shot="$RUN_DIR/screenshot.png"
import -window root "$shot"
echo "screenshot: $shot"
