#!/bin/bash
# chocolatey.sh FOLDER: the Chocolatey package that the Linux job made
# (FOLDER holds chocolatey/brevinor.<version>.nupkg, and newer/chocolatey/
# the next version's, which gather.sh makes), on a hosted Windows runner
# where the image has Chocolatey, as the job's administrator:
#   - the community feed disabled, so that nothing is fetched from it;
#   - installed from the folder: the Add/Remove Programs entry,
#     Tessaly.exe, the tessaly shim starting that Tessaly.exe (as its
#     --shimgen-noop says), and choco list;
#   - upgraded to the next version: one entry, the shim still right;
#   - uninstalled by the package's own script (--skip-autouninstaller);
#   - nothing left: no entry, no files, no shim;
#   - installed again with --install-arguments INSTALLFOLDER=C:\Tools\Brevinor:
#     the shim starts Tessaly.exe there; uninstalled, nothing left.
# Each check is a row of the job's summary; its output, Chocolatey's log
# and the MSI logs (which its scripts write to %TEMP%, that is
# %TEMP%\chocolatey while Chocolatey runs them) go to logs/, which the
# workflow keeps when the job fails. Where the image has no Chocolatey,
# the rows say "not run". Exits non-zero if any row failed.
set -uo pipefail
here=$(dirname "$0")
# shellcheck source=summary.sh
. "$here/summary.sh"
# shellcheck source=../checks.sh
. "$here/../checks.sh"

folder=${1:-}
package=$(find "$folder/chocolatey" -maxdepth 1 -name 'brevinor.*.nupkg' \
  2>/dev/null | head -n 1)
if [ -z "$folder" ] || [ -z "$package" ]; then
  echo "usage: chocolatey.sh FOLDER, where FOLDER holds chocolatey/brevinor.<version>.nupkg" >&2
  exit 2
fi
export MSYS2_ARG_CONV_EXCL='*'
logs=${TESSALY_CI_WORK:-C:/tessaly-ci}/logs
mkdir -p "$logs"
version=${package##*/brevinor.}
version=${version%.nupkg}
newer=$(find "$folder/newer/chocolatey" -maxdepth 1 -name 'brevinor.*.nupkg' \
  2>/dev/null | head -n 1)
newer_version=${newer##*/brevinor.}
newer_version=${newer_version%.nupkg}
choco_root=$(cygpath -u "${ChocolateyInstall:-C:\\ProgramData\\chocolatey}")
shim="$choco_root/bin/tessaly.exe"
exe="$(cygpath -u -F 42)/Brevinor/Tessaly.exe"  # CSIDL_PROGRAM_FILESX86

custom='C:\Tools\Brevinor'
rows=("the community feed is disabled" "installs from the folder"
  "one Add/Remove Programs entry" "Tessaly.exe in Program Files"
  "the tessaly shim starts that Tessaly.exe" "choco list finds brevinor $version"
  "upgrades to ${newer_version:-the next version}: one entry, the shim still right"
  "uninstalls by its own script" "no entry left" "no files left"
  "no shim left" "installs into INSTALLFOLDER=$custom: the shim starts Tessaly.exe there"
  "uninstalls from there: no entry, no shim")
summary_table "Chocolatey on ${ImageOS:-this runner}"
if ! command -v choco >/dev/null; then
  for row in "${rows[@]}"; do
    summary_row "$row" "not run: Chocolatey is not on this image"
  done
  exit 0
fi

# Each check is a row, a failed one with the end of its output, which
# stays in logs/chocolatey/.
check_logs=$logs/chocolatey
mkdir -p "$check_logs"
check_row() {
  if [ "$2" = passed ]; then
    summary_row "$1" passed
  else
    summary_row "$1" "failed: $(tr -d '\r' <"$3" | tail -n 3)"
  fi
}
entries() {
  reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s \
    /f Brevinor /d /reg:32 2>/dev/null | tr -d '\r' |
    grep -c 'DisplayName    REG_SZ    Brevinor$'
}
listed() { choco list --exact brevinor | tr -d '\r' | grep -qx "brevinor $version"; }
# The shim starts TARGET (a Windows path), which is there.
shim_starts() {
  local said
  said=$("$shim" --shimgen-noop 2>&1 | tr -d '\r')
  echo "$said"
  grep -qiF "$1" <<<"$said" && test -f "$(cygpath -u "$1")"
}
upgraded() {
  choco upgrade brevinor --source "$(cygpath -w "$folder/newer/chocolatey")" \
    -y --no-progress && test "$(entries)" = 1 && shim_starts "$(cygpath -w "$exe")"
}

check "${rows[0]}" choco source disable -n=chocolatey
check "${rows[1]}" choco install brevinor --source "$(cygpath -w "$folder/chocolatey")" \
  -y --no-progress
check "${rows[2]}" test "$(entries)" = 1
check "${rows[3]}" cmp "$exe" "$folder/Tessaly.exe"
check "${rows[4]}" shim_starts "$(cygpath -w "$exe")"
check "${rows[5]}" listed
if [ -n "$newer" ]; then
  check "${rows[6]}" upgraded
else
  summary_row "${rows[6]}" "not run: no newer package was gathered"
fi
check "${rows[7]}" choco uninstall brevinor -y --no-progress --skip-autouninstaller
check "${rows[8]}" test "$(entries)" = 0
check "${rows[9]}" test ! -e "$exe"
check "${rows[10]}" test ! -e "$shim"
check "${rows[11]}" bash -c "choco install brevinor --source '$(cygpath -w "$folder/chocolatey")' \
  -y --no-progress --install-arguments 'INSTALLFOLDER=$custom' && $(declare -f shim_starts) &&
  shim='$shim' shim_starts '$custom\Tessaly.exe'"
check "${rows[12]}" bash -c "choco uninstall brevinor -y --no-progress --skip-autouninstaller &&
  $(declare -f entries) && test \$(entries) = 0 && test ! -e '$shim'"

cp "$choco_root/logs/chocolatey.log" "$logs/" 2>/dev/null
temp=$(cygpath -u "${TEMP:-/tmp}")
cp "$temp"/chocolatey/brevinor.*.log "$temp"/brevinor.*.log "$logs/" 2>/dev/null
checks_done "Chocolatey"
