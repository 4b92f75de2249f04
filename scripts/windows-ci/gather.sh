#!/bin/bash
# gather.sh BUILD OUT: after the Linux job's build and tests, puts into OUT
# what the hosted Windows jobs run: from the 32-bit build in BUILD,
# Tessaly.exe with the test programs and the stand-in editor beside it, the
# release (zip, both packages, bill of materials, SHA256SUMS, and the
# winget and Scoop manifests and the Chocolatey package where they were
# made), in OUT/older the packages of the same files as version 0.9.0,
# for the upgrade and downgrade checks, and where there is a Chocolatey
# package, in OUT/newer/chocolatey the same package as the next patch
# version, for Chocolatey's upgrade.
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
"$source_dir/cmake/release.py" --msi-only --source-dir "$source_dir" \
  --out-dir "$out/older" --version 0.9.0 --exe "$files/Tessaly.exe" \
  --readme "$files/README.txt" --license "$files/LICENSE.txt" \
  --icon "$files/Tessaly.ico" --wxs "$source_dir/resources/tessaly.wxs" >/dev/null
rm -rf "$out/older/release-files"
for package in "$build"/chocolatey/brevinor.*.nupkg; do
  [ -f "$package" ] || continue
  version=${package##*/brevinor.}
  version=${version%.nupkg}
  next=${version%.*}.$((${version##*.} + 1))
  url=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["url"].rsplit("/", 1)[0])' \
    "$build/scoop/brevinor.json")
  "$source_dir/cmake/release.py" --source-dir "$source_dir" \
    --out-dir "$out/newer" --version "$next" --exe "$files/Tessaly.exe" \
    --readme "$source_dir/docs/user-guide.txt" --license "$files/LICENSE.txt" \
    --icon "$files/Tessaly.ico" --wxs "$source_dir/resources/tessaly.wxs" \
    --release-url "${url//$version/$next}" >/dev/null
  find "$out/newer" -mindepth 1 -maxdepth 1 ! -name chocolatey -exec rm -rf {} +
done
ls "$out" "$out/older"
