#!/usr/bin/env bash
# The scripts' shared set-up where it meets what is not theirs: a user's folder
# given as the Wine prefix, an Xvfb that does not start, a checkout git will not
# list. Each must fail, say why, and leave nothing behind.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
scripts="$here/../../scripts"
source "$here/checks.sh"
in_setup() {  # in_setup COMMANDS: runs them as the scripts do, after setup.sh; prints status|output
  local output status=0
  output="$(timeout 60 bash -c "set -euo pipefail; source '$scripts/setup.sh'; $1" 2>&1 </dev/null)" || status=$?
  printf '%s|%s' "$status" "$output"
}

# A prefix the user keeps elsewhere, named through TVX_WINEPREFIX32 (a loader
# that fails at once keeps a faulty prepare_prefix from making a prefix).
mkdir -p "$scratch/users-prefix/drive_c"
echo "the user's" >"$scratch/users-prefix/drive_c/keep.txt"
result="$(TVX_WINEPREFIX32="$scratch/users-prefix" TVX_WINE32_LOADER=/bin/false in_setup 'use_arch 32; prepare_prefix')"
check "a user's prefix is refused (got '$result')" test "${result%%|*}" != 0
check "the refusal says why (got '$result')" grep -q "did not make it" <<<"$result"
check "the user's file is still there" grep -qs "the user's" "$scratch/users-prefix/drive_c/keep.txt"

# An Xvfb that fails at once.
mkdir -p "$scratch/bin" "$scratch/tmp"
printf '#!/bin/sh\necho "Fatal server error: no screens found" >&2\nexit 1\n' >"$scratch/bin/Xvfb"
chmod +x "$scratch/bin/Xvfb"
result="$(PATH="$scratch/bin:$PATH" TMPDIR="$scratch/tmp" in_setup 'start_xvfb')"
check "a failing Xvfb fails start_xvfb (got '$result')" test "${result%%|*}" != 0
check "the failure shows Xvfb's own words (got '$result')" grep -q "no screens found" <<<"$result"
check "nothing is left in the temporary folder" test -z "$(ls -A "$scratch/tmp")"

# A checkout git refuses to list.
result="$(GIT_DIR="$scratch/no-repository" in_setup "bash '$scripts/format.sh' --check")"
check "the format check fails when git lists nothing (got '$result')" test "${result%%|*}" != 0
check "and says so (got '$result')" grep -q "git lists no project files" <<<"$result"

finish_checks
