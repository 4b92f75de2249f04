#!/bin/bash
# chocolatey-push.sh DIR VERSION: pushes the release's own Chocolatey
# package (DIR/brevinor.VERSION.nupkg) to Chocolatey's community
# repository, on a Windows runner, where its moderators take it up, once:
# PUBLISHED is publish.sh's word (now, or before, with this build's
# files), and nothing is pushed where that repository has VERSION
# already, approved or waiting for moderation, as after a rerun. Skipped,
# with a notice, without the secret CHOCOLATEY_API_KEY.
set -euo pipefail
[ $# = 2 ] || { echo "usage: chocolatey-push.sh DIR VERSION" >&2; exit 2; }
version=$2
package=$1/brevinor.$version.nupkg
case ${PUBLISHED:-} in
  now) echo "chocolatey-push.sh: $version was published by this run" ;;
  before) echo "chocolatey-push.sh: $version was published before, with this build's files" ;;
  *) echo "chocolatey-push.sh: PUBLISHED is '${PUBLISHED:-}', not now or before" >&2; exit 1 ;;
esac
if [ -z "${CHOCOLATEY_API_KEY:-}" ]; then
  echo "::notice::Chocolatey: not pushed: no CHOCOLATEY_API_KEY secret"
  exit 0
fi
[ -f "$package" ] || { echo "chocolatey-push.sh: no $package" >&2; exit 1; }
# The feed answers a package of one version, listed or not (a version
# waiting for moderation is unlisted), and 404 for one it does not have.
feed=https://community.chocolatey.org/api/v2
code=$(curl -s -o /dev/null -w '%{http_code}' "$feed/Packages(Id='brevinor',Version='$version')" || true)
case $code in
  200) echo "::notice::Chocolatey: not pushed: its community repository has brevinor $version"
    exit 0 ;;
  404) ;;
  *) echo "chocolatey-push.sh: cannot tell whether Chocolatey has brevinor $version (HTTP $code)" >&2
    exit 1 ;;
esac
choco push "$package" --source https://push.chocolatey.org/ --api-key "$CHOCOLATEY_API_KEY"
