# shellcheck shell=bash
# Sourced by the scripts of the hosted Windows jobs: a table per step in the
# job's summary ($GITHUB_STEP_SUMMARY, or standard output elsewhere), a row
# per check. A check that could not run says so and why; none passes
# silently.

summary_file() { printf '%s' "${GITHUB_STEP_SUMMARY:-/dev/stdout}"; }

# summary_write FORMAT ARGS...: to the summary and, where
# TESSALY_CI_SUMMARY names a file, to that too, which the workflow keeps
# with the logs.
summary_write() {
  # shellcheck disable=SC2059  # The format is the callers'.
  printf "$@" >>"$(summary_file)"
  if [ -n "${TESSALY_CI_SUMMARY:-}" ]; then
    mkdir -p "$(dirname "$TESSALY_CI_SUMMARY")"
    # shellcheck disable=SC2059
    printf "$@" >>"$TESSALY_CI_SUMMARY"
  fi
}

# summary_table TITLE
summary_table() {
  summary_write '\n### %s\n\n| Check | Result |\n|---|---|\n' "$1"
}

# summary_row CHECK RESULT: RESULT begins "passed", "failed", "skipped" or
# "not run", and may say more after a colon. It becomes one table cell.
summary_row() {
  local result=${2//$'\r'/}
  result=${result//$'\n'/ }
  result=${result//|/\\|}
  summary_write '| %s | %s |\n' "$1" "$result"
}

# gtest_outcome LOG STATUS: how a GoogleTest run whose output is in LOG and
# whose exit status was STATUS ended: "passed", "failed", "failed: no test
# ran" or "skipped: <the reason the test gave>".
gtest_outcome() {
  local log=$1 status=$2 text
  text=$(tr -d '\r' <"$log")
  if [ "$status" != 0 ]; then
    echo failed
  elif grep -q '^\[  SKIPPED \]' <<<"$text"; then
    printf 'skipped: %s\n' "$(sed -n '/: Skipped$/{n;p;}' <<<"$text" |
      sort -u | paste -s -d ' ')"
  elif grep -q '^\[  PASSED  \] [1-9]' <<<"$text"; then
    echo passed
  else
    echo "failed: no test ran"
  fi
}
