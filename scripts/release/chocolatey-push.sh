#!/bin/bash
# chocolatey-push.sh DIR: pushes the release's own Chocolatey package
# (DIR/brevinor.*.nupkg) to Chocolatey's community repository, on a
# Windows runner, where its moderators take it up. Skipped, with a notice,
# without the secret CHOCOLATEY_API_KEY.
set -euo pipefail
[ $# = 1 ] || { echo "usage: chocolatey-push.sh DIR" >&2; exit 2; }
if [ -z "${CHOCOLATEY_API_KEY:-}" ]; then
  echo "::notice::Chocolatey: not pushed: no CHOCOLATEY_API_KEY secret"
  exit 0
fi
packages=("$1"/brevinor.*.nupkg)
[ -f "${packages[0]}" ] || { echo "chocolatey-push.sh: no package in $1" >&2; exit 1; }
choco push "${packages[0]}" --source https://push.chocolatey.org/ \
  --api-key "$CHOCOLATEY_API_KEY"
