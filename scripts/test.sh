#!/bin/bash
# Builds everything and runs every test: the core natively (also under
# AddressSanitizer and UndefinedBehaviorSanitizer), short fuzzing runs, the
# Win32 services and Tessaly.exe itself under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
status=0
ctest --preset native || status=1
ctest --preset native-sanitized || status=1
bash scripts/fuzz.sh 15 || status=1
# The benchmarks are built and run once, briefly; their timings are not
# judged here.
bash scripts/bench.sh --brief || status=1
ctest --preset windows || status=1
exit $status
