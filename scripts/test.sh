#!/usr/bin/env bash
# Installs what is missing, builds every build and runs every test: the native
# tests (under AddressSanitizer and UndefinedBehaviorSanitizer), then the Win32
# tests under Wine on a private Xvfb, and what the real program shows on the
# display, on each Windows build this machine can run.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

install_packages
build_all

find_runnable_arches
if [ "${RUNNABLE_ARCHES[*]}" = "32 64" ]; then
  echo "== this machine runs 32-bit programs: Win32 tests on the 32-bit and the 64-bit build"
else
  echo "== this machine runs no 32-bit programs ($WINE32_REASON):"
  echo "   the 32-bit Win32 tests cannot run here; Win32 tests on the 64-bit build only"
fi

start_xvfb
trap stop_wine_and_xvfb EXIT

status=0
bash "$ROOT/scripts/lint.sh" || status=1
echo "== script tests"
bash "$ROOT/tests/scripts/arch_detection_test.sh" || status=1
bash "$ROOT/tests/scripts/setup_test.sh" || status=1
bash "$ROOT/tests/scripts/policy_template_test.sh" || status=1
echo "== native tests"
(cd "$BUILD_NATIVE" && ctest --output-on-failure --no-tests=error) || status=1
echo "== fuzz targets, a short run from their seeds"
bash "$ROOT/scripts/fuzz.sh" --smoke || status=1
for arch in "${RUNNABLE_ARCHES[@]}"; do
  use_arch "$arch"
  if ! claim_prefix; then
    echo "!! the ${arch}-bit Win32 tests did not run: their Wine prefix is not ready (see above)" >&2
    status=1
    continue
  fi
  echo "== Win32 tests under Wine, ${arch}-bit build"
  (cd "$BUILD_WIN" && ctest --output-on-failure --no-tests=error -j 1) || status=1
  end_leftover_programs || status=1
  echo "== the real ${arch}-bit program's list on the display"
  bash "$ROOT/tests/scripts/screen_test.sh" "$arch" || status=1
done
echo "== a short soak of the real program (64-bit build)"
bash "$ROOT/scripts/soak.sh" 300 || status=1
exit $status
