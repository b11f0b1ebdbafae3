#!/usr/bin/env bash
# Installs what is missing, builds both builds and runs every test: the native
# tests (under AddressSanitizer and UndefinedBehaviorSanitizer) and the Win32
# tests under Wine on a private Xvfb.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

install_packages
build_all
prepare_prefix 2>/dev/null
start_xvfb
trap stop_xvfb EXIT

status=0
echo "== native tests"
(cd "$BUILD_NATIVE" && ctest --output-on-failure) || status=1
echo "== Win32 tests under Wine"
(cd "$BUILD_WIN" && ctest --output-on-failure -j 1) || status=1
exit $status
