#!/bin/bash
# Times the whole run of Tessaly.exe under Wine on a big LF-only UTF-8 file
# (80-byte lines, one non-ASCII letter each) against its floor and against
# "cmd /c copy" of the same file in the same prefix, with sync before each.
# Notepad is a stand-in that only records its command line. The floor
# (floor.exe, of the same width) does the least that any run holding the
# converted text must: it reads the file, first touches every page of a
# text of the converted length, writes it to the temp folder and starts the
# same stand-in. Tessaly and the floor are timed side by side as process
# lifetimes seen from inside Wine (process_time.exe starts each and waits
# for it); the figure that counts is the median of the side-by-side ratios,
# with best against best beside it. Then phases.exe (the build's own, also
# with --exe) times the run's steps one by one on the same file, and prints
# them on stderr. Tessaly and the copy are also timed from the shell, which
# includes Wine starting the process. Also reports Tessaly's peak memory
# (the process's maximum resident set, which is what Windows calls the peak
# working set) and the minor page faults of Tessaly and the copy, as
# /usr/bin/time counts them on the Wine process.
#
#   scripts/bench-run.sh [--size-mib N | --size-kib N] [--runs R] [--exe FILE]
#
# (defaults: 100 MiB, 5 runs, the build's own Tessaly.exe; --exe measures
# another of the same width, an older build say, in the same harness.
# --size-kib measures a small file, where starting up is most of the run.)
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
size_kib=$((100 * 1024))
runs=5
other_exe=
while [ $# -gt 0 ]; do
  case "$1" in
    --size-mib) size_kib=$(($2 * 1024)); shift 2 ;;
    --size-kib) size_kib=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --exe) other_exe=$(realpath "$2"); shift 2 ;;
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
[ -f "$exe" ] && [ -f "$stand_in" ] && [ -f "$root/build/$build/bin/floor.exe" ] &&
  [ -f "$root/build/$build/bin/phases.exe" ] ||
  bash scripts/build.sh >/dev/null
exe=${other_exe:-$exe}

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
# 80 bytes a line: 77 ASCII digits, an a with diaeresis (two bytes of UTF-8)
# and the line feed.
line="$(printf '%077d' 0)$(printf '\303\244')"
head -c $((size_kib * 1024)) < <(yes "$line") >"$input"
bytes=$(stat -c %s "$input")
# The letter is one unit of UTF-16 for its two bytes, and each line feed
# gains a carriage return: the converted text has as many units as the
# file has bytes.
utf16_bytes=$(( bytes * 2 ))

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
timer="$root/build/$build/bin/process_time.exe"
floor="$root/build/$build/bin/floor.exe"
t_shell=() c_shell=() t_wine=() c_wine=() f_wine=() ratios=() peaks=()
t_faults=() c_faults=()
clean() {
  rm -f "$drive_c"/users/*/Temp/*Tessaly*.txt "$drive_c"/users/*/Temp/floor-*.txt \
    "$drive_c/bench/copy.txt" "$drive_c"/bench/records/*
  sync
}
# The editor starts after Tessaly has ended; wait for its record.
editor_started() {
  for _ in $(seq 100); do
    ls "$drive_c"/bench/records/*.cmdline >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "bench-run.sh: the editor was not started" >&2
  exit 1
}
tessaly=("$exe" 'C:\bench\input.txt')
copy=(cmd /c copy 'C:\bench\input.txt' 'C:\bench\copy.txt')
for _ in $(seq "$runs"); do
  clean
  /usr/bin/time -f '%e %M %R' -o "$work/tessaly.time" "$WINE" "${tessaly[@]}" \
    >"$work/tessaly.out" 2>&1
  read -r seconds peak_kib faults <"$work/tessaly.time"
  t_shell+=("$seconds") peaks+=("$peak_kib") t_faults+=("$faults")
  editor_started
  clean
  /usr/bin/time -f '%e %M %R' -o "$work/copy.time" "$WINE" "${copy[@]}" \
    >"$work/copy.out" 2>&1
  read -r seconds _ faults <"$work/copy.time"
  c_shell+=("$seconds") c_faults+=("$faults")
  clean
  tessaly_s=$("$WINE" "$timer" "${tessaly[@]}" 2>/dev/null | tail -n 1 | tr -d '\r')
  editor_started
  clean
  floor_s=$("$WINE" "$timer" "$floor" 'C:\bench\input.txt' 2>/dev/null | tail -n 1 | tr -d '\r')
  editor_started
  clean
  t_wine+=("$tessaly_s") f_wine+=("$floor_s")
  ratios+=("$(awk -v t="$tessaly_s" -v f="$floor_s" 'BEGIN { printf "%.3f", t / f }')")
  c_wine+=("$("$WINE" "$timer" "${copy[@]}" 2>/dev/null | tail -n 1 | tr -d '\r')")
done
clean
# Where the time goes: the build's steps timed one by one, in one process.
"$WINE" "$root/build/$build/bin/phases.exe" 'C:\bench\input.txt' 5 2>&1 |
  tr -d '\r' | sed 's/^/bench-run.sh: /' >&2
rm -f "$input"

m() { printf '%s\n' "$@" | median; }
least() { printf '%s\n' "$@" | sort -n | head -n 1; }
echo "bench-run.sh: Tessaly / floor in Wine, run by run: ${ratios[*]}" >&2
awk -v ts="$(m "${t_shell[@]}")" -v cs="$(m "${c_shell[@]}")" \
    -v tw="$(m "${t_wine[@]}")" -v cw="$(m "${c_wine[@]}")" \
    -v fr="$(m "${ratios[@]}")" -v tb="$(least "${t_wine[@]}")" \
    -v fb="$(least "${f_wine[@]}")" \
    -v tf="$(m "${t_faults[@]}")" -v cf="$(m "${c_faults[@]}")" \
    -v p="$(printf '%s\n' "${peaks[@]}" | sort -n | tail -n 1)" \
    -v u="$utf16_bytes" -v s="$size_kib" -v r="$runs" -v b="$bits" 'BEGIN {
  target = (1.1 * u + 16 * 1048576) / 1048576
  printf "{\"build\": \"%d-bit\", \"size_kib\": %d, \"runs\": %d, ", b, s, r
  printf "\"shell\": {\"tessaly_s\": %.3f, \"copy_s\": %.3f, \"ratio\": %.2f}, ", ts, cs, ts / cs
  printf "\"in_wine\": {\"tessaly_s\": %.3f, \"copy_s\": %.3f, \"ratio\": %.2f}, ", tw, cw, tw / cw
  printf "\"floor\": {\"median_ratio\": %.2f, \"tessaly_best_s\": %.3f, \"floor_best_s\": %.3f, \"best_ratio\": %.2f}, ", fr, tb, fb, tb / fb
  printf "\"minor_faults\": {\"tessaly\": %d, \"copy\": %d}, ", tf, cf
  printf "\"peak_mib\": %.1f, \"text_mib\": %.1f, \"peak_target_mib\": %.1f}\n", p / 1024, u / 1048576, target
}'
