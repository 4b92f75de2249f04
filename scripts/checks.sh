# shellcheck shell=bash
# Sourced by the scripts that run checks, here and on the hosted Windows
# jobs. check NAME COMMAND... runs COMMAND with its output kept aside and
# counts it as passed or failed; a failure prints "FAILED: NAME" and the
# end of that output. Where the sourcing script sets check_logs to a
# folder, each check's output stays there, in a file named after it; where
# it defines check_row NAME RESULT LOG, each check is given to it too,
# RESULT "passed" or "failed" (the Windows jobs' summary rows).
# checks_done LABEL prints "LABEL: N passed, N failed", and fails when any
# check failed.
passed=0
failed=0

check() {
  # Named so as not to shadow what the checked commands set: bash's locals
  # are seen by the functions called.
  local check_name=$1 check_output
  shift
  if [ -n "${check_logs:-}" ]; then
    check_output="$check_logs/${check_name//[^A-Za-z0-9]/-}.log"
  else
    check_output=$(mktemp)
  fi
  if "$@" >"$check_output" 2>&1; then
    passed=$((passed + 1))
    ! declare -F check_row >/dev/null ||
      check_row "$check_name" passed "$check_output"
  else
    failed=$((failed + 1))
    echo "FAILED: $check_name"
    tr -d '\r' <"$check_output" | tail -n 20 | sed 's/^/    /'
    ! declare -F check_row >/dev/null ||
      check_row "$check_name" failed "$check_output"
  fi
  [ -n "${check_logs:-}" ] || rm -f "$check_output"
}

checks_done() {
  echo "$1: $passed passed, $failed failed"
  [ "$failed" = 0 ]
}
