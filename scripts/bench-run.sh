#!/bin/bash
# Times the whole run of Tessaly.exe under Wine on a big LF-only UTF-8 file
# (80-byte lines) against "cmd /c copy" of the same file in the same prefix,
# median of several runs, with sync before each. Notepad is a stand-in that
# only records its command line. Each is timed twice: from the shell, which
# includes Wine starting the process, and as a process lifetime seen from
# inside Wine (process_time.exe starts it and waits for it). Also reports
# Tessaly's peak memory (the process's maximum resident set, which is what
# Windows calls the peak working set) and the minor page faults of both, as
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
[ -f "$exe" ] && [ -f "$stand_in" ] || bash scripts/build.sh >/dev/null
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
line=$(printf '%079d' 0)
head -c $((size_kib * 1024)) < <(yes "$line") >"$input"
lines=$(( size_kib * 1024 / 80 ))
bytes=$(stat -c %s "$input")
utf16_bytes=$(( (bytes + lines) * 2 ))

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
timer="$root/build/$build/bin/process_time.exe"
t_shell=() c_shell=() t_wine=() c_wine=() peaks=() t_faults=() c_faults=()
clean() { rm -f "$drive_c"/users/*/Temp/Tessaly-*.txt "$drive_c/bench/copy.txt" "$drive_c"/bench/records/*; sync; }
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
  t_wine+=("$("$WINE" "$timer" "${tessaly[@]}" 2>/dev/null | tail -n 1 | tr -d '\r')")
  editor_started
  clean
  c_wine+=("$("$WINE" "$timer" "${copy[@]}" 2>/dev/null | tail -n 1 | tr -d '\r')")
done
clean
rm -f "$input"

m() { printf '%s\n' "$@" | median; }
awk -v ts="$(m "${t_shell[@]}")" -v cs="$(m "${c_shell[@]}")" \
    -v tw="$(m "${t_wine[@]}")" -v cw="$(m "${c_wine[@]}")" \
    -v tf="$(m "${t_faults[@]}")" -v cf="$(m "${c_faults[@]}")" \
    -v p="$(printf '%s\n' "${peaks[@]}" | sort -n | tail -n 1)" \
    -v u="$utf16_bytes" -v s="$size_kib" -v r="$runs" -v b="$bits" 'BEGIN {
  target = (1.1 * u + 16 * 1048576) / 1048576
  printf "{\"build\": \"%d-bit\", \"size_kib\": %d, \"runs\": %d, ", b, s, r
  printf "\"shell\": {\"tessaly_s\": %.3f, \"copy_s\": %.3f, \"ratio\": %.2f}, ", ts, cs, ts / cs
  printf "\"in_wine\": {\"tessaly_s\": %.3f, \"copy_s\": %.3f, \"ratio\": %.2f}, ", tw, cw, tw / cw
  printf "\"minor_faults\": {\"tessaly\": %d, \"copy\": %d}, ", tf, cf
  printf "\"peak_mib\": %.1f, \"text_mib\": %.1f, \"peak_target_mib\": %.1f}\n", p / 1024, u / 1048576, target
}'
