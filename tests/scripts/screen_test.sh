#!/usr/bin/env bash
# What the real program puts on the display, read back from the X server: the
# list is drawn at start, after a refresh that adds rows (and a vertical scroll
# bar) and after one that takes them away again. The list's white background
# covers most of the window when it is drawn; a list whose drawing never
# reached the display leaves the dialog's grey there, which no test inside
# Wine can see (Wine reads its own copy of the window back).
#   tests/scripts/screen_test.sh 32|64
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/setup.sh"

arch="${1:-64}"
use_arch "$arch"
claim_prefix >/dev/null || { echo "FAILED: no Wine prefix of its own for the $arch-bit build"; exit 1; }
clear_program_settings || { echo "FAILED: the program's settings of an earlier run are still in the prefix"; exit 1; }
start_xvfb || { echo "FAILED: no display"; exit 1; }
run_dir="$(mktemp -d)"
sleepers=()
finish() {
  kill "${sleepers[@]}" 2>/dev/null
  stop_wine_and_xvfb
  rm -rf "$run_dir"
}
trap finish EXIT
cp "$BUILD_WIN/tarvemonix.exe" "$ROOT/res/processinfo.dat" "$run_dir/"
cd "$run_dir" || exit 1
rm -f "$ROOT/build/screen_test_failure_${arch}bit_"*.png

passed=0 failed=0
# Share of pure white pixels in the program's window, 0 to 1.
white_share() {
  import -window root png:- 2>/dev/null |
    convert - -crop "$(window_area "$PROGRAM_WINDOW")" -fill black +opaque white -format '%[fx:mean]' info:
}
check_drawn() {  # check_drawn WHEN
  local share
  share="$(white_share)"
  if awk -v share="$share" 'BEGIN { exit !(share > 0.25) }'; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: the list is not on the display $1 (white share $share, expected over 0.25)"
    import -window root "$ROOT/build/screen_test_failure_${arch}bit_$failed.png" 2>/dev/null
  fi
}
refresh() {  # the refresh button is the dialog's default button
  xdotool key --window "$PROGRAM_WINDOW" Return
  sleep 2
}

start_program || { echo "FAILED: the program did not start"; exit 1; }
sleep 3  # the opening animation and the first list
check_drawn "at start"

for index in $(seq 1 25); do
  cp "$BUILD_WIN/tests/tvx_sleeper.exe" "tvxscreen$index.exe"
  "${WINE_LOCALE[@]}" "$WINE" "tvxscreen$index.exe" 600 >/dev/null 2>&1 &
  sleepers+=($!)
done
sleep 3
refresh
check_drawn "after a refresh that added 25 rows"

kill "${sleepers[@]}" 2>/dev/null
sleepers=()
sleep 2
refresh
check_drawn "after a refresh that took them away"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
