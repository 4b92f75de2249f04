#!/bin/sh
# Prepares what the Windows tests run in, under $1:
#   pristine/  a fresh 32-bit Wine prefix, tuned for tests, with Wine's own
#              Notepad;
#   stand-in/  a copy of it whose C:\windows\notepad.exe is $2, a program
#              that records how it was started;
#   display    the number of an Xvfb display started for the tests, whose
#              process id is in xvfb.pid.
set -eu
wine_dir=$1
stand_in=$2
mkdir -p "$wine_dir"
export WINEDEBUG=-all
unset DISPLAY

if [ ! -f "$wine_dir/pristine/system.reg" ]; then
  rm -rf "$wine_dir/pristine"
  # No Mono or Gecko: nothing here needs them, and their installers ask.
  WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX="$wine_dir/pristine" \
    WINEARCH=win32 wineboot -i
  # Xvfb has no window manager: unmanaged windows close without Wine's
  # two-second wait. A crash must not leave a dialog waiting.
  WINEPREFIX="$wine_dir/pristine" wine reg add 'HKCU\Software\Wine\X11 Driver' \
    /v Managed /d N /f
  WINEPREFIX="$wine_dir/pristine" wine reg add 'HKCU\Software\Wine\WineDbg' \
    /v ShowCrashDialog /t REG_DWORD /d 0 /f
  WINEPREFIX="$wine_dir/pristine" wineserver -w
fi

rm -rf "$wine_dir/stand-in"
cp -a "$wine_dir/pristine" "$wine_dir/stand-in"
cp "$stand_in" "$wine_dir/stand-in/drive_c/windows/notepad.exe"
# Without this Wine keeps starting its built-in Notepad.
WINEPREFIX="$wine_dir/stand-in" wine reg add 'HKCU\Software\Wine\DllOverrides' \
  /v notepad.exe /d native /f
WINEPREFIX="$wine_dir/stand-in" wineserver -w

"$(dirname "$0")/xvfb.sh" start "$wine_dir"
