#!/usr/bin/env bash
# Installs what is missing, builds every build and runs every test: the native
# tests (under AddressSanitizer and UndefinedBehaviorSanitizer), then the Win32
# tests under Wine on a private Xvfb, and what the real program shows on the
# display, on each Windows build this machine can run.
#
# Each stage runs under a time limit in a process group of its own: one that
# hangs is ended at its limit, and a cancelled run (TERM, INT) ends the stage
# it is in before its clean-up. The time of each stage and the total are
# printed at the end.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

trap_stage_signals
trap 'print_stage_times; stop_wine_and_xvfb' EXIT

wine32_note="$(mktemp)"
run_stage "packages" 1800 "${SETUP_SHELL[@]}" 'install_packages; printf %s "$WINE32_UNAVAILABLE" >"$1"' "$wine32_note"
WINE32_UNAVAILABLE="$(cat "$wine32_note")"
rm -f "$wine32_note"
# Held by this run from here on; the stages inherit it.
lock_build_folder
run_stage "builds: native, 32-bit and 64-bit" 2400 "${SETUP_SHELL[@]}" build_all

find_runnable_arches
if [ "${RUNNABLE_ARCHES[*]}" = "32 64" ]; then
  echo "== this machine runs 32-bit programs: Win32 tests on the 32-bit and the 64-bit build"
else
  echo "== this machine runs no 32-bit programs ($WINE32_REASON):"
  echo "   the 32-bit Win32 tests cannot run here; Win32 tests on the 64-bit build only"
fi

start_xvfb

status=0
run_stage "lint" 900 bash "$ROOT/scripts/lint.sh" || status=1
run_stage "script tests" 300 "${SETUP_SHELL[@]}" \
  'status=0; for test in arch_detection setup policy_template stages packages; do
     bash "$ROOT/tests/scripts/${test}_test.sh" || status=1
   done; exit $status' || status=1
run_stage "native tests" 600 bash -c 'cd "$0" && ctest --output-on-failure --no-tests=error' "$BUILD_NATIVE" || status=1
run_stage "fuzz targets, a short run from their seeds" 900 bash "$ROOT/scripts/fuzz.sh" --smoke || status=1
for arch in "${RUNNABLE_ARCHES[@]}"; do
  use_arch "$arch"
  if ! claim_prefix || ! clear_program_settings; then
    echo "!! the ${arch}-bit Win32 tests did not run: their Wine prefix is not ready (see above)" >&2
    status=1
    continue
  fi
  run_stage "Win32 tests under Wine, ${arch}-bit build" 2400 \
    bash -c 'cd "$0" && ctest --output-on-failure --no-tests=error -j 1' "$BUILD_WIN" || status=1
  end_leftover_programs || status=1
  run_stage "the real ${arch}-bit program's list on the display" 300 \
    bash "$ROOT/tests/scripts/screen_test.sh" "$arch" || status=1
done
run_stage "a short soak of the real program (64-bit build)" 600 bash "$ROOT/scripts/soak.sh" 300 || status=1
exit $status
