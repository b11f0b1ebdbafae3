#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program under Wine in run/
# (kept between runs, so proc.dat survives rebuilds): the 32-bit program where
# this machine runs 32-bit programs, the 64-bit one otherwise. Without a
# display it runs on a private Xvfb, saves a screenshot, prints its path and stops.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

install_packages
build_all

if machine_runs_32bit; then
  use_arch 32
  echo "== running the 32-bit program"
else
  use_arch 64
  echo "== running the 64-bit program: this machine runs no 32-bit programs ($WINE32_REASON)"
fi
prepare_prefix

RUN_DIR="$ROOT/run"
mkdir -p "$RUN_DIR"
cp "$BUILD_WIN/tarvemonix.exe" "$ROOT/res/processinfo.dat" "$ROOT/res/tarvemonix_help.htm" "$RUN_DIR/"
cd "$RUN_DIR"

if [ -n "${DISPLAY:-}" ]; then
  exec "${WINE_LOCALE[@]}" "$WINE" tarvemonix.exe
fi

start_xvfb
trap stop_wine_and_xvfb EXIT
"${WINE_LOCALE[@]}" "$WINE" tarvemonix.exe &
sleep "${TVX_SCREENSHOT_DELAY:-8}"
shot="$RUN_DIR/screenshot.png"
import -window root "$shot"
echo "screenshot: $shot"
