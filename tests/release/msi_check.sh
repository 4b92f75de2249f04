#!/bin/bash
# msi_check.sh SOURCE_DIR BUILD_DIR WINE_DIR WORK_DIR EXE64 checks the
# Windows Installer packages of the release in BUILD_DIR (the 32-bit build) as an
# administrator and a user meet them, under 64-bit Wine, whose msiexec
# installs x86 packages, so that it runs on every machine here:
#   - their tables, against the validation rules they are built to keep;
#   - per machine: an older version installed, then this one over it (one
#     entry left, nothing written into the profile), an older one refused,
#     then removed with nothing left;
#   - per user: marked as needing no elevation, refused with ALLUSERS=1,
#     installed into the user's programs folder and HKCU, then removed with
#     nothing left;
#   - signed with a throwaway CA's certificate made here: the exe in the zip
#     and both packages verify, a changed copy does not, the password is in
#     no output, and two signed builds are the same bytes.
#   - installed into another folder: found there by Add/Remove Programs'
#     InstallLocation and by App Paths, started by name from elsewhere
#     (where 32-bit programs cannot run here, as the 64-bit EXE64 put in
#     its place), and nothing of it left after removal;
#   - the next release, 1.0.1, built from the same sources by the cache
#     variable alone, installed over this one as a major upgrade.
# Each install starts from a copy of WINE_DIR's stand-in prefix, whose
# Notepad ends at once.
set -euo pipefail
source_dir=$1
build=$2
wine_dir=$3
work=$4
exe64=$5
. "$source_dir/tests/wine/wine-env.sh"
wine_env 64
export WINEDEBUG=-all
rm -rf "$work"
mkdir -p "$work"

# shellcheck source=../../scripts/checks.sh
. "$source_dir/scripts/checks.sh"
# The closing line comes also when the checks stop early, with the stop
# counted, so that the log says how far they got.
finish() {
  local status=$?
  if [ "$status" != 0 ] && [ "$failed" = 0 ]; then
    echo "FAILED: stopped early (exit $status)"
    failed=1
  fi
  checks_done "MSI checks" || true
}
trap finish EXIT
# stop WHAT LOG: a step that the rest needs failed.
stop() {
  echo "FAILED: $1"
  failed=$((failed + 1))
  cat "$2"
  exit 1
}
# msiexec's exit code, which reaches the shell cut to 8 bits: 1603 is 67.
# Each waits until the prefix is idle again, Windows Installer's service
# included, so that no install finds another one still running.
msiexec() {
  local code=0
  "$WINE" msiexec "$@" /qn >>"$work/msiexec.log" 2>&1 || code=$?
  wineserver -w
  echo "msiexec $* -> $code" >>"$work/msiexec.log"
  echo "$code"
}
windows_path() { "$WINE" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
# The data of a value (the key's default without NAME) in the 32-bit view.
reg_data() {
  local out
  if [ $# -gt 1 ]; then
    out=$("$WINE" reg query "$1" /v "$2" /reg:32 2>/dev/null)
  else
    out=$("$WINE" reg query "$1" /ve /reg:32 2>/dev/null)
  fi
  printf '%s\n' "$out" | tr -d '\r' |
    sed -n 's/^    .*    REG_[A-Z_]*    \{0,1\}//p' | head -n 1
}
no_key() { ! "$WINE" reg query "$1" /reg:32 >/dev/null 2>&1; }
same() { cmp -s "$1" "$2"; }
property() { msiinfo export "$1" Property | tr -d '\r' | sed -n "s/^$2\t//p"; }
tables() { python3 "$source_dir/tests/release/msi_tables.py" "$@"; }
# What the profile holds, its temp folder aside.
profile_files() { (cd "$user_dir" && find . -path ./Temp -prune -o -print | sort); }

# The release, and the same files packed as an older version.
cmake --build "$build" --target package >"$work/package.log" 2>&1 ||
  stop "the release builds" "$work/package.log"
msi=$(ls "$build"/Tessaly-*-win32.msi)
per_user_msi=$(ls "$build"/Tessaly-*-win32-peruser.msi)
files="$build/release-files"
version=$(property "$msi" ProductVersion)
"$source_dir/cmake/release.py" --msi-only --source-dir "$source_dir" \
  --out-dir "$work/older" --version 0.9.0 --exe "$files/Tessaly.exe" \
  --readme "$files/README.txt" --license "$files/LICENSE.txt" \
  --icon "$files/Tessaly.ico" --wxs "$source_dir/resources/tessaly.wxs" \
  >"$work/older.log" 2>&1 || stop "the older packages build" "$work/older.log"
older_msi=$(ls "$work"/older/Tessaly-*-win32.msi)
# The next release, from the same sources with the version set by the
# cache variable alone; a version that Windows Installer cannot order
# stops the configure step.
for bad in 1.0.0.1 256.0.0; do
  check "version $bad stops the configure step" bash -c "cd '$source_dir' &&
    ! cmake --preset windows -B '$work/bad' -DTESSALY_VERSION=$bad >'$work/bad.log' 2>&1 &&
    grep -q 'Windows Installer' '$work/bad.log'"
done
next="$work/next"
(cd "$source_dir" && cmake --preset windows -B "$next" -DTESSALY_VERSION=1.0.1 \
  -DBUILD_TESTING=OFF \
  -DTESSALY_RELEASE_URL=https://github.com/brevinor/tessaly/releases/download/v1.0.1 &&
  cmake --build "$next" --target package) >"$work/next.log" 2>&1 ||
  stop "release 1.0.1 builds" "$work/next.log"
next_msi=$next/Tessaly-1.0.1-win32.msi
check "1.0.1: its manifests and package check out as 1.0.1" \
  python3 "$source_dir/tests/release/manifests_check.py" "$source_dir" "$next" 1.0.1
{ cat "$next"/winget/*/*/*.yaml "$next"/scoop/*.json
  python3 -c 'import sys, zipfile; archive = zipfile.ZipFile(sys.argv[1])
for name in archive.namelist(): name.endswith(".msi") or print(archive.read(name).decode())' \
    "$next"/chocolatey/*.nupkg; } >"$work/next-texts"
check "1.0.1: its manifests' and package's texts name 1.0.1, never 1.0.0" test \
  "$(grep -c -E '(^|[^0-9.])1\.0\.0([^.0-9]|$)' "$work/next-texts"),$(grep -c -F '<version>1.0.1<' "$work/next-texts")" = 0,2
echo "Packages: $(basename "$msi") and $(basename "$per_user_msi"), version $version; older: 0.9.0"

exe_version=$version.0
check "tables, per machine: no profile folder, no HKCU value" tables nothing-per-user "$msi"
check "tables, per user: profile components kept by HKCU values" \
  tables profile-components-keyed-by-hkcu "$per_user_msi"
check "tables, per user: profile folders removed" tables profile-folders-removed "$per_user_msi"
check "tables, per user: ALLUSERS refused" tables refuses-allusers "$per_user_msi"
for package in "$msi" "$per_user_msi"; do
  check "tables, $(basename "$package"): GUIDs in upper case" tables guids-upper-case "$package"
  check "tables, $(basename "$package"): Tessaly.exe versioned $exe_version, no hash" \
    tables exe-versioned "$package" "$exe_version"
done

export WINEPREFIX="$work/prefix"
cp -a "$wine_dir/stand-in" "$WINEPREFIX"
drive_c="$WINEPREFIX/drive_c"
user_dir=$(ls -d "$drive_c"/users/* | grep -v -e /Public$ | head -n 1)
send_to="$user_dir/AppData/Roaming/Microsoft/Windows/SendTo/Brevinor.lnk"
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
verb='Software\Classes\SystemFileAssociations\text\shell\Brevinor'
state='HKCU\Software\Brevinor Project'
open_with='Software\Classes\Applications\Tessaly.exe'
app_path='Software\Microsoft\Windows\CurrentVersion\App Paths\Tessaly.exe'
for package in "$msi" "$per_user_msi"; do
  check "tables, $(basename "$package"): InstallLocation is the install folder" bash -c \
    "msiinfo export '$package' CustomAction | grep -q \$'^SetInstallLocation\t51\tARPINSTALLLOCATION\t\\[INSTALLFOLDER\\]' &&
     msiinfo export '$package' InstallExecuteSequence | grep -q \$'^SetInstallLocation\t\t1001'"
  check "tables, $(basename "$package"): every custom action is of type 51" test \
    "$(msiinfo export "$package" CustomAction | tail -n +4 | cut -f 2 | sort -u)" = 51
done
check "tables, per machine: its folder and Tessaly.exe locked for Administrators and SYSTEM" \
  tables folder-locked "$msi"
check "tables: Add/Remove Programs links only where the release URL gives them" test \
  "$(property "$msi" ARPHELPLINK)|$(property "$next_msi" ARPURLINFOABOUT) $(property "$next_msi" ARPHELPLINK) $(property "$next_msi" ARPURLUPDATEINFO)" = \
  "|https://github.com/brevinor/tessaly https://github.com/brevinor/tessaly/issues https://github.com/brevinor/tessaly/releases"
# Started by name, from C:\, with a file: 0 where Notepad was started.
printf 'a\nb\n' >"$work/lf.txt"
started() { "$WINE" start /wait /d 'C:\' Tessaly.exe "$(windows_path "$work/lf.txt")" >/dev/null 2>&1; echo $?; }

# Per machine: older, then this version over it.
folder="$drive_c/Program Files (x86)/Brevinor"
command="\"C:\\Program Files (x86)\\Brevinor\\Tessaly.exe\" \"%1\""
code=$(property "$msi" ProductCode)
profile_files >"$work/profile-before"
check "the older package installs" test "$(msiexec /i "$(windows_path "$older_msi")")" = 0
check "the older version is installed" test -f "$folder/Tessaly.exe"
check "this version installs over it" test "$(msiexec /i "$(windows_path "$msi")")" = 0
entries=$("$WINE" reg query "$uninstall" /s /reg:32 2>/dev/null | tr -d '\r' |
  grep -c 'DisplayName    REG_SZ    Brevinor$' || true)
check "one Add/Remove Programs entry after the upgrade ($entries)" test "$entries" = 1
check "Tessaly.exe is the one built" same "$folder/Tessaly.exe" "$files/Tessaly.exe"
check "README.txt is the guide" same "$folder/README.txt" "$files/README.txt"
check "LICENSE.txt is the licence" same "$folder/LICENSE.txt" "$files/LICENSE.txt"
check "THIRD-PARTY-NOTICES.txt is the notices" same "$folder/THIRD-PARTY-NOTICES.txt" "$files/THIRD-PARTY-NOTICES.txt"
check "the verb's text" test "$(reg_data "HKLM\\$verb")" = "Show in Notepad with Brevinor"
check "the verb's command" test "$(reg_data "HKLM\\$verb\\command")" = "$command"
check "Open with: its name" test "$(reg_data "HKLM\\$open_with" FriendlyAppName)" = Brevinor
check "Open with: .txt" "$WINE" reg query "HKLM\\$open_with\\SupportedTypes" /v .txt /reg:32
check "Open with: .log" "$WINE" reg query "HKLM\\$open_with\\SupportedTypes" /v .log /reg:32
check "Open with: the command" test "$(reg_data "HKLM\\$open_with\\shell\\open\\command")" = "$command"
profile_files >"$work/profile-after"
check "nothing written into the profile" same "$work/profile-before" "$work/profile-after"
check "no HKCU value" no_key "$state"
check "entry's name" test "$(reg_data "$uninstall\\$code" DisplayName)" = Brevinor
check "entry's publisher" test "$(reg_data "$uninstall\\$code" Publisher)" = "Brevinor Project"
check "entry's version" test "$(reg_data "$uninstall\\$code" DisplayVersion)" = "$version"
check "entry has no Modify button" test "$(reg_data "$uninstall\\$code" NoModify)" = 0x1
check "entry's icon is the program's" same "$drive_c/windows/Installer/$code/Tessaly.ico" "$files/Tessaly.ico"

check "the older package is refused over this one" test "$(msiexec /i "$(windows_path "$older_msi")")" = 67
check "this version stays" test "$(reg_data "$uninstall\\$code" DisplayVersion)" = "$version"
check "and its files" same "$folder/Tessaly.exe" "$files/Tessaly.exe"

check "it is removed by its product code, as the guide says" test "$(msiexec /x "$code")" = 0
check "no program folder left" test ! -e "$folder"
check "installed into a folder of the administrator's (INSTALLFOLDER)" \
  test "$(msiexec /i "$(windows_path "$msi")" 'INSTALLFOLDER=C:\Tools\Brevinor')" = 0
check "the verb runs it there" test "$(reg_data "HKLM\\$verb\\command")" = \
  '"C:\Tools\Brevinor\Tessaly.exe" "%1"'
check "its entry's InstallLocation is there" test "$(reg_data "$uninstall\\$code" InstallLocation)" = 'C:\Tools\Brevinor\'
check "App Paths finds it there" test "$(reg_data "HKLM\\$app_path")" = 'C:\Tools\Brevinor\Tessaly.exe'
wine_can_run_32 || cp "$exe64" "$drive_c/Tools/Brevinor/Tessaly.exe"
check "start Tessaly.exe FILE, from another folder, starts it" test "$(started)" = 0
# Wine finds the files by the folder remembered, not by where Windows
# Installer registered them.
check "and it is removed from there, folder and all" \
  test "$(msiexec /x "$code")" = 0 -a ! -e "$drive_c/Tools/Brevinor"
check "no verb left" no_key "HKLM\\$verb"
check "no Open with entry left" no_key "HKLM\\$open_with"
check "no App Paths entry left, and start Tessaly.exe finds nothing" \
  test "$(no_key "HKLM\\$app_path" && echo gone),$([ "$(started)" = 0 ] || echo failed)" = gone,failed
check "no Add/Remove Programs entry left" no_key "$uninstall\\$code"

# 0.9.0, 1.0.0 and 1.0.1, each a major upgrade of the one before, with
# product codes of its own: each goes into the folder of the one before,
# unless given another, and nothing stays in the folder it leaves.
next_code=$(property "$next_msi" ProductCode)
check "1.0.1 has new product codes" test "$next_code" != "$code" -a \
  "$(property "$next/Tessaly-1.0.1-win32-peruser.msi" ProductCode)" != \
  "$(property "$per_user_msi" ProductCode)"
check "0.9.0 installs into C:\Tools\Old" \
  test "$(msiexec /i "$(windows_path "$older_msi")" 'INSTALLFOLDER=C:\Tools\Old')" = 0
check "1.0.0 moves it to C:\Tools\Brevinor, leaving no C:\Tools\Old" test \
  "$(msiexec /i "$(windows_path "$msi")" 'INSTALLFOLDER=C:\Tools\Brevinor')" = 0 -a ! -e "$drive_c/Tools/Old"
check "1.0.1 installs over it, without INSTALLFOLDER" test "$(msiexec /i "$(windows_path "$next_msi")")" = 0
entries=$("$WINE" reg query "$uninstall" /s /reg:32 2>/dev/null | tr -d '\r' |
  grep -c 'DisplayName    REG_SZ    Brevinor$' || true)
check "one Add/Remove Programs entry after 1.0.1 ($entries)" test "$entries" = 1
check "the entry is 1.0.1's, in C:\Tools\Brevinor" test \
  "$(reg_data "$uninstall\\$next_code" DisplayVersion) $(reg_data "$uninstall\\$next_code" InstallLocation)" = \
  '1.0.1 C:\Tools\Brevinor\'
check "nothing of 1.0.0's entry left" no_key "$uninstall\\$code"
check "Tessaly.exe is 1.0.1's, in C:\Tools\Brevinor, and nothing in Program Files" bash -c \
  "cmp -s '$drive_c/Tools/Brevinor/Tessaly.exe' '$next/release-files/Tessaly.exe' &&
   test ! -e '$drive_c/Program Files (x86)/Brevinor'"
# The guide's msiexec /fomus sets REINSTALLMODE=omus; Wine's msiexec /f
# fails (exit 1), so the properties are given here.
check "the verb deleted, a repair writes it back, to C:\Tools\Brevinor" test \
  "$("$WINE" reg delete "HKLM\\$verb" /f /reg:32 >/dev/null 2>&1 && no_key "HKLM\\$verb" && echo deleted),$(msiexec \
  /i "$(windows_path "$next_msi")" REINSTALL=ALL REINSTALLMODE=omus),$(reg_data "HKLM\\$verb\\command")" = \
  'deleted,0,"C:\Tools\Brevinor\Tessaly.exe" "%1"'
check "1.0.1 is removed by its product code" test "$(msiexec /x "$next_code")" = 0
check "nothing left of any" test ! -e "$drive_c/Program Files (x86)/Brevinor" -a ! -e "$drive_c/Tools/Brevinor"

# Per user.
folder="$user_dir/AppData/Local/Programs/Brevinor"
code=$(property "$per_user_msi" ProductCode)
word_count=$(msiinfo suminfo "$per_user_msi" | sed -n 's/^Source: \([0-9]*\).*/\1/p')
check "per user: needs no elevation (Word Count $word_count)" test $((word_count & 8)) = 8
check "per user: no ALLUSERS" test -z "$(property "$per_user_msi" ALLUSERS)"
programs="$user_dir/AppData/Local/Programs"
[ ! -e "$programs" ] || programs=""  # Not ours to remove.
check "per user: ALLUSERS=1 is refused" \
  test "$(msiexec /i "$(windows_path "$per_user_msi")" ALLUSERS=1)" = 67
check "per user: refused, nothing installed" test ! -e "$folder"
check "per user: refused, no entry" no_key "$uninstall\\$code"
check "per user: refused, no HKLM verb" no_key "HKLM\\$verb"
check "per user: refused, no HKCU value" no_key "$state"
check "per user: it installs" test "$(msiexec /i "$(windows_path "$per_user_msi")")" = 0
check "per user: Tessaly.exe in the user's programs" same "$folder/Tessaly.exe" "$files/Tessaly.exe"
check "per user: the notices beside it" same "$folder/THIRD-PARTY-NOTICES.txt" "$files/THIRD-PARTY-NOTICES.txt"
check "per user: the verb under HKCU" test "$(reg_data "HKCU\\$verb")" = "Show in Notepad with Brevinor"
check "per user: Open with under HKCU" test "$(reg_data "HKCU\\$open_with" FriendlyAppName)" = Brevinor
check "per user: App Paths under HKCU" test "$(reg_data "HKCU\\$app_path")" = \
  "$(reg_data "HKCU\\$app_path" Path)Tessaly.exe"
check "per user: nothing under HKLM" no_key "HKLM\\$verb"
check "per user: Send To shortcut" grep -q -a -F 'Programs\Brevinor\Tessaly.exe' "$send_to"
check "per user: the program kept by an HKCU value" \
  test "$(reg_data "$state\\Brevinor" Program)" = 0x1
check "per user: entry's name" test "$(reg_data "$uninstall\\$code" DisplayName)" = Brevinor
check "per user: it is removed by its product code" test "$(msiexec /x "$code")" = 0
check "per user: no program folder left" test ! -e "$folder"
check "per user: no Send To shortcut left" test ! -e "$send_to"
check "per user: no verb left" no_key "HKCU\\$verb"
check "per user: no Open with entry left" no_key "HKCU\\$open_with"
check "per user: no App Paths entry left" no_key "HKCU\\$app_path"
check "per user: no entry left" no_key "$uninstall\\$code"
check "per user: no HKCU value left" no_key "$state"
[ -z "$programs" ] || check "per user: the Programs folder it made is gone" test ! -e "$programs"
"$WINE" wineboot -e >/dev/null 2>&1 || true
wineserver -k 2>/dev/null || true

# Signing, with a throwaway CA and code-signing certificate.
keys="$work/keys"
mkdir -p "$keys"
password="throwaway-$RANDOM-$RANDOM"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tessaly Test CA" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign \
  -keyout "$keys/ca.key" -out "$keys/ca.crt" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Tessaly Test Signer" \
  -keyout "$keys/signer.key" -out "$keys/signer.csr" 2>/dev/null
printf 'extendedKeyUsage=codeSigning\nkeyUsage=digitalSignature\n' >"$keys/ext"
openssl x509 -req -in "$keys/signer.csr" -CA "$keys/ca.crt" -CAkey "$keys/ca.key" \
  -CAcreateserial -days 2 -extfile "$keys/ext" -out "$keys/signer.crt" 2>/dev/null
openssl pkcs12 -export -inkey "$keys/signer.key" -in "$keys/signer.crt" \
  -certfile "$keys/ca.crt" -passout "pass:$password" -out "$keys/signer.p12"
for out in signed signed-again; do
  TESSALY_SIGN_PKCS12="$keys/signer.p12" TESSALY_SIGN_PASSWORD="$password" \
    "$source_dir/cmake/release.py" --source-dir "$source_dir" \
    --out-dir "$work/$out" --version "$version" --exe "$build/bin/Tessaly.exe" \
    --readme "$files/README.txt" --license "$files/LICENSE.txt" \
    --icon "$files/Tessaly.ico" --wxs "$source_dir/resources/tessaly.wxs" \
    >"$work/$out.log" 2>&1 || stop "a signed release builds ($out)" "$work/$out.log"
done
check "signing says so" grep -q "signing with" "$work/signed.log"
check "the password is in no output" bash -c "! grep -r -q -F '$password' '$work'/*.log"
signed=$work/signed
python3 -c 'import sys, zipfile; open(sys.argv[2], "wb").write(zipfile.ZipFile(sys.argv[1]).read("Tessaly.exe"))' \
  "$(ls "$signed"/Tessaly-*-win32.zip)" "$signed/zipped.exe"
for file in "$signed/zipped.exe" "$signed"/Tessaly-*-win32.msi "$signed"/Tessaly-*-win32-peruser.msi; do
  name=$(basename "$file")
  check "signed: $name verifies" osslsigncode verify -CAfile "$keys/ca.crt" -in "$file"
  cp "$file" "$work/tampered"
  size=$(stat -c %s "$work/tampered")
  printf 'X' | dd of="$work/tampered" bs=1 seek=$((size / 3)) conv=notrunc 2>/dev/null
  check "signed: a changed $name does not" bash -c "! osslsigncode verify -CAfile '$keys/ca.crt' -in '$work/tampered'"
done
check "signed: the msi holds the signed exe" bash -c \
  "msiextract -C '$work/extracted' '$(ls "$signed"/Tessaly-*-win32.msi)' >/dev/null &&
   cmp -s \"\$(find '$work/extracted' -name Tessaly.exe)\" '$signed/zipped.exe'"
for file in "$signed"/Tessaly-*; do
  check "signed twice: $(basename "$file") the same" same "$file" "$work/signed-again/$(basename "$file")"
done

[ "$failed" = 0 ] || cat "$work/msiexec.log"
[ "$failed" = 0 ]
