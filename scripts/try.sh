#!/bin/bash
# Builds Tessaly.exe and opens a file in Notepad with it, under Wine: the
# bundled LF-only sample, or the file given. Without a display it runs
# inside Xvfb, saves a screenshot of the Notepad window and prints its path.
# Where this machine cannot run 32-bit programs (or TESSALY_WINE64_ONLY=1),
# the 64-bit build shows the file, under 64-bit Wine, and the script says so.
#   try.sh [FILE]     FILE through Tessaly (screenshot: notepad.png)
#   try.sh --readme   the release zip's README.txt, opened in Notepad as a
#                     user of the zip opens it (screenshot: user-guide.png)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/windows-way.sh
logs="$root/build/logs"
mkdir -p "$logs"

# step WHAT LOG COMMAND...: runs a step with its output in build/logs/LOG,
# saying when it starts and how long it took; if it fails, says what failed
# and where the log is, shows its end, stops.
step() {
  local what=$1 log="$logs/$2" started=$SECONDS
  shift 2
  echo "try.sh: $what (log: $log)"
  if ! "$@" >"$log" 2>&1; then
    echo "try.sh: $what failed after $((SECONDS - started)) s; the log is $log. It ends:" >&2
    tail -n 20 "$log" >&2
    exit 1
  fi
  echo "try.sh:   done in $((SECONDS - started)) s"
}

readme=false
if [ "${1:-}" = --readme ]; then
  readme=true
  shift
fi
file=$(realpath -e "${1:-samples/lf-only.txt}" 2>/dev/null) ||
  { echo "try.sh: there is no file ${1:-samples/lf-only.txt}" >&2; exit 1; }
step "Installing what is missing, from Debian's packages" install.log \
  bash scripts/build.sh --install-only
step "Building" build.log bash scripts/build.sh
if $readme; then
  step "Building the release" package.log \
    cmake --build --preset windows --target package
  mkdir -p "$root/build/readme"
  file="$root/build/readme/README.txt"
  python3 -c 'import sys, zipfile
sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read("README.txt"))' \
    "$(ls "$root"/build/windows/Tessaly-*-win32.zip)" >"$file"
fi

choose_windows_way
if [ "$WINDOWS_WAY" = both ]; then
  bits=32
  echo "try.sh: the 32-bit Tessaly.exe, under 32-bit Wine ($WINDOWS_WAY_WHY)."
else
  bits=64
  echo "try.sh: the 64-bit build, under 64-bit Wine; the 32-bit Tessaly.exe was built but is not run ($WINDOWS_WAY_WHY)."
fi
wine_env $bits
exe="$root/build/$([ $bits = 32 ] && echo windows || echo windows64)/bin/Tessaly.exe"
demo="$root/build/demo$bits"
export WINEPREFIX="$demo/prefix" WINEDEBUG=-all
mkdir -p "$demo"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  step "Making the Wine prefix $WINEPREFIX" wineboot$bits.log \
    env WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot -i
  # Xvfb has no window manager: unmanaged windows close without a wait.
  step "Setting up the Wine prefix $WINEPREFIX" prefix$bits.log \
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  wineserver -w
fi

# Wine's first program starts the desktop, on the display it finds then.
if [ -z "${DISPLAY:-}" ]; then
  step "Starting Xvfb" xvfb.log tests/wine/xvfb.sh start "$demo"
  trap 'wineserver -k 2>/dev/null; tests/wine/xvfb.sh stop "$demo"' EXIT
  export DISPLAY=":$(cat "$demo/display")"
  headless=true
else
  headless=false
fi
windows_file=$("$WINE" winepath -w "$file" 2>"$logs/winepath.log") ||
  { echo "try.sh: winepath could not name $file; see $logs/winepath.log" >&2; exit 1; }
if $readme; then
  step "Opening $file in Notepad" notepad$bits.log \
    "$WINE" start notepad.exe "$windows_file"
  shot_name=user-guide.png
else
  step "Running $exe" tessaly$bits.log "$WINE" "$exe" "$windows_file"
  shot_name=notepad.png
fi
if ! $headless; then
  echo "Notepad is open on $file$($readme || echo ", through a converted copy")"
  exit 0
fi
window=$(timeout 30 xdotool search --sync --onlyvisible --name 'Notepad' |
  head -n 1) || true
if [ -z "$window" ]; then
  echo "try.sh: no Notepad window appeared within 30 s; Tessaly's output is in $logs/tessaly$bits.log" >&2
  exit 1
fi
sleep 1  # Let it paint.
mkdir -p "$root/build/screenshots"
shot="$root/build/screenshots/$shot_name"
step "Taking the screenshot" screenshot.log import -window "$window" "$shot"
echo "$shot"
