#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program under Wine in run/
# (kept between runs, so proc.dat survives rebuilds). Without a display it
# runs on a private Xvfb, saves a screenshot, prints its path and stops.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

install_packages
build_all
prepare_prefix 2>/dev/null

RUN_DIR="$ROOT/run"
mkdir -p "$RUN_DIR"
cp "$BUILD_WIN/tarvemonix.exe" "$ROOT/res/processinfo.dat" "$ROOT/res/tarvemonix_help.htm" "$RUN_DIR/"
cd "$RUN_DIR"

if [ -n "${DISPLAY:-}" ]; then
  exec "${WINE_LOCALE[@]}" wine tarvemonix.exe
fi

start_xvfb
trap stop_xvfb EXIT
"${WINE_LOCALE[@]}" wine tarvemonix.exe &
sleep "${TVX_SCREENSHOT_DELAY:-8}"
shot="$RUN_DIR/screenshot.png"
import -window root "$shot"
echo "screenshot: $shot"
