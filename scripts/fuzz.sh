#!/usr/bin/env bash
# Coverage-guided fuzzing of the plain parsers with libFuzzer (clang 14, ASan,
# UBSan), natively, in its own build folder.
#   scripts/fuzz.sh [seconds]   each target for that long (default 60) on a copy
#                               of its corpus; prints executions, coverage and
#                               findings per target
#   scripts/fuzz.sh --smoke     a fixed number of runs per target from the
#                               committed corpus, for the test script
# Exits non-zero on a finding. Inputs that fail are kept in build/fuzz/findings.
# TVX_BUILD_JOBS sets the build's parallel jobs (default: every core).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

PACKAGES=(cmake make clang-14 libclang-rt-14-dev)
BUILD_FUZZ="$ROOT/build/fuzz"
CORPUS="$ROOT/tests/fuzz/corpus"
FINDINGS="$BUILD_FUZZ/findings"
TARGETS=(blocklist_file reference_info column_spec column_widths cell_compare export_bytes window_settings
         command_program fingerprint_file task_definition)
SMOKE_RUNS=20000

mode="${1:-60}"
if [ "$mode" = "--smoke" ]; then
  limit=(-runs="$SMOKE_RUNS")
elif [[ "$mode" =~ ^[1-9][0-9]*$ ]]; then  # libFuzzer takes 0 as no limit
  limit=(-max_total_time="$mode")
else
  echo "usage: $0 [seconds (1 or more) | --smoke]" >&2
  exit 2
fi

install_packages
lock_build_folder
CXX=clang++-14 cmake -S "$ROOT/tests/fuzz" -B "$BUILD_FUZZ" >/dev/null
cmake --build "$BUILD_FUZZ" -j "$(build_jobs)" >/dev/null

mkdir -p "$FINDINGS"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

status=0
printf '%-16s %12s %8s %8s  %s\n' target executions cov ft findings
for target in "${TARGETS[@]}"; do
  # New inputs go into a copy: the committed corpus stays small.
  cp -r "$CORPUS/$target" "$work/$target"
  log="$BUILD_FUZZ/$target.log"
  rc=0
  "$BUILD_FUZZ/$target" "${limit[@]}" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
    -artifact_prefix="$FINDINGS/$target-" "$work/$target" >"$log" 2>&1 || rc=$?
  executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  read -r cov ft < <(sed -n 's/.* cov: \([0-9]*\) ft: \([0-9]*\).*/\1 \2/p' "$log" | tail -n 1) || true
  found="-"
  if [ "$rc" -ne 0 ]; then
    status=1
    found="$(sed -n 's/.*Test unit written to //p' "$log" | tr '\n' ' ')"
    found="exit $rc ${found:-(see $log)}"
  fi
  printf '%-16s %12s %8s %8s  %s\n' "$target" "${executions:-?}" "${cov:-?}" "${ft:-?}" "$found"
done
exit $status
