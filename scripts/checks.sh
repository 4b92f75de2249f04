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
  local name=$1 log
  shift
  if [ -n "${check_logs:-}" ]; then
    log="$check_logs/${name//[^A-Za-z0-9]/-}.log"
  else
    log=$(mktemp)
  fi
  if "$@" >"$log" 2>&1; then
    passed=$((passed + 1))
    ! declare -F check_row >/dev/null || check_row "$name" passed "$log"
  else
    failed=$((failed + 1))
    echo "FAILED: $name"
    tr -d '\r' <"$log" | tail -n 20 | sed 's/^/    /'
    ! declare -F check_row >/dev/null || check_row "$name" failed "$log"
  fi
  [ -n "${check_logs:-}" ] || rm -f "$log"
}

checks_done() {
  echo "$1: $passed passed, $failed failed"
  [ "$failed" = 0 ]
}
