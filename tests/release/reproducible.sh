#!/bin/bash
# reproducible.sh SOURCE_DIR WORK_DIR: builds the release twice, from two
# fresh copies of the sources in folders of different names and lengths,
# one after the other, for a release URL, and checks that Tessaly.exe, the
# zip, the two Windows Installer packages, the bill of materials,
# SHA256SUMS, the Chocolatey package and the winget and Scoop manifests
# are the same bytes and that no build folder's path is in the exe.
set -euo pipefail
source_dir=$1
work=$2
rm -rf "$work"
# The time the zip's entries carry: the commit's, the same for both.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct)
  export SOURCE_DATE_EPOCH
fi

folders=("$work/a" "$work/second-build-in-a-longer-folder")
for folder in "${folders[@]}"; do
  mkdir -p "$folder/src"
  # The files of the repository as they are in the work tree, new ones too.
  (cd "$source_dir" &&
    git ls-files -z --cached --others --exclude-standard |
    tar --null -T - --ignore-failed-read -cf - 2>/dev/null) |
    tar -xf - -C "$folder/src"
  (cd "$folder/src" &&
    cmake --preset windows -DBUILD_TESTING=OFF \
      -DTESSALY_RELEASE_URL=https://github.com/brevinor/tessaly/releases/download/v1.0.0 \
      >"$folder/configure.log" 2>&1 &&
    cmake --build --preset windows --target package >"$folder/build.log" 2>&1) ||
    { echo "the build in $folder failed:"; tail -n 30 "$folder"/*.log; exit 1; }
done

status=0
for file in bin/Tessaly.exe Tessaly-*-win32.zip Tessaly-*-win32.msi \
    Tessaly-*-win32-peruser.msi Tessaly-*-win32.cdx.json SHA256SUMS \
    chocolatey/brevinor.*.nupkg winget/*/*/*.installer.yaml scoop/brevinor.json; do
  first=(${folders[0]}/src/build/windows/$file)
  second=(${folders[1]}/src/build/windows/$file)
  echo "$(sha256sum "${first[0]}" | cut -d' ' -f1)  $file (first build)"
  echo "$(sha256sum "${second[0]}" | cut -d' ' -f1)  $file (second build)"
  cmp "${first[0]}" "${second[0]}" || status=1
done
for folder in "${folders[@]}"; do
  if grep -q -a -F "$folder" "$folder/src/build/windows/bin/Tessaly.exe"; then
    echo "Tessaly.exe names its build folder $folder"
    status=1
  fi
done
exit $status
