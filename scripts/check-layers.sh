#!/bin/bash
# check-layers.sh [ROOT]: holds every production C++ file of the tree at
# ROOT (by default this repository) to its folder's place, so that the
# arrows between folders run one way:
#
#   main/      the entry point, on top: app/ and win32/ under it
#   app/       Main and the conversion; the platform only through services/
#   win32/     the services' Win32 implementations, on text/ and paths/
#   text/ paths/  the helpers' portable logic
#   services/  the interfaces, Text and ServiceError, at the bottom
#
# A file may include what its own folder and the folders listed for it
# hold, and the names in resources/. <windows.h> and the SDK headers that
# need it appear only in win32/ and main/. Prints each file that breaks a
# rule, and fails if any does.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
declare -A may_include=(
  [services]="services"
  [text]="text services"
  [paths]="paths services"
  [app]="app services"
  [win32]="win32 text paths services"
  [main]="main app win32 services"
)
windows_headers='windows|shlobj|sddl|accctrl|aclapi|winternl|winbase|winnt'
broken=0
for folder in "${!may_include[@]}"; do
  for file in "$root/$folder"/*.h "$root/$folder"/*.cpp; do
    [ -f "$file" ] || continue
    name=${file#"$root/"}
    while read -r included; do
      top=${included%%/*}
      [ "$top" = resources ] && continue
      [ "$included" != "$top" ] || { echo "$name: includes \"$included\", which names no folder"; broken=1; continue; }
      case " ${may_include[$folder]} " in
        *" $top "*) ;;
        *) echo "$name: includes \"$included\", from $top/, which $folder/ may not"; broken=1 ;;
      esac
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
    if [ "$folder" != win32 ] && [ "$folder" != main ] &&
        grep -Eq "^#include <($windows_headers)\.h>" "$file"; then
      echo "$name: includes a Windows header, which only win32/ and main/ may"
      broken=1
    fi
  done
done
[ "$broken" = 0 ] && echo "check-layers.sh: every file keeps to its folder's place"
exit "$broken"
