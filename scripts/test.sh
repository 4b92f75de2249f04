#!/bin/bash
# Checks that every file carries its licence (reuse lint), builds
# everything and runs every test: the core natively (also under
# AddressSanitizer and UndefinedBehaviorSanitizer), short fuzzing runs, a
# brief benchmark pass, and the Win32 services and Tessaly.exe itself under
# Wine: of both builds where 32-bit programs run, of the 64-bit build alone
# where they don't (or when TESSALY_WINE64_ONLY=1). Either way the shipped
# 32-bit Tessaly.exe and zip are checked as files.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/windows-way.sh
bash scripts/build.sh
status=0
# Every file of the repository says under which licence it is.
reuse lint --quiet || { reuse lint | tail -n 20; status=1; }
# Each folder keeps to its place, and the check sees a file that does not.
bash scripts/check-layers.sh || status=1
bash tests/check_layers_test.sh || status=1
ctest --preset native || status=1
ctest --preset native-sanitized || status=1
bash scripts/fuzz.sh 15 || status=1
# The benchmarks are built and run once, briefly; their timings are not
# judged here.
bash scripts/bench.sh --brief || status=1

choose_windows_way
if [ "$WINDOWS_WAY" = both ]; then
  echo "Windows tests: the 32-bit and the 64-bit build, each under its own Wine ($WINDOWS_WAY_WHY)."
  ctest --preset windows || status=1
else
  echo "Windows tests: the 64-bit build only, under 64-bit Wine; the 32-bit Tessaly.exe was built but is not run ($WINDOWS_WAY_WHY)."
fi
ctest --preset windows64 || status=1
# The hosted Windows workflow, as far as Linux can check it; it gathers the
# release that the package test built.
bash tests/ci/windows_ci_test.sh build/windows || status=1
# The release workflow's scripts, against stand-ins; it builds the release
# in build/release. No Wine.
bash tests/ci/release_test.sh || status=1
# The release, built twice from fresh copies: the same bytes. No Wine.
ctest --preset release || status=1
exit $status
