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
# The SDK's headers: <windows.h> and those that stand on it (win*.h,
# sh*.h, ole*.h, obj*.h, *api.h, sddl.h, ...), in any case.
sdk='(windows|win[a-z0-9_]*|sh[a-z]*|ole[a-z0-9]*|obj[a-z]*|[a-z0-9]*api|sddl|accctrl|commctrl|tlhelp32|ws2[a-z]*|rpc[a-z]*|ntstatus)\.h'
include='^[[:space:]]*#[[:space:]]*include[[:space:]]*'
broken=0
for folder in "${!may_include[@]}"; do
  [ -d "$root/$folder" ] || continue
  while IFS= read -r -d '' file; do
    name=${file#"$root/"}
    while read -r included; do
      top=${included%%/*}
      [ "$top" = resources ] && continue
      [ "$included" != "$top" ] || { echo "$name: includes \"$included\", which names no folder"; broken=1; continue; }
      case " ${may_include[$folder]} " in
        *" $top "*) ;;
        *) echo "$name: includes \"$included\", from $top/, which $folder/ may not"; broken=1 ;;
      esac
    done < <(sed -n "s/$include\"\\([^\"]*\\)\".*/\\1/p" "$file")
    if [ "$folder" != win32 ] && [ "$folder" != main ] &&
        grep -Eiq "$include<$sdk>" "$file"; then
      echo "$name: includes a Windows header, which only win32/ and main/ may"
      broken=1
    fi
  done < <(find "$root/$folder" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.cc' \) -print0)
done
[ "$broken" = 0 ] && echo "check-layers.sh: every file keeps to its folder's place"
exit "$broken"
