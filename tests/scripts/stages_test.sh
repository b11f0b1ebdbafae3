#!/usr/bin/env bash
# The stages of a long run: a stage past its limit is ended and reported; a
# run cancelled with TERM or INT ends the running stage with everything it
# started, runs its clean-up and still prints the time of each stage and the
# total.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/checks.sh"

# A run of two stages: a quick one, then one whose child sleeps until ended.
cat >"$scratch/run.sh" <<EOF
set -euo pipefail
source "$here/../../scripts/setup.sh"
trap_stage_signals
trap 'print_stage_times; touch "$scratch/cleaned-up"' EXIT
run_stage "quick stage" 60 true
run_stage "sleeping stage" 600 bash -c 'sleep 600 & echo \$! >"$scratch/child"; wait'
EOF

cancel_run() {  # cancel_run SIGNAL EXPECTED_STATUS
  rm -f "$scratch/child" "$scratch/cleaned-up"
  # A background job of a script starts with INT ignored: give it back.
  env --default-signal=INT bash "$scratch/run.sh" >"$scratch/output" 2>&1 &
  local run=$! status=0
  for _ in {1..100}; do [ -s "$scratch/child" ] && break; sleep 0.1; done
  kill "-$1" "$run"
  wait "$run" || status=$?
  local child
  child="$(cat "$scratch/child" 2>/dev/null)"
  check "SIG$1 ends the run with status $2 (got $status)" test "$status" = "$2"
  check "SIG$1 ends the stage's child" bash -c '[ -n "$0" ] && ! kill -0 "$0" 2>/dev/null' "$child"
  check "SIG$1 runs the clean-up" test -e "$scratch/cleaned-up"
  check "SIG$1 prints each stage's time ($(tr '\n' '/' <"$scratch/output"))" \
    bash -c 'grep -q " s  quick stage .*passed" "$0" && grep -q " s  sleeping stage .*CANCELLED" "$0" &&
             grep -q " s  in all" "$0"' "$scratch/output"
  [ -z "$child" ] || kill "$child" 2>/dev/null
}
cancel_run TERM 143
cancel_run INT 130

# A stage past its limit.
began=$SECONDS
output="$(bash -c 'source "$0/../../scripts/setup.sh"; run_stage "slow stage" 1 sleep 60; echo "status $?"; print_stage_times' \
  "$here" 2>&1)"
check "a stage past its limit is ended at it (took $((SECONDS - began)) s)" test $((SECONDS - began)) -lt 15
check "and fails with timeout's status (got '$output')" grep -q "^status 124$" <<<"$output"
check "and says so (got '$output')" grep -q 'stage "slow stage" did not end within its limit of 1 s' <<<"$output"
check "and its line says so (got '$output')" grep -q " s  slow stage .*ENDED at its limit of 1 s" <<<"$output"

# A failing stage is reported with its status, and the stage after it runs.
output="$(bash -c 'source "$0/../../scripts/setup.sh"; run_stage "failing stage" 60 bash -c "exit 3" || echo "status $?"
  run_stage "next stage" 60 true; print_stage_times' "$here" 2>&1)"
check "a failing stage gives its status (got '$output')" grep -q "^status 3$" <<<"$output"
check "and is listed as failed (got '$output')" grep -q " s  failing stage .*FAILED (exit status 3)" <<<"$output"
check "the next stage still runs (got '$output')" grep -q " s  next stage .*passed" <<<"$output"

# A stage's command is not a function of the calling shell: SETUP_SHELL runs
# code with setup.sh sourced and the arguments as $1...
output="$(bash -c 'source "$0/../../scripts/setup.sh"; run_stage "code" 60 "${SETUP_SHELL[@]}" "echo \"\$1 \$(type -t use_arch)\"" given' \
  "$here" 2>&1)"
check "SETUP_SHELL passes the arguments and has setup.sh's functions (got '$output')" grep -q "^given function$" <<<"$output"

finish_checks
