#!/usr/bin/env bash
# Takes the README's screenshots again, into docs/: the program run.sh would
# run (32-bit where this machine runs 32-bit programs) under Wine on a private
# Xvfb, in the tests' prefix (宋体 mapped to a Song-style font, Marlett for the
# caption buttons), each picture a window with its frame: the main window
# scrolled to its figure columns, with a copy of the tests' helper program named
# svchost.exe started from a temporary folder (" 可疑进程"), its file menu open,
# the list sorted by its second column in descending order, the system
# information dialog, the window maximised with the list in tree order (a
# helper that started a helper that started one more), and the startup
# entries with a few entries of its own planted in the prefix (and taken away
# again), a row's menu with its priority submenu, and the connections of two
# helpers talking over the loopback.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

install_packages
find_runnable_arches
configure_windows "${RUNNABLE_ARCHES[0]}"
cmake --build "$BUILD_WIN" -j "$(build_jobs)" --target tarvemonix tvx_sleeper
claim_prefix
clear_program_settings
start_xvfb
work="$(mktemp -d)"
# The startup entries the last picture shows; only these are taken away again.
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
planted_names=(tvxshot-updater tvxshot-missing)
remove_planted() {
  for name in "${planted_names[@]}"; do
    "$WINE" reg delete "$run_key" /v "$name" /f >/dev/null 2>&1 || true
  done
}
trap 'remove_planted; stop_wine_and_xvfb; rm -rf "$work"' EXIT
cp "$BUILD_WIN/tarvemonix.exe" "$ROOT/res/processinfo.dat" "$ROOT/res/tarvemonix_help.htm" "$work/"
cd "$work"

# A window as the screen shows it, with what lies over it (an open menu).
shoot() {  # shoot WINDOW NAME
  import -window root -crop "$(window_area "$1")" +repage "$ROOT/docs/$2.png"
  echo "docs/$2.png"
}

mkdir "$work/temp"
cp "$BUILD_WIN/tests/tvx_sleeper.exe" "$work/temp/svchost.exe"
"${WINE_LOCALE[@]}" "$WINE" "$work/temp/svchost.exe" 600 >/dev/null 2>&1 &
sleep 2
start_program
sleep 3  # the opening animation, the first list and its first figures
# The list's horizontal scroll bar, a page at a time to its right end and back.
page_list() {  # page_list X
  xdotool mousemove --window "$PROGRAM_WINDOW" "$1" 357 click --repeat 3 --delay 300 1
  sleep 1.5
}
page_list 366
shoot "$PROGRAM_WINDOW" main-window
page_list 40

xdotool key --window "$PROGRAM_WINDOW" alt+f
sleep 1
shoot "$PROGRAM_WINDOW" menu-bar
xdotool key --window "$PROGRAM_WINDOW" Escape Escape

# The second column's heading, clicked twice: ascending, then descending.
xdotool mousemove --window "$PROGRAM_WINDOW" 320 58 click --repeat 2 --delay 700 1
sleep 1
shoot "$PROGRAM_WINDOW" sorted-list

xdotool key --window "$PROGRAM_WINDOW" alt+t s
# The program's other shown window (xdotool cannot match its Chinese title in
# every build: Wine sets the plain title to question marks).
dialog=""
for _ in {1..20}; do
  dialog="$(xdotool search --onlyvisible --pid "$PROGRAM_PID" | grep -v -x "$PROGRAM_WINDOW" | head -n 1)" || true
  if [ -n "$dialog" ]; then break; fi
  sleep 0.5
done
if [ -z "$dialog" ]; then
  echo "!! the system information dialog did not open" >&2
  exit 1
fi
sleep 4  # its first measurement of the clock
shoot "$dialog" sysinfo-dialog

# The window grown (a double click on its caption maximises it) with the
# rows in tree order: every column and the figures side by side.
xdotool key --window "$dialog" Return
sleep 1
cp "$BUILD_WIN/tests/tvx_sleeper.exe" "$work/temp/helper.exe"
"${WINE_LOCALE[@]}" "$WINE" "$work/temp/helper.exe" 600 spawn 2 >/dev/null 2>&1 &
sleep 2
xdotool mousemove --window "$PROGRAM_WINDOW" 200 10 click --repeat 2 --delay 150 1
sleep 1
# 工具, then its second item, 按进程树排列.
xdotool key --window "$PROGRAM_WINDOW" alt+t Down Return
sleep 2
shoot "$PROGRAM_WINDOW" tree-window

# The main window opens the startup entries (工具, the item below 封锁列表).
"$WINE" reg add "$run_key" /v tvxshot-updater /d "\"$(windows_path "$work/temp/svchost.exe")\" /update" /f >/dev/null 2>&1
"$WINE" reg add "$run_key" /v tvxshot-missing /d 'C:\Program Files\Gone\gone.exe /min' /f >/dev/null 2>&1
xdotool key --window "$PROGRAM_WINDOW" alt+t Down Down Down Return
startup=""
for _ in {1..20}; do
  startup="$(xdotool search --onlyvisible --pid "$PROGRAM_PID" | grep -v -x "$PROGRAM_WINDOW" | head -n 1)" || true
  if [ -n "$startup" ]; then break; fi
  sleep 0.5
done
if [ -z "$startup" ]; then
  echo "!! the startup entries dialog did not open" >&2
  exit 1
fi
sleep 2
shoot "$startup" startup-entries
xdotool key Escape
sleep 1

# The row menu of a helper's row, its priority submenu open: the list's own
# search by typed name selects the row, the menu key opens its menu.
xdotool mousemove --window "$PROGRAM_WINDOW" 200 120 click 1
xdotool type --window "$PROGRAM_WINDOW" --delay 100 helper
sleep 1
xdotool key --window "$PROGRAM_WINDOW" Menu
sleep 1
# 优先级 is the item after 挂起进程; the arrow keys walk there and open it.
for _ in {1..4}; do xdotool key Down; done
xdotool key Right
sleep 1
shoot "$PROGRAM_WINDOW" row-menu
xdotool key Escape Escape
sleep 1

# The connections of a helper listening on the loopback and one connected to
# it (each uses its socket once, so the system names its owner).
port=47123
"${WINE_LOCALE[@]}" "$WINE" "$work/temp/helper.exe" 600 listen "$port" >/dev/null 2>&1 &
sleep 1
"${WINE_LOCALE[@]}" "$WINE" "$work/temp/helper.exe" 600 connect "$port" >/dev/null 2>&1 &
sleep 2
xdotool key --window "$PROGRAM_WINDOW" alt+t Down Down Down Down Return
connections=""
for _ in {1..20}; do
  connections="$(xdotool search --onlyvisible --pid "$PROGRAM_PID" | grep -v -x "$PROGRAM_WINDOW" | head -n 1)" || true
  if [ -n "$connections" ]; then break; fi
  sleep 0.5
done
if [ -z "$connections" ]; then
  echo "!! the connections dialog did not open" >&2
  exit 1
fi
sleep 3  # its second reading of the tables
shoot "$connections" connections
