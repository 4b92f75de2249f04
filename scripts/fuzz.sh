#!/bin/bash
# Builds the libFuzzer targets and runs each for a bounded time (seconds,
# default 15) from the seeds in tests/fuzz/seeds. New inputs go to a
# scratch folder, never into the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-15}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
status=0
for seeds in tests/fuzz/seeds/*/; do
  target=$(basename "$seeds")
  corpus=$(mktemp -d)
  echo "fuzzing $target for ${seconds}s"
  if ! (cd "$corpus" && "$OLDPWD/build/fuzz/bin/${target}_fuzzer" \
      -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 \
      "$corpus" "$OLDPWD/$seeds" 2>&1 | tail -n 12); then
    status=1
  fi
  # A crash leaves its input beside the corpus; keep it for the report.
  if ls "$corpus"/crash-* >/dev/null 2>&1; then
    echo "$target found a failing input: $(ls "$corpus"/crash-*)"
    status=1
  fi
done
exit $status
