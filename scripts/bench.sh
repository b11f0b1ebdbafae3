#!/usr/bin/env bash
# Speed figures, one line each: "name value unit".
#
# Native: the plain rules (classification, reading proc.dat, the refresh's
# rows, the list's sort) in a Release build in build/bench. Each figure is the
# median CPU time of several repetitions: the machine may be shared, and a
# wall-clock figure would count the time other programs had the processor.
#
# Wine: the main window of the 64-bit Windows build (refresh against its floor
# at 0, 100 and 300 extra processes and at 2,000 rows, sort, start-up; each
# second's look, block check and figure update, shown and hidden, against a
# bare look; the figure update at 300 rows), each the median of several runs,
# pinned to one core; then the real program's own processor use over 60 s
# hidden in the tray at 300 extra processes.
#
# Further sections go in their own functions, called at the bottom.
#
# Then the connections dialog's update at 500 connections against its floor,
# the search for the processes that hold a file at 300 extra processes, and
# the startup entries dialog with 150 services and 150 scheduled tasks.
#
# usage: scripts/bench.sh [native|wine|tree|block_speed|connections|file_users|startup ...]
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
BUILD_BENCH="$ROOT/build/bench"
BENCH_REPETITIONS="${TVX_BENCH_REPETITIONS:-7}"

# Prints "figure value unit" for each median row of the benchmark's CSV.
# Benchmark names map to figure names here; a name missing from the map is
# printed as it is, so a new benchmark shows up without editing the script.
print_medians() {
  awk -F, '
    BEGIN {
      figure["classify_10000_names"] = "classify_10000_names"
      figure["read_100000_block_names"] = "read_100000_block_names"
      figure["build_rows_2000_processes/prompt:0"] = "build_rows_2000_processes"
      figure["build_rows_2000_processes/prompt:1"] = "build_rows_2000_processes_asking"
      figure["sort_2000_rows/column:0"] = "sort_2000_rows_by_name"
      figure["sort_2000_rows/column:2"] = "sort_2000_rows_by_pid"
    }
    {
      name = $1
      gsub(/"/, "", name)
      if (name !~ /_median$/) next
      sub(/_median$/, "", name)
      out = (name in figure) ? figure[name] : name
      gsub(/[^A-Za-z0-9_]/, "_", out)
      value = $4 + 0
      format = value >= 100 ? "%.0f" : (value >= 10 ? "%.1f" : (value >= 1 ? "%.2f" : "%.3f"))
      printf "%s_%s " format " %s\n", out, $5, value, $5
    }'
}

bench_native() {
  echo "== native benchmark (Release, $BUILD_BENCH)" >&2
  lock_build_folder
  nice -n 10 cmake -S "$ROOT" -B "$BUILD_BENCH" -DCMAKE_BUILD_TYPE=Release -DTVX_BUILD_TESTS=ON >/dev/null
  nice -n 10 cmake --build "$BUILD_BENCH" -j "$(build_jobs)" --target plain_rules_bench >/dev/null
  local log="$BUILD_BENCH/plain_rules_bench.log"
  if ! "$BUILD_BENCH/tests/plain_rules_bench" --benchmark_repetitions="$BENCH_REPETITIONS" \
      --benchmark_report_aggregates_only=true --benchmark_format=csv 2>"$log" | print_medians; then
    cat "$log" >&2
    return 1
  fi
}

# The display and prefix of an earlier section of this run, or this
# section's own.
use_display_of_this_run() {
  [ -z "${XVFB_PID:-}" ] || return 0
  claim_prefix >&2
  clear_program_settings
  start_xvfb
  trap stop_wine_and_xvfb EXIT
}

# refresh_bench.exe of the 64-bit build with the arguments after the title,
# pinned to one core, in this run's display and prefix.
run_refresh_bench() {
  echo "== $1 (64-bit build, one core)" >&2
  shift
  configure_windows 64 >&2
  cmake --build "$BUILD_WIN" -j "$(build_jobs)" --target refresh_bench >/dev/null
  use_display_of_this_run
  (cd "${TMPDIR:-/tmp}" && taskset -c 0 "${WINE_LOCALE[@]}" "$WINE" "$BUILD_WIN/tests/refresh_bench.exe" "$@")
}

bench_wine() { run_refresh_bench "Wine benchmark" 0 100 300; }

# The refresh in tree order at 300 extra processes against its floor, and the
# tooltip's read of a command line; in bench_wine's display and prefix when
# that ran first.
bench_tree() { run_refresh_bench "Wine benchmark of the tree order and the tooltip" tree 300; }

# The connections dialog's update at 500 connections (loopback pairs of the
# bench's own) against its floor: the table reads and a plain list's fill.
bench_connections() { run_refresh_bench "Wine benchmark of the connections dialog" connections 500; }

# The search for the processes that hold a file, at 300 extra processes.
bench_file_users() { run_refresh_bench "Wine benchmark of the file search" file_users 300; }

# The Linux pid of the real program running in this run's prefix (its
# environment names the prefix: another run's copy is not it).
wine_program_pid() {
  local proc
  for proc in /proc/[0-9]*; do
    tr '\0' '\n' <"$proc/cmdline" 2>/dev/null | grep -qi 'tarvemonix\.exe$' || continue
    tr '\0' '\n' <"$proc/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    echo "${proc#/proc/}"
    return 0
  done
  return 1
}

# User and system time of a Linux process, every thread, in clock ticks.
process_ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }

# The block list among 300 other processes: how long a blocked program lives
# (by name, and as a renamed copy of a recorded file; the first start of a file
# never read before is printed apart), the window seen and hidden in the tray;
# and between the series the program's processor use, from its own times in
# the system's process list and as Linux counts the Wine process
# (/proc/<pid>/stat, all threads), as a share of one core.
bench_block_speed() {
  echo "== block list speed (64-bit build, 300 other processes)" >&2
  configure_windows 64 >&2
  cmake --build "$BUILD_WIN" -j "$(build_jobs)" --target block_speed_bench >/dev/null
  use_display_of_this_run
  local line state pid="" ticks_before=0 time_before=0 hertz
  hertz="$(getconf CLK_TCK)"
  (cd "${TMPDIR:-/tmp}" && "${WINE_LOCALE[@]}" "$WINE" "$BUILD_WIN/tests/block_speed_bench.exe" 300 15 30) |
    while read -r line; do
      line="${line%$'\r'}"  # the console's CR LF
      case "$line" in
        "cpu_window "*" begin")
          pid="$(wine_program_pid || true)"
          if [ -n "$pid" ]; then ticks_before="$(process_ticks "$pid")"; time_before="$(date +%s.%N)"; fi ;;
        "cpu_window "*" end")
          state="$(awk '{ print $2 }' <<<"$line")"
          [ -n "$pid" ] || { echo "!! the program's Linux process was not found" >&2; continue; }
          awk -v ticks="$(( $(process_ticks "$pid") - ticks_before ))" -v hertz="$hertz" \
              -v seconds="$(awk -v a="$time_before" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')" -v state="$state" \
              'BEGIN { printf "linux_processor_use_%s %.2f %%\n", state, 100 * ticks / hertz / seconds }' ;;
        *) echo "$line" ;;
      esac
    done
}

# The startup entries dialog with 150 services and 150 scheduled tasks of the
# bench's own (removed again at its end): created to its list shown, and to
# the last hide check taken in; in bench_wine's display and prefix when that
# ran first.
bench_startup() {
  echo "== startup entries (64-bit build, 150 services and 150 tasks)" >&2
  configure_windows 64 >&2
  cmake --build "$BUILD_WIN" -j "$(build_jobs)" --target startup_bench >/dev/null
  use_display_of_this_run
  (cd "${TMPDIR:-/tmp}" && "${WINE_LOCALE[@]}" "$WINE" "$BUILD_WIN/tests/startup_bench.exe")
}

# The sections named on the command line (native, wine, tree, block_speed,
# connections, file_users, startup), or all of them.
SECTIONS=("$@")
[ ${#SECTIONS[@]} -gt 0 ] || SECTIONS=(native wine tree block_speed connections file_users startup)
for section in "${SECTIONS[@]}"; do
  case "$section" in
    native|wine|tree|block_speed|connections|file_users|startup) ;;
    *) echo "!! unknown section '$section': native, wine, tree, block_speed, connections, file_users or startup" >&2; exit 2 ;;
  esac
done
# GoogleTest as well: the native build configures the tests.
install_packages libbenchmark-dev >&2
for section in "${SECTIONS[@]}"; do "bench_$section"; done
