#!/bin/bash
# build.sh REPOSITORY TAG OUT [STAGE]: builds the release of TAG for GitHub's
# REPOSITORY (OWNER/NAME), whose files are published under
# https://github.com/REPOSITORY/releases/download/TAG, in build/release, and
# copies into OUT what is published (the files SHA256SUMS names, and
# SHA256SUMS) and the package managers' manifests (winget/, scoop/). With
# STAGE, only that stage of cmake/release.py (files, packages or rest), for
# a signer elsewhere; OUT is filled after rest. Signs where
# TESSALY_SIGN_PASSWORD and TESSALY_SIGN_PKCS12 (a file) or
# TESSALY_SIGN_PKCS12_BASE64 (its bytes, as a secret holds them) are set.
set -euo pipefail
[ $# = 3 ] || [ $# = 4 ] || { echo "usage: build.sh REPOSITORY TAG OUT [STAGE]" >&2; exit 2; }
repository=$1 tag=$2 out=$(realpath -m "$3")
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
echo "build.sh: the release of $tag in $out"
