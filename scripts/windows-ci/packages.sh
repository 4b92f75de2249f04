#!/bin/bash
# packages.sh FOLDER: the Windows Installer packages that the Linux job built
# (FOLDER holds Tessaly-*-win32.msi, Tessaly-*-win32-peruser.msi and, in
# older/, the same files packed as version 0.9.0), on a hosted Windows
# runner, as an administrator and as SYSTEM:
#   - ICE validation with WiX 3's smoke.exe, where the image has it (for
#     the per-user package, with ICE91 suppressed);
#   - per machine: the older version, this one over it, the older one
#     refused, removal, nothing left;
#   - per user: ALLUSERS=1 refused, installed, Send To, removal;
#   - per machine as SYSTEM, through a scheduled task, as Group Policy,
#     Intune or SCCM install it: nothing in any profile, and removal.
# Each check is a row of the job's summary. Exits non-zero if any failed.
set -uo pipefail
here=$(dirname "$0")
# shellcheck source=summary.sh
. "$here/summary.sh"
# shellcheck source=../checks.sh
. "$here/../checks.sh"
# Each check is a row.
check_row() { summary_row "$1" "$2"; }

# The first of the files given that is there.
first_file() {
  local file
  for file in "$@"; do
    [ -f "$file" ] && { echo "$file"; return; }
  done
}
folder=${1:-}
msi=$(first_file "$folder"/Tessaly-*-win32.msi)
per_user_msi=$(first_file "$folder"/Tessaly-*-win32-peruser.msi)
older_msi=$(first_file "$folder"/older/Tessaly-*-win32.msi)
if [ -z "$msi" ] || [ -z "$per_user_msi" ] || [ -z "$older_msi" ]; then
  echo "usage: packages.sh FOLDER, where FOLDER holds both packages and older/" >&2
  exit 2
fi
# msiexec's, reg's and schtasks' switches are not paths for Git Bash to
# rewrite.
export MSYS2_ARG_CONV_EXCL='*'
# The packages, and a verbose msiexec log per row in logs/, which the
# workflow uploads when the job fails.
work=${TESSALY_CI_WORK:-C:/tessaly-ci}
logs=$work/logs
rm -rf "$work"
mkdir -p "$logs"
cp "$msi" "$per_user_msi" "$work/"
cp "$older_msi" "$work/older.msi"
msi=$work/$(basename "$msi")
per_user_msi=$work/$(basename "$per_user_msi")
older_msi=$work/older.msi

win() { cygpath -w "$1"; }
# msiexec_run ROW ARGS...: runs msiexec quietly, with a verbose log named
# after the row in $log, and leaves its exit code in $code. Git Bash keeps
# only the low 8 bits of a Windows exit code: 1603 arrives as 67.
msiexec_run() {
  local name=${1//[^A-Za-z0-9]/-}
  while [[ $name == *--* ]]; do name=${name//--/-}; done
  log="$logs/$name.log"
  shift
  code=0
  msiexec "$@" /qn '/l*v' "$(win "$log")" || code=$?
}
# msiexec_row ROW installs|refuses ARGS...: one row, an msiexec call.
msiexec_row() { check "$1" "$2" "$1" "${@:3}"; }
# installs ROW ARGS...: msiexec succeeds.
installs() {
  msiexec_run "$@"
  [ "$code" = 0 ]
}
# refuses ROW ARGS...: msiexec fails with 1603, as the shell sees it, and
# its own log says so (the log may be UTF-16).
refuses() {
  msiexec_run "$@"
  [ "$code" = $((1603 % 256)) ] &&
    tr -d '\000' <"$log" | grep -qiE 'error status: 1603|return value 3'
}
no_key() { ! reg query "$1" /reg:32 >/dev/null 2>&1; }
entries() {
  reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s \
    /f Brevinor /d /reg:32 2>/dev/null | tr -d '\r' |
    grep -c 'DisplayName    REG_SZ    Brevinor$'
}
verb='Software\Classes\SystemFileAssociations\text\shell\Brevinor'
program_files=$(cygpath -u -F 42)  # CSIDL_PROGRAM_FILESX86
machine_folder="$program_files/Brevinor"
user_folder="$(cygpath -u "$LOCALAPPDATA")/Programs/Brevinor"
send_to="$(cygpath -u "$APPDATA")/Microsoft/Windows/SendTo/Brevinor.lnk"

summary_table "Packages on ${ImageOS:-this runner}"

# ICE validation needs the Windows Installer service; where smoke.exe
# cannot reach it (SMOK0217), the row says "not run".
smoke=""
[ -n "${WIX:-}" ] && smoke="$(cygpath -u "$WIX")bin/smoke.exe"
for package in "$msi" "$per_user_msi"; do
  name="ICE validation, $(basename "$package")"
  if [ -z "$smoke" ] || [ ! -f "$smoke" ]; then
    summary_row "$name" "not run: smoke.exe (WiX 3) is not on this image"
    continue
  fi
  # ICE91 warns of every file and shortcut in a per-user folder; Microsoft's
  # ICE91 page calls that harmless for a package that is only ever
  # installed per user, which the per-user one is (it refuses ALLUSERS).
  # Nothing else is suppressed, and nothing at all for the per-machine one.
  suppressed=()
  [ "$package" = "$per_user_msi" ] && suppressed=(-sice:ICE91)
  said=$("$smoke" -nologo -wx "${suppressed[@]}" "$(win "$package")" 2>&1)
  code=$?
  if [ "$code" = 0 ]; then
    summary_row "$name" passed
  elif grep -q 'SMOK0217' <<<"$said"; then
    # smoke.exe names ICE01 when it cannot run any ICE at all.
    summary_row "$name" "not run: the Installer service is not reachable: $(grep -m 1 SMOK0217 <<<"$said")"
  elif grep -q 'ICE[0-9][0-9]' <<<"$said"; then
    summary_row "$name" "failed: $(grep 'ICE[0-9][0-9]' <<<"$said")"
    failed=$((failed + 1))
  else
    summary_row "$name" "not run: smoke.exe exited $code: $(head -n 3 <<<"$said")"
  fi
  printf '%s\n' "$said"
done

# Per machine, as this job's administrator.
msiexec_row "per machine: the older version installs" installs /i "$(win "$older_msi")"
msiexec_row "per machine: this version installs over it" installs /i "$(win "$msi")"
check "per machine: one Add/Remove Programs entry" test "$(entries)" = 1
check "per machine: Tessaly.exe is the one built" cmp -s "$machine_folder/Tessaly.exe" "$folder/Tessaly.exe"
check "per machine: the verb under HKLM" reg query "HKLM\\$verb" /reg:32
check "per machine: no Send To shortcut" test ! -e "$send_to"
msiexec_row "per machine: the older version is refused" refuses /i "$(win "$older_msi")"
msiexec_row "per machine: removed" installs /x "$(win "$msi")"
check "per machine: no folder left" test ! -e "$machine_folder"
check "per machine: no verb left" no_key "HKLM\\$verb"
check "per machine: no entry left" test "$(entries)" = 0

# Per user.
msiexec_row "per user: ALLUSERS=1 is refused" refuses /i "$(win "$per_user_msi")" ALLUSERS=1
check "per user: refused, nothing installed" test ! -e "$user_folder"
msiexec_row "per user: installs" installs /i "$(win "$per_user_msi")"
check "per user: Tessaly.exe in the user's programs" cmp -s "$user_folder/Tessaly.exe" "$folder/Tessaly.exe"
check "per user: Send To shortcut" test -f "$send_to"
check "per user: the verb under HKCU" reg query "HKCU\\$verb"
msiexec_row "per user: removed" installs /x "$(win "$per_user_msi")"
check "per user: no folder left" test ! -e "$user_folder"
check "per user: no Send To shortcut left" test ! -e "$send_to"
check "per user: no HKCU values left" no_key 'HKCU\Software\Brevinor Project'

# as_system NAME COMMAND: runs COMMAND as SYSTEM through a scheduled task
# and prints the task's result, or "timeout".
as_system() {
  local task="TessalyCI-$1" result=267011 status
  schtasks /create /tn "$task" /ru SYSTEM /rl HIGHEST /sc once /st 23:59 \
    /tr "$2" /f >/dev/null
  schtasks /run /tn "$task" >/dev/null
  for _ in $(seq 1 180); do
    sleep 2
    status=$(schtasks /query /tn "$task" /fo LIST /v | tr -d '\r')
    result=$(sed -n 's/^Last Result: *//p' <<<"$status")
    # 267011: not run yet; 267009: still running.
    if ! grep -q '^Status: *Running' <<<"$status" &&
        [ "$result" != 267011 ] && [ "$result" != 267009 ]; then
      schtasks /delete /tn "$task" /f >/dev/null
      echo "$result"
      return
    fi
  done
  schtasks /delete /tn "$task" /f >/dev/null
  echo timeout
}
profiles_with_shortcut() {
  ls /c/Users/*/AppData/Roaming/Microsoft/Windows/SendTo/Brevinor.lnk \
    "$(cygpath -u "$WINDIR")"/System32/config/systemprofile/AppData/Roaming/Microsoft/Windows/SendTo/Brevinor.lnk \
    2>/dev/null
}
install_line="msiexec /i $(win "$msi") /qn /l*v $(win "$logs/as-SYSTEM-installs.log")"
remove_line="msiexec /x $(win "$msi") /qn /l*v $(win "$logs/as-SYSTEM-removed.log")"
check "as SYSTEM: installs" test "$(as_system install "$install_line")" = 0
check "as SYSTEM: Tessaly.exe in place" cmp -s "$machine_folder/Tessaly.exe" "$folder/Tessaly.exe"
check "as SYSTEM: nothing in any profile's Send To" test -z "$(profiles_with_shortcut)"
check "as SYSTEM: no value in SYSTEM's HKCU" no_key 'HKU\S-1-5-18\Software\Brevinor Project'
check "as SYSTEM: removed" test "$(as_system remove "$remove_line")" = 0
check "as SYSTEM: no folder left" test ! -e "$machine_folder"
check "as SYSTEM: no entry left" test "$(entries)" = 0
checks_done "Packages"
