#!/bin/bash
# The release workflow's scripts, end to end against stand-ins for gh,
# curl, wingetcreate, choco and osslsigncode: the normal run, a run with no
# secret, and reruns, which must replace and submit nothing. Builds the
# release in build/release.
# The stand-ins' code stands in single quotes, to expand when they run.
# shellcheck disable=SC2016
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 2
# shellcheck source=../../scripts/checks.sh
. scripts/checks.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stub() { printf '#!/bin/bash\n%s\n' "$2" >"$work/bin/$1" && chmod +x "$work/bin/$1"; }
mkdir -p "$work/bin" "$work/gh"
export PATH="$work/bin:$PATH" WORLD=$work

# The tag: the project's version, on the default branch.
version=$(sed -n 's/^project(Tessaly VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)
repo=$work/repo
mkdir -p "$repo/scripts/release" "$repo/.github" && cp CMakeLists.txt CHANGELOG.md "$repo/"
cp scripts/release/verify-tag.sh "$repo/scripts/release/" && cp -r .github/ISSUE_TEMPLATE "$repo/.github/"
git_in() { git -C "$repo" -c user.name=t -c user.email=t@example.invalid "$@" >/dev/null; }
git_in init -b main && git_in add . && git_in commit -m one && git_in tag "v$version"
git_in tag v0.0.1 && git_in checkout -q --detach
sed -i "s/VERSION $version /VERSION $version-aside /" "$repo/CMakeLists.txt"
git_in commit -a -m aside && git_in tag "v$version-aside"
check "verify: v$version on main" bash -c "git -C '$repo' checkout -q v$version &&
  bash '$repo/scripts/release/verify-tag.sh' v$version main brevinor/tessaly"
check "verify: links to another repository are refused" bash -c "! bash '$repo/scripts/release/verify-tag.sh' v$version main other/tessaly"
check "verify: another version's tag is refused" bash -c "! bash '$repo/scripts/release/verify-tag.sh' v0.0.1 main brevinor/tessaly"
check "verify: a commit off the default branch is refused" bash -c "git -C '$repo' checkout -q v$version-aside &&
  ! bash '$repo/scripts/release/verify-tag.sh' v$version-aside main brevinor/tessaly"

# Built twice, the second time by stages, as a signer elsewhere takes it,
# with its exe held to the first build's.
check "build: the release" bash scripts/release/build.sh brevinor/tessaly "v$version" "$work/first"
for stage in files packages rest; do
  TESSALY_FIRST_RELEASE=$work/first bash scripts/release/build.sh brevinor/tessaly "v$version" \
    "$work/second" $stage >/dev/null 2>&1
done
check "compare: by stages, the same bytes" bash scripts/release/compare.sh "$work/first" "$work/second"
printf 'x' >>"$work/second/SHA256SUMS"
check "compare: a changed file is told" bash -c "! bash scripts/release/compare.sh '$work/first' '$work/second'"
check "sign: without a secret, unsigned and said" bash -c "GITHUB_OUTPUT='$work/out' bash scripts/release/sign-mode.sh |
  grep -q 'unsigned: no signing secret configured' && grep -qx mode=none '$work/out'"
mkdir "$work/other" && python3 -c 'import sys, zipfile
exe = zipfile.ZipFile(sys.argv[1]).read("Tessaly.exe")
zipfile.ZipFile(sys.argv[2], "w").writestr("Tessaly.exe", exe + b"x")' \
  "$work"/first/Tessaly-*-win32.zip "$work/other/Tessaly-$version-win32.zip"
stub osslsigncode 'echo "$*" >>"$WORLD/signed.log"'
check "sign: an exe unlike the first build's stops the build before anything is signed" \
  bash -c "! TESSALY_FIRST_RELEASE='$work/other' TESSALY_SIGN_PKCS12=k.p12 TESSALY_SIGN_PASSWORD=p \
  bash scripts/release/build.sh brevinor/tessaly v$version '$work/third' && [ ! -e '$work/signed.log' ]"
check "attest: the provenance of every file published, and the bill of materials" python3 -c '
import sys, yaml
steps = yaml.safe_load(open(".github/workflows/release.yml"))["jobs"]["attest"]["steps"]
runs = " ".join(step.get("run", "") for step in steps)
given = [step.get("with", {}) for step in steps if step.get("uses", "").startswith("actions/attest@")]
sbom = [w for w in given if w.get("sbom-path", "").endswith(".cdx.json")]
# Provenance is what actions/attest makes without an SBOM or a predicate.
provenance = [w for w in given if not {"sbom-path", "predicate-type", "predicate", "predicate-path"} & set(w)]
sys.exit(not (len(given) == 2 and len(sbom) == len(provenance) == 1 and "assets.sh release" in runs
              and provenance[0].get("subject-checksums", "-").rsplit("/")[-1] in runs
              and sbom[0].get("subject-checksums") == "release/SHA256SUMS"))'

# gh: a release is a folder of assets with a file "draft"; upload refuses
# an asset already there, as gh does without --clobber.
stub gh 'r=$WORLD/gh/$3; echo "$*" >>"$WORLD/gh.log"
case $1-$2-$4$5 in
  release-view---jsonisDraft) [ -d "$r" ] && cat "$r/draft" ;;
  release-view---jsonassets) ls "$r/assets" ;;
  release-create-*) mkdir -p "$r/assets" && echo true >"$r/draft" && cat >"$r/notes" ;;
  release-upload-*) [ ! -e "$r/assets/$(basename "$4")" ] && cp "$4" "$r/assets/" ;;
  release-download-*) cp "$r/assets/$5" "$7/" ;;
  release-edit-*) echo false >"$r/draft" ;;
  api-*) [ -e "$WORLD/winget-has" ] || { echo "gh: Not Found (HTTP 404)"; exit 1; } ;;
  pr-list-*) [ -e "$WORLD/winget-pr" ] && echo 1 || echo 0 ;;
  *) exit 1 ;;
esac'
publish() {
  : >"$work/published"
  GITHUB_OUTPUT=$work/published bash scripts/release/publish.sh "$1" "$work/first" >"$work/publish.log" 2>&1
}
state() { echo "$?,$(cat "$work/gh/$1/draft"),$(find "$work/gh/$1/assets" -type f | wc -l),$(grep -c 'release upload' "$work/gh.log"),$(cat "$work/published")"; }
count=$(find "$work/first" -maxdepth 1 -type f | wc -l)
publish "v$version"
check "publish: published, every file once" test "$(state "v$version")" = "0,false,$count,$count,published=now"
check "attest: the files attested are the files published" test "$(bash scripts/release/assets.sh "$work/first" | sort)" = \
  "$(cd "$work/gh/v$version/assets" && sha256sum -- * | sort)"
check "publish: from a draft of the tag" grep -q "release create v$version --draft --verify-tag" "$work/gh.log"
check "publish: the notes are the changelog's section, without its links" bash -c "grep -q 'The first release' '$work/gh/v$version/notes' &&
  ! grep -q '^\[' '$work/gh/v$version/notes'"
publish "v$version"
check "publish: a rerun replaces nothing" test "$(state "v$version"),$(grep -c 'published already' "$work/publish.log")" = \
  "0,false,$count,$count,published=before,1"
echo true >"$work/gh/v$version/draft"
find "$work/gh/v$version/assets" -type f ! -name '*-win32.zip' -delete
publish "v$version"
check "publish: a draft left behind keeps its file, gets the rest" test "$(state "v$version")" = \
  "0,false,$count,$((2 * count - 1)),published=now"
echo true >"$work/gh/v$version/draft"
printf 'other' >>"$work/first/SHA256SUMS"
publish "v$version"
check "publish: a draft's file that differs is not replaced" test "$(state "v$version"),$(grep -c 'not replaced' "$work/publish.log")" = "1,true,$count,$((2 * count - 1)),,1"
echo false >"$work/gh/v$version/draft"
publish "v$version"
check "publish: a published release with another SHA256SUMS stops the run" test \
  "$(state "v$version"),$(grep -c "its SHA256SUMS is not this build's" "$work/publish.log")" = "1,false,$count,$((2 * count - 1)),,1"
publish v9.9.9
check "publish: no changelog section, no release" test "$?,$(ls "$work/gh")" = "1,v$version"

# winget and Chocolatey: skipped without their secrets, wingetcreate never
# run unchecked, and each submitted once: what the stand-ins submit, the
# package managers then have (an open pull request, a package in
# moderation).
printf '#!/bin/bash\necho "$*" >"%s/wingetcreate.log"; touch "%s/winget-pr"\n' "$work" "$work" >"$work/wingetcreate.exe"
stub curl 'case $* in
  *community.chocolatey.org*) cat "$WORLD/choco-has" 2>/dev/null || echo 404 ;;
  *) cp "$WORLD/wingetcreate.exe" "$3" && chmod +x "$3" ;;
esac'
stub choco 'echo "$*" >"$WORLD/choco.log"; echo 200 >"$WORLD/choco-has"'
export PUBLISHED=now
winget() { bash scripts/release/winget.sh "$work/first" "$version" >"$work/winget.out" 2>&1; }
ran() { [ -e "$work/wingetcreate.log" ] && echo ran || echo "not run"; }
winget
check "winget: no token, a notice, nothing run" test "$?,$(grep -c '::notice::' "$work/winget.out"),$(ran)" = "0,1,not run"
WINGET_CREATE_GITHUB_TOKEN=t WINGETCREATE_SHA256=00 winget
check "winget: a download of another hash is not run" test "$?,$(ran)" = "1,not run"
sha=$(sha256sum <"$work/wingetcreate.exe" | cut -d' ' -f1)
WINGET_CREATE_GITHUB_TOKEN=t WINGETCREATE_SHA256=$sha winget
check "winget: the release's manifests submitted, the token not on the command line" grep -qx \
  "submit --no-open --prtitle New version: BrevinorProject.Brevinor version $version $work/first/winget/BrevinorProject.Brevinor/$version" \
  "$work/wingetcreate.log"
choco_push() { bash scripts/release/chocolatey-push.sh "$work/first" "$version" >"$work/choco.out" 2>&1; }
pushed() { [ -e "$work/choco.log" ] && echo pushed || echo "not pushed"; }
choco_push
check "chocolatey: no key, a notice and nothing pushed" test "$?,$(grep -c '::notice::' "$work/choco.out"),$(pushed)" = "0,1,not pushed"
CHOCOLATEY_API_KEY=k choco_push
check "chocolatey: the release's package pushed" grep -q "push .*brevinor.$version.nupkg .*--api-key k" "$work/choco.log"
rm "$work/wingetcreate.log" "$work/choco.log"
PUBLISHED=before WINGET_CREATE_GITHUB_TOKEN=t WINGETCREATE_SHA256=$sha winget
winget_status=$?
PUBLISHED=before CHOCOLATEY_API_KEY=k choco_push
check "a rerun after publishing submits nothing to winget or Chocolatey" test "$winget_status,$?,$(ran),$(pushed),$(
  cat "$work/winget.out" "$work/choco.out" | grep -c '::notice::.*its community repository has')" = "0,0,not run,not pushed,2"

checks_done "Release checks"
