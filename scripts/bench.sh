#!/bin/bash
# Runs the benchmarks and draws the chart for docs/performance.md.
#
#   scripts/bench.sh          full runs: repetitions, 100 MiB, chart
#   scripts/bench.sh --brief  one short pass of each, as CI runs them; the
#                             timings are printed, not judged
set -euo pipefail
cd "$(dirname "$0")/.."
brief=false
[ "${1:-}" = "--brief" ] && brief=true

cmake --preset bench >/dev/null
cmake --build --preset bench
bench=build/bench/bin/convert_line_endings_bench
out=build/bench/convert_line_endings.json

if $brief; then
  "$bench" --benchmark_min_time=0.001 --benchmark_filter='/(80|8|1|0)/'
  bash scripts/bench-run.sh --size-mib 8 --runs 1
  exit 0
fi

"$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_out="$out" --benchmark_out_format=json
bash scripts/bench-run.sh --size-mib 100 --runs 5 | tee build/bench/whole_run.json

command -v gnuplot >/dev/null || apt-get install -y -q gnuplot-nox >/dev/null
python3 scripts/plot_throughput.py "$out" build/bench/throughput.dat
gnuplot -e "data='build/bench/throughput.dat'; out='docs/images/throughput.png'" \
  scripts/throughput.gnuplot
echo "chart: docs/images/throughput.png"
