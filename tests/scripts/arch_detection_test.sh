#!/usr/bin/env bash
# The scripts' choice of Windows builds to run: both where the 32-bit loader
# starts, the 64-bit one alone (with the reason) where the kernel refuses it,
# none (a failure with the loader's status) where it fails otherwise.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/checks.sh"

# A file the kernel cannot execute stands for the 32-bit loader on a machine
# without 32-bit emulation: executing it fails with "Exec format error".
printf '\x7fELF\x01\x01\x01garbage' >"$scratch/loader32"
chmod +x "$scratch/loader32"

arches_with_loader() {
  TVX_WINE32_LOADER="$1" WINE32_UNAVAILABLE="${2:-}" bash -c 'source "$0/../../scripts/setup.sh"; find_runnable_arches && echo "${RUNNABLE_ARCHES[*]}|$WINE32_REASON"' "$here" 2>&1
}

result="$(arches_with_loader "$scratch/loader32")"
check "a loader the kernel refuses leaves the 64-bit build alone (got '$result')" test "${result%%|*}" = "64"
check "the reason names the loader's error (got '$result')" grep -q "loader32 --version: .*Exec format error" <<<"$result"

result="$(arches_with_loader "$scratch/missing")"
check "a missing loader fails with its status (got '$result')" grep -qz "^!! [^|]*missing --version: [^|]*(exit status 127)[^|]*$" <<<"$result"

result="$(arches_with_loader /bin/true)"
check "a loader that starts gives both builds (got '$result')" test "$result" = "32 64|"

result="$(arches_with_loader "$scratch/missing" "wine32:i386 could not be installed")"
check "a loader its package could not bring leaves the 64-bit build alone, saying so (got '$result')" \
  test "$result" = "64|wine32:i386 could not be installed"

finish_checks
