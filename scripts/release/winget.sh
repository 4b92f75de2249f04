#!/bin/bash
# winget.sh DIR VERSION: submits the release's own winget manifests
# (DIR/winget/BrevinorProject.Brevinor/VERSION) to winget's community
# repository with wingetcreate, on a Windows runner. Skipped, with a
# notice, without the secret WINGET_CREATE_GITHUB_TOKEN (a classic token
# with public_repo). wingetcreate is downloaded from its release
# (WINGETCREATE_URL) and run only if its SHA-256 is WINGETCREATE_SHA256,
# the one the maintainers recorded.
set -euo pipefail
[ $# = 2 ] || { echo "usage: winget.sh DIR VERSION" >&2; exit 2; }
folder=$1/winget/BrevinorProject.Brevinor/$2
if [ -z "${WINGET_CREATE_GITHUB_TOKEN:-}" ]; then
  echo "::notice::winget: not submitted: no WINGET_CREATE_GITHUB_TOKEN secret"
  exit 0
fi
[ -d "$folder" ] || { echo "winget.sh: no manifests in $folder" >&2; exit 1; }
if [ -z "${WINGETCREATE_SHA256:-}" ]; then
  echo "winget.sh: WINGETCREATE_SHA256 is not set: wingetcreate is not run unchecked" >&2
  exit 1
fi
url=${WINGETCREATE_URL:-https://github.com/microsoft/winget-create/releases/download/v1.12.8.0/wingetcreate.exe}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
curl -fsSL -o "$work/wingetcreate.exe" "$url"
echo "$WINGETCREATE_SHA256  $work/wingetcreate.exe" | sha256sum -c --quiet - ||
  { echo "winget.sh: $url is not the wingetcreate recorded" >&2; exit 1; }
"$work/wingetcreate.exe" submit --token "$WINGET_CREATE_GITHUB_TOKEN" "$folder"
