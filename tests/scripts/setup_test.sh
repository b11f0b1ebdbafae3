#!/usr/bin/env bash
# The scripts' shared set-up where it meets what is not theirs: a user's folder
# given as the Wine prefix, an Xvfb that does not start, a checkout git will not
# list, a prefix another run holds. Each must fail, say why, and leave nothing
# behind.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
scripts="$here/../../scripts"
source "$here/checks.sh"
in_setup() {  # in_setup COMMANDS: runs them as the scripts do, after setup.sh ($0 is scripts/); prints status|output
  local output status=0
  output="$(timeout 60 bash -c 'set -euo pipefail; source "$0/setup.sh"; eval "$1"' "$scripts" "$1" 2>&1 </dev/null)" || status=$?
  printf '%s|%s' "$status" "$output"
}

# A prefix the user keeps elsewhere, named through TVX_WINEPREFIX32 (a loader
# that fails at once keeps a faulty prepare_prefix from making a prefix); its
# name's glob characters match a sibling prefix the scripts made.
user_prefix="$scratch/users-prefi[x]"
mkdir -p "$user_prefix/drive_c" "$scratch/users-prefix"
touch "$scratch/users-prefix/.tvx-ready-3"
echo "the user's" >"$user_prefix/drive_c/keep.txt"
result="$(TVX_WINEPREFIX32="$user_prefix" TVX_WINE32_LOADER=/bin/false in_setup 'use_arch 32; prepare_prefix')"
check "a user's prefix is refused (got '$result')" test "${result%%|*}" != 0
check "the refusal says why (got '$result')" grep -q "did not make it" <<<"$result"
check "the user's file is still there" grep -qs "the user's" "$user_prefix/drive_c/keep.txt"

# A step of the prefix's making that fails (this Wine makes no Fonts folder for
# the Marlett copy) leaves it without its ready mark, to be made again.
mkdir -p "$scratch/fake-wine"
printf '#!/bin/sh\ntouch "$WINEPREFIX/system.reg"\n' >"$scratch/fake-wine/wine"
printf '#!/bin/sh\nexit 0\n' >"$scratch/fake-wine/wineserver"
chmod +x "$scratch/fake-wine/"*
result="$(PATH="$scratch/fake-wine:$PATH" TVX_WINEPREFIX32="$scratch/new-prefix" TVX_WINE32_LOADER="$scratch/fake-wine/wine" \
  in_setup 'use_arch 32; claim_prefix')"
check "a failed step fails the claim (got '$result')" test "${result%%|*}" != 0
check "and writes no ready mark" test ! -e "$scratch/new-prefix/.tvx-ready-4"

# A prefix another run holds, until the file "holding" goes.
touch "$scratch/holding"
HOLDING="$scratch/holding" TVX_WINEPREFIX32="$scratch/held-prefix" \
  in_setup 'use_arch 32; lock_prefix; while [ -e "$HOLDING" ]; do sleep 0.1; done' >/dev/null &
for _ in {1..100}; do grep -qs '^pid' "$scratch/held-prefix.lock" && break; sleep 0.1; done
result="$(TVX_WINEPREFIX32="$scratch/held-prefix" TVX_WINE32_LOADER=/bin/false in_setup 'use_arch 32; claim_prefix')"
rm "$scratch/holding"
check "a prefix another run holds is refused, naming that run (got '$result')" \
  grep -q "another run holds the Wine prefix .*held-prefix: pid [0-9]*, " <<<"$result"
check "and left as it was" test ! -e "$scratch/held-prefix"
wait

# An Xvfb that fails at once.
mkdir -p "$scratch/bin" "$scratch/tmp"
printf '#!/bin/sh\necho "Fatal server error: no screens found" >&2\nexit 1\n' >"$scratch/bin/Xvfb"
chmod +x "$scratch/bin/Xvfb"
result="$(PATH="$scratch/bin:$PATH" TMPDIR="$scratch/tmp" in_setup 'start_xvfb')"
check "a failing Xvfb fails start_xvfb (got '$result')" test "${result%%|*}" != 0
check "the failure shows Xvfb's own words (got '$result')" grep -q "no screens found" <<<"$result"
check "nothing is left in the temporary folder" test -z "$(ls -A "$scratch/tmp")"

# A checkout git refuses to list.
result="$(GIT_DIR="$scratch/no-repository" in_setup 'bash "$0/format.sh" --check')"
check "the format check fails when git lists nothing (got '$result')" test "${result%%|*}" != 0
check "and says so (got '$result')" grep -q "git lists no project files" <<<"$result"

finish_checks
