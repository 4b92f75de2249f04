#!/bin/bash
# Times the whole run of Tessaly.exe under Wine on a big LF-only UTF-8 file
# (80-byte lines) against "cmd /c copy" of the same file in the same prefix,
# each as a process lifetime, median of several runs, with sync before each.
# Notepad is a stand-in that only records its command line. Also reports
# Tessaly's peak memory (the process's maximum resident set, which is what
# Windows calls the peak working set).
#
#   scripts/bench-run.sh [--size-mib N] [--runs R]    (defaults: 100, 5)
#
# It measures the 32-bit build, the one that ships, where this machine runs
# 32-bit programs, and the 64-bit build where it does not (or with
# TESSALY_WINE64_ONLY=1); it says which on stderr and in the JSON.
#
# Prints one line of JSON with the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/windows-way.sh
size_mib=100
runs=5
while [ $# -gt 0 ]; do
  case "$1" in
    --size-mib) size_mib=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
command -v /usr/bin/time >/dev/null || apt-get install -y -q time >/dev/null

choose_windows_way
if [ "$WINDOWS_WAY" = both ]; then bits=32 build=windows; else bits=64 build=windows64; fi
echo "bench-run.sh: measuring the $bits-bit build ($WINDOWS_WAY_WHY)" >&2
wine_env $bits
exe="$root/build/$build/bin/Tessaly.exe"
stand_in="$root/build/$build/bin/stand_in_editor.exe"
[ -f "$exe" ] && [ -f "$stand_in" ] || bash scripts/build.sh >/dev/null

work="$root/build/bench-run$bits"
tests/wine/setup.sh $bits "$work" "$stand_in" >/dev/null 2>&1
tests/wine/xvfb.sh stop "$work"
export WINEPREFIX="$work/stand-in" WINEDEBUG=-all LC_ALL=C.UTF-8
unset DISPLAY
drive_c="$WINEPREFIX/drive_c"
mkdir -p "$drive_c/bench/records"
export TESSALY_RECORD_DIR='C:\bench\records' TESSALY_RECORD_NO_COPY=1
WINEPREFIX="$WINEPREFIX" wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT

input="$drive_c/bench/input.txt"
line=$(printf '%079d' 0)
head -c $((size_mib * 1024 * 1024)) < <(yes "$line") >"$input"
lines=$(( size_mib * 1024 * 1024 / 80 ))
bytes=$(stat -c %s "$input")
utf16_bytes=$(( (bytes + lines) * 2 ))

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
tessaly_times=() copy_times=() peaks=()
for _ in $(seq "$runs"); do
  rm -f "$drive_c"/users/*/Temp/Tessaly-*.txt "$drive_c/bench/copy.txt"
  rm -f "$drive_c"/bench/records/*
  sync
  /usr/bin/time -f '%e %M' -o "$work/tessaly.time" \
    "$WINE" "$exe" 'C:\bench\input.txt' >"$work/tessaly.out" 2>&1
  read -r seconds peak_kib <"$work/tessaly.time"
  tessaly_times+=("$seconds") peaks+=("$peak_kib")
  sync
  /usr/bin/time -f '%e' -o "$work/copy.time" \
    "$WINE" cmd /c copy 'C:\bench\input.txt' 'C:\bench\copy.txt' >"$work/copy.out" 2>&1
  copy_times+=("$(cat "$work/copy.time")")
  ls "$drive_c"/bench/records/*.cmdline >/dev/null  # The editor was started.
done
rm -f "$drive_c"/users/*/Temp/Tessaly-*.txt "$drive_c/bench/copy.txt" "$input"

tessaly=$(printf '%s\n' "${tessaly_times[@]}" | median)
copy=$(printf '%s\n' "${copy_times[@]}" | median)
peak_kib=$(printf '%s\n' "${peaks[@]}" | sort -n | tail -n 1)
awk -v t="$tessaly" -v c="$copy" -v p="$peak_kib" -v u="$utf16_bytes" \
    -v s="$size_mib" -v r="$runs" -v b="$bits" 'BEGIN {
  limit = (1.7 * u + 32 * 1048576) / 1048576
  printf "{\"build\": \"%d-bit\", \"size_mib\": %d, \"runs\": %d, ", b, s, r
  printf "\"tessaly_s\": %.3f, \"copy_s\": %.3f, ", t, c
  printf "\"ratio\": %.2f, \"peak_mib\": %.1f, \"utf16_mib\": %.1f, \"peak_limit_mib\": %.1f}\n", t / c, p / 1024, u / 1048576, limit
}'
