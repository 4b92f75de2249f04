#!/bin/sh
# setup.sh BITS DIR STAND_IN prepares what the Windows tests of one build
# (BITS: 32 or 64) run in, under DIR:
#   pristine/  a fresh Wine prefix of that width, tuned for tests, with
#              Wine's own Notepad;
#   stand-in/  a copy of it whose C:\windows\notepad.exe is STAND_IN, a
#              program that records how it was started;
#   display    the number of an Xvfb display started for the tests, whose
#              process id is in xvfb.pid.
set -eu
. "$(dirname "$0")/wine-env.sh"
wine_env "$1"
wine_dir=$2
stand_in=$3
mkdir -p "$wine_dir"
export WINEDEBUG=-all
unset DISPLAY

# A 64-bit prefix made while 32-bit Wine could not start has no 32-bit
# system, and 32-bit programs fail in it ("could not load kernel32.dll").
# Make it again once they run here.
prefix_lacks_32_bit() {
  [ "$1" = 64 ] && wine_can_run_32 &&
    [ ! -f "$wine_dir/pristine/drive_c/windows/syswow64/kernel32.dll" ]
}

if [ ! -f "$wine_dir/pristine/system.reg" ] || prefix_lacks_32_bit "$1"; then
  # Made aside and moved in whole: a prefix whose making was cut short
  # (by ctest's time limit, say) would update itself in the first test,
  # which then counts an extra process.
  made="$wine_dir/pristine.making"
  rm -rf "$wine_dir/pristine" "$made"
  # No Mono or Gecko: nothing here needs them, and their installers ask.
  WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX="$made" "$WINE" wineboot -i
  # Xvfb has no window manager: unmanaged windows close without Wine's
  # two-second wait. A crash must not leave a dialog waiting.
  WINEPREFIX="$made" "$WINE" reg add \
    'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  WINEPREFIX="$made" "$WINE" reg add 'HKCU\Software\Wine\WineDbg' \
    /v ShowCrashDialog /t REG_DWORD /d 0 /f
  WINEPREFIX="$made" wineserver -w
  mv "$made" "$wine_dir/pristine"
fi

rm -rf "$wine_dir/stand-in"
cp -a "$wine_dir/pristine" "$wine_dir/stand-in"
cp "$stand_in" "$wine_dir/stand-in/drive_c/windows/notepad.exe"
# Without this Wine keeps starting its built-in Notepad.
WINEPREFIX="$wine_dir/stand-in" "$WINE" reg add \
  'HKCU\Software\Wine\DllOverrides' /v notepad.exe /d native /f
WINEPREFIX="$wine_dir/stand-in" wineserver -w

"$(dirname "$0")/xvfb.sh" start "$wine_dir"
