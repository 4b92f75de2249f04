#!/bin/bash
# Builds Tessaly.exe and opens a file in Notepad with it, under Wine: the
# bundled LF-only sample, or the file given. Without a display it runs
# inside Xvfb, saves a screenshot of the Notepad window and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
file=$(realpath "${1:-samples/lf-only.txt}")
bash scripts/build.sh >/dev/null

demo="$root/build/demo"
export WINEPREFIX="$demo/prefix" WINEDEBUG=-all
mkdir -p "$demo"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32 wineboot -i 2>/dev/null
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
fi

if [ -n "${DISPLAY:-}" ]; then
  wine "$root/build/windows/bin/Tessaly.exe" "$(winepath -w "$file")"
  echo "Notepad is open on a converted copy of $file"
  exit 0
fi

tests/wine/xvfb.sh start "$demo"
trap 'WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null; tests/wine/xvfb.sh stop "$demo"' EXIT
export DISPLAY=":$(cat "$demo/display")"
wine "$root/build/windows/bin/Tessaly.exe" "$(winepath -w "$file")"
window=$(timeout 30 xdotool search --sync --onlyvisible --name 'Notepad' | head -n 1)
sleep 1  # Let it paint.
mkdir -p "$root/build/screenshots"
shot="$root/build/screenshots/notepad.png"
import -window "$window" "$shot"
echo "$shot"
