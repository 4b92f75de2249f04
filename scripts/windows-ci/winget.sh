#!/bin/bash
# winget.sh FOLDER: the winget manifests that the Linux job made (FOLDER
# holds winget/<identifier>/<version>/ beside both packages), on a hosted
# Windows runner where the image has winget:
#   - winget validate on the folder;
#   - for each scope, an install from the manifest, with the packages
#     served from a local HTTP server, winget list by the product code, and
#     the uninstall.
# Each check is a row of the job's summary. Where winget is missing, every
# row says "not run"; where it refuses local manifests, the install rows
# say so with winget's words, and validate is still judged. Every command
# that opens a source accepts its agreements: the images never ran winget,
# so the msstore source's was never accepted, and without it list and
# uninstall fail. Exits non-zero if any row failed.
set -uo pipefail
here=$(dirname "$0")
# shellcheck source=summary.sh
. "$here/summary.sh"

folder=${1:-}
manifest=$(find "$folder/winget" -mindepth 2 -maxdepth 2 -type d 2>/dev/null |
  head -n 1)
if [ -z "$folder" ] || [ -z "$manifest" ]; then
  echo "usage: winget.sh FOLDER, where FOLDER holds winget/<identifier>/<version>/" >&2
  exit 2
fi
export MSYS2_ARG_CONV_EXCL='*'
work=${TESSALY_CI_WORK:-C:/tessaly-ci}/winget
logs=${TESSALY_CI_WORK:-C:/tessaly-ci}/logs
mkdir -p "$work" "$logs"
failures=0
scopes=(machine user)

summary_table "winget on ${ImageOS:-this runner}"
# not_run WHY: every install row as not run; then the end, failing if any
# row written before failed.
not_run() {
  for scope in "${scopes[@]}"; do
    summary_row "winget install, list and uninstall, $scope scope" "not run: $1"
  done
  exit $((failures > 0))
}
# row NAME LOG COMMAND...: one row, winget's output in LOG.
row() {
  local name=$1 log=$2
  shift 2
  if "$@" >"$log" 2>&1; then
    summary_row "$name" passed
  else
    summary_row "$name" "failed: $(tr -d '\r' <"$log" | tail -n 3)"
    failures=$((failures + 1))
  fi
}

if ! command -v winget >/dev/null; then
  summary_row "winget validate" "not run: winget is not on this image"
  not_run "winget is not on this image"
fi
# Local manifests are refused unless an administrator allows them. Asked
# before any row is written, so that validate has one row whatever the
# answer.
refused=""
said=$(winget settings --enable LocalManifestFiles 2>&1) ||
  refused="winget refuses local manifests: $(tr -d '\r' <<<"$said" | tail -n 2)"
row "winget validate" "$logs/winget-validate.log" \
  winget validate --manifest "$(cygpath -w "$manifest")"
[ -z "$refused" ] || not_run "$refused"

# The same manifest, with the packages served from this runner.
port=8765
python -m http.server "$port" --bind 127.0.0.1 --directory "$folder" \
  >"$logs/http-server.log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null' EXIT
rm -rf "$work/manifest"
cp -r "$manifest" "$work/manifest"
sed -i "s|InstallerUrl: '.*/|InstallerUrl: 'http://127.0.0.1:$port/|" \
  "$work"/manifest/*.installer.yaml
sleep 2

# The product code of a scope's installer entry.
product_code() {
  awk -v scope="'$1'" '$1 == "Scope:" { mine = $2 == scope }
    mine && $1 == "ProductCode:" { gsub("\047", "", $2); print $2; exit }' \
    "$work"/manifest/*.installer.yaml
}
for scope in "${scopes[@]}"; do
  code=$(product_code "$scope")
  name="winget install, list and uninstall, $scope scope"
  log="$logs/winget-$scope.log"
  if ! winget install --manifest "$(cygpath -w "$work/manifest")" \
      --scope "$scope" --silent --disable-interactivity \
      --accept-package-agreements >"$log" 2>&1; then
    if grep -qi 'LocalManifestFiles\|local manifest' "$log"; then
      summary_row "$name" "not run: $(tr -d '\r' <"$log" | tail -n 2)"
    else
      summary_row "$name" "failed: install: $(tr -d '\r' <"$log" | tail -n 3)"
      failures=$((failures + 1))
    fi
    continue
  fi
  uninstall=(winget uninstall --product-code "$code" --silent
    --disable-interactivity --accept-source-agreements)
  if ! winget list --query "$code" --disable-interactivity \
      --accept-source-agreements >"$log.list" 2>&1 ||
      ! grep -q Brevinor "$log.list"; then
    summary_row "$name" "failed: winget list does not find $code"
    failures=$((failures + 1))
    "${uninstall[@]}" >>"$log" 2>&1
    continue
  fi
  row "$name" "$logs/winget-$scope-uninstall.log" "${uninstall[@]}"
done
[ "$failures" = 0 ]
