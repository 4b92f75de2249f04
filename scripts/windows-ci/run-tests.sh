#!/bin/bash
# run-tests.sh FOLDER: runs, natively on a hosted Windows runner, the 32-bit
# test programs that the Linux job built (FOLDER holds them beside
# Tessaly.exe and the stand-in editor): the service tests, the message-box
# cases, the case with the system's own Notepad, and the checks that only
# Windows can make. Each is a row of the job's summary; a case that could
# not run says why. Exits non-zero if any failed.
set -uo pipefail
here=$(dirname "$0")
# shellcheck source=summary.sh
. "$here/summary.sh"

folder=${1:-}
if [ -z "$folder" ] || [ ! -f "$folder/tessaly_e2e_tests.exe" ]; then
  echo "usage: run-tests.sh FOLDER, where FOLDER holds tessaly_e2e_tests.exe" >&2
  exit 2
fi
logs=${RUNNER_TEMP:-${TMPDIR:-/tmp}}/tessaly-tests
mkdir -p "$logs"
failures=0

# run_group NAME PROGRAM FILTER: one GoogleTest run, one row, which says
# whether its cases passed, were skipped (and why) or failed.
run_group() {
  local name=$1 program=$2 filter=$3 status=0 outcome
  local log="$logs/${name//[^A-Za-z0-9]/-}.log"
  "$folder/$program" "--gtest_filter=$filter" >"$log" 2>&1 || status=$?
  outcome=$(gtest_outcome "$log" "$status")
  summary_row "$name" "$outcome"
  echo "$name: $outcome"
  case $outcome in
    failed*)
      failures=$((failures + 1))
      tr -d '\r' <"$log"
      ;;
  esac
}

summary_table "Tests on ${ImageOS:-this runner} (${RUNNER_NAME:-unnamed})"
# Left out: reading in a double-byte system code page, which needs a
# system locale of its own, and the planted link, which needs a Unix ln.
run_group "Service tests" tessaly_services_tests.exe \
  "-AnsiCodePageTest.*:ScratchFilePathTest.NeverFollowsALinkPlantedUnderItsName"
run_group "Message boxes and the run-time's report" tessaly_e2e_tests.exe \
  "MessageTest.*:RunTimeReportTest.*"
run_group "Notepad shows the lines, titled after the file" tessaly_e2e_tests.exe \
  "NotepadTest.*"
run_group "Access denied on reading ends in the report" tessaly_e2e_tests.exe \
  "WindowsOnlyTest.AnInputThatRefusesReadingEndsInTheReport"
run_group "A dangling symbolic link is not found" tessaly_e2e_tests.exe \
  "WindowsOnlyTest.ADanglingSymbolicLinkIsNotFound"
run_group "System32 from the 32-bit exe (Sysnative)" tessaly_e2e_tests.exe \
  "WindowsOnlyTest.The32BitExeReachesAFileOnlyInTheSystemFolder"
run_group "Files named as devices (nul.txt, lpt1.log) are shown" \
  tessaly_e2e_tests.exe "WindowsOnlyTest.FilesNamedAsDevicesAreShown"
run_group "The copy's owner and protected DACL" tessaly_e2e_tests.exe \
  "WindowsOnlyTest.ACopyIsTheUsersAlone"
run_group "Another owner's old copy is not swept" tessaly_e2e_tests.exe \
  "WindowsOnlyTest.AnotherOwnersOldCopyIsNotSwept"
run_group "Notepad comes to the front" tessaly_e2e_tests.exe \
  "WindowsOnlyTest.NotepadComesToTheFront"
[ "$failures" = 0 ]
