#!/bin/bash
# winget.sh DIR VERSION: submits the release's own winget manifests
# (DIR/winget/BrevinorProject.Brevinor/VERSION) to winget's community
# repository with wingetcreate, on a Windows runner, once: PUBLISHED is
# publish.sh's word (now, or before, with this build's files), and
# nothing is submitted where that repository has VERSION already, or an
# open pull request for it, as after a rerun. Skipped, with a notice,
# without the secret WINGET_CREATE_GITHUB_TOKEN (a classic token with
# public_repo), which wingetcreate reads from the environment. gh asks
# the repository, with GH_TOKEN. wingetcreate is downloaded from its
# release (WINGETCREATE_URL) and run only if its SHA-256 is
# WINGETCREATE_SHA256, the one the maintainers recorded.
set -euo pipefail
[ $# = 2 ] || { echo "usage: winget.sh DIR VERSION" >&2; exit 2; }
id=BrevinorProject.Brevinor version=$2
folder=$1/winget/$id/$version
case ${PUBLISHED:-} in
  now) echo "winget.sh: $version was published by this run" ;;
  before) echo "winget.sh: $version was published before, with this build's files" ;;
  *) echo "winget.sh: PUBLISHED is '${PUBLISHED:-}', not now or before" >&2; exit 1 ;;
esac
if [ -z "${WINGET_CREATE_GITHUB_TOKEN:-}" ]; then
  echo "::notice::winget: not submitted: no WINGET_CREATE_GITHUB_TOKEN secret"
  exit 0
fi
[ -d "$folder" ] || { echo "winget.sh: no manifests in $folder" >&2; exit 1; }
# The community repository keeps a version's manifests under
# manifests/<first letter>/<publisher>/<name>/<version>.
path=manifests/$(printf '%s' "${id:0:1}" | tr '[:upper:]' '[:lower:]')/${id//.//}/$version
if answer=$(gh api "repos/microsoft/winget-pkgs/contents/$path" --silent 2>&1); then
  has="has $id $version"
elif [[ $answer != *"HTTP 404"* ]]; then
  echo "winget.sh: cannot tell whether winget has $id $version: $answer" >&2
  exit 1
elif [ "$(gh pr list --repo microsoft/winget-pkgs --state open \
    --search "$id $version in:title" --json number --jq length)" != 0 ]; then
  has="has an open pull request for $id $version"
fi
if [ -n "${has:-}" ]; then
  echo "::notice::winget: not submitted: its community repository $has"
  exit 0
fi
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
"$work/wingetcreate.exe" submit --no-open --prtitle "New version: $id version $version" "$folder"
