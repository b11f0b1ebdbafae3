# What the scripts' checks share, sourced: a scratch folder removed at exit,
# and the count of checks, "N passed, N failed" at the end.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
passed=0 failed=0
check() {  # check DESCRIPTION CONDITION...
  local description="$1"; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $description"; fi
}
finish_checks() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
