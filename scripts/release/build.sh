#!/bin/bash
# build.sh REPOSITORY TAG OUT [STAGE]: builds the release of TAG for GitHub's
# REPOSITORY (OWNER/NAME), whose files are published under
# https://github.com/REPOSITORY/releases/download/TAG, in build/release, and
# copies into OUT what is published: the files SHA256SUMS names,
# SHA256SUMS, and beside them the package managers' manifests, Scoop's
# brevinor.json and winget's folder as Tessaly-VERSION-winget-manifests.zip.
# OUT also gets the manifests' folders (winget/, scoop/), which are not
# published. With STAGE, only that stage of cmake/release.py (files,
# packages or rest), for a signer elsewhere; OUT is filled after rest.
# Signs where TESSALY_SIGN_PASSWORD and TESSALY_SIGN_PKCS12 (a file) or
# TESSALY_SIGN_PKCS12_BASE64 (its bytes, as a secret holds them) are set.
# With TESSALY_FIRST_RELEASE, the folder of this release as built before,
# unsigned, the Tessaly.exe built here must be the one in that release's
# zip, or nothing is packed or signed.
set -euo pipefail
[ $# = 3 ] || [ $# = 4 ] || { echo "usage: build.sh REPOSITORY TAG OUT [STAGE]" >&2; exit 2; }
repository=$1 tag=$2 out=$(realpath -m "$3")
first=${TESSALY_FIRST_RELEASE:+$(realpath -m "$TESSALY_FIRST_RELEASE")}
cd "$(dirname "$0")/../.."
# A certificate given as a secret, in base64: a file only for this build.
if [ -n "${TESSALY_SIGN_PKCS12_BASE64:-}" ]; then
  TESSALY_SIGN_PKCS12=$(mktemp --suffix=.p12)
  trap 'rm -f "$TESSALY_SIGN_PKCS12"' EXIT
  printf '%s' "$TESSALY_SIGN_PKCS12_BASE64" | base64 -d >"$TESSALY_SIGN_PKCS12"
  export TESSALY_SIGN_PKCS12
fi
# A build folder of its own, so that a developer's build/windows keeps its
# tests and settings.
build=build/release
cmake --preset windows -B "$build" -DBUILD_TESTING=OFF \
  -DTESSALY_RELEASE_URL="https://github.com/$repository/releases/download/$tag" >/dev/null
if [ -n "$first" ]; then
  cmake --build "$build" --target Tessaly
  zip=$(find "$first" -maxdepth 1 -name 'Tessaly-*-win32.zip' -print -quit 2>/dev/null || true)
  [ -n "$zip" ] || { echo "build.sh: no release zip in $first" >&2; exit 1; }
  if ! python3 -c 'import sys, zipfile
sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read("Tessaly.exe"))' "$zip" |
      cmp -s - "$build/bin/Tessaly.exe"; then
    echo "::error::build.sh: the Tessaly.exe built here is not the one in $zip," \
      "which was compared and tested; nothing is packed or signed" >&2
    exit 1
  fi
  echo "build.sh: Tessaly.exe is the one in $zip, byte for byte"
fi
TESSALY_RELEASE_STAGE=${4:-all} cmake --build "$build" --target package
[ -z "${4:-}" ] || [ "$4" = rest ] || exit 0
rm -rf "$out"
mkdir -p "$out"
cut -d' ' -f3 "$build/SHA256SUMS" | while read -r name; do
  cp "$(find "$build" -maxdepth 2 -name "$name" -print -quit)" "$out/"
done
cp "$build/SHA256SUMS" "$out/"
(cd "$out" && sha256sum -c --quiet SHA256SUMS)
cp -r "$build/winget" "$build/scoop" "$out/"
cp "$build/scoop/brevinor.json" "$out/"
# winget's folder as one file, with the paths the README installs from;
# its entries in name order, each as release_support.py makes every zip
# entry of the release, at the earliest time a zip holds, so that every
# build gives the same bytes.
python3 - "$out" "$out/Tessaly-${tag#v}-winget-manifests.zip" <<'PYTHON'
import os, sys
sys.path.insert(0, "cmake")
from release_support import ZIP_EPOCH, write_zip, zip_entry
out, target = sys.argv[1:]
names = sorted(os.path.relpath(os.path.join(folder, name), out)
               for folder, _, files in os.walk(os.path.join(out, "winget"))
               for name in files)
entries = []
for name in names:
    with open(os.path.join(out, name), "rb") as file:
        entries.append((zip_entry(name.replace(os.sep, "/"), ZIP_EPOCH),
                        file.read()))
write_zip(target, entries)
PYTHON
echo "build.sh: the release of $tag in $out"
