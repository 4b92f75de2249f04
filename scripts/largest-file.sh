#!/bin/bash
# Finds, by bisection, the largest LF-only ASCII file (80-byte lines) that
# the 32-bit Tessaly.exe opens under 32-bit Wine: the largest size for which
# it ends normally and starts the editor, rather than ending in the report.
# Needs a machine that runs 32-bit programs, and some GiB of disk.
#
#   scripts/largest-file.sh [--exe FILE] [--step-mib N]   (defaults: the
#   32-bit build's Tessaly.exe, 16 MiB)
#
# Prints each size tried and the result.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/windows-way.sh
exe="$root/build/windows/bin/Tessaly.exe"
step_mib=16
while [ $# -gt 0 ]; do
  case "$1" in
    --exe) exe=$(realpath "$2"); shift 2 ;;
    --step-mib) step_mib=$2; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
wine_can_run_32 || { echo "largest-file.sh: needs 32-bit Wine: $WINE32_FAILURE" >&2; exit 1; }
wine_env 32
stand_in="$root/build/windows/bin/stand_in_editor.exe"
[ -f "$exe" ] && [ -f "$stand_in" ] || bash scripts/build.sh >/dev/null

work="$root/build/largest-file"
tests/wine/setup.sh 32 "$work" "$stand_in" >/dev/null 2>&1
tests/wine/xvfb.sh stop "$work"
# Without a display the report's box returns at once: the exit status tells.
export WINEPREFIX="$work/stand-in" WINEDEBUG=-all LC_ALL=C.UTF-8
unset DISPLAY
drive_c="$WINEPREFIX/drive_c"
mkdir -p "$drive_c/big/records"
export TESSALY_RECORD_DIR='C:\big\records' TESSALY_RECORD_NO_COPY=1
trap 'wineserver -k 2>/dev/null || true; rm -f "$drive_c"/big/*.txt "$drive_c"/users/*/Temp/Tessaly-*.txt' EXIT

line=$(printf '%079d' 0)
# True when a file of $1 MiB (whole lines) opens.
opens() {
  local bytes=$(( $1 * 1048576 / 80 * 80 ))
  rm -f "$drive_c"/big/records/* "$drive_c"/users/*/Temp/Tessaly-*.txt
  head -c "$bytes" < <(yes "$line") >"$drive_c/big/input.txt"
  local status=0
  "$WINE" "$exe" 'C:\big\input.txt' >/dev/null 2>&1 || status=$?
  wineserver -w
  [ "$status" -eq 0 ] && ls "$drive_c"/big/records/*.cmdline >/dev/null 2>&1
}

low=0 high=2048  # 2 GiB and more are refused before reading.
while [ $(( high - low )) -gt "$step_mib" ]; do
  middle=$(( (low + high) / 2 / step_mib * step_mib ))
  if opens "$middle"; then low=$middle; result=opens; else high=$middle; result="ends in the report"; fi
  echo "$middle MiB: $result"
done
echo "largest file that opens: $low MiB (the next $step_mib MiB up does not), $(basename "$exe") at $exe"
