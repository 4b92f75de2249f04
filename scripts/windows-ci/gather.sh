#!/bin/bash
# gather.sh BUILD OUT: after the Linux job's build and tests, puts into OUT
# what the hosted Windows jobs run: from the 32-bit build in BUILD,
# Tessaly.exe with the test programs and the stand-in editor beside it, the
# release (zip, both packages, bill of materials, SHA256SUMS, and the
# winget and Scoop manifests and the Chocolatey package where they were
# made), and in
# OUT/older the packages of the same files as version 0.9.0, for the
# upgrade and downgrade checks.
set -euo pipefail
build=${1:-}
out=${2:-}
if [ -z "$build" ] || [ -z "$out" ] || [ ! -f "$build/bin/Tessaly.exe" ]; then
  echo "usage: gather.sh BUILD OUT, where BUILD is the built 32-bit build folder" >&2
  exit 2
fi
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$out"
for program in Tessaly tessaly_services_tests tessaly_e2e_tests \
    stand_in_editor file_churner; do
  cp "$build/bin/$program.exe" "$out/"
done
cp "$build"/Tessaly-*-win32.zip "$build"/Tessaly-*-win32.msi \
  "$build"/Tessaly-*-win32-peruser.msi "$build"/Tessaly-*-win32.cdx.json \
  "$build/SHA256SUMS" "$out/"
# The package managers' manifests and package, where a release URL was
# known.
for manifests in winget scoop chocolatey; do
  [ ! -d "$build/$manifests" ] || cp -r "$build/$manifests" "$out/"
done
files="$build/release-files"
python3 "$source_dir/cmake/release.py" --msi-only --source-dir "$source_dir" \
  --out-dir "$out/older" --version 0.9.0 --exe "$files/Tessaly.exe" \
  --readme "$files/README.txt" --license "$files/LICENSE.txt" \
  --icon "$files/Tessaly.ico" --wxs "$source_dir/resources/tessaly.wxs" >/dev/null
rm -rf "$out/older/release-files"
ls "$out" "$out/older"
