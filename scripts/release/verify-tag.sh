#!/bin/bash
# verify-tag.sh TAG DEFAULT_BRANCH REPOSITORY: a release starts only from a
# tag that is "v" and the project's version, on a commit of the default
# branch (a ref such as origin/main), so that what is published is what
# was reviewed, and only where the GitHub addresses that CHANGELOG.md and
# the issue forms give are those of REPOSITORY (OWNER/NAME), with a link
# to this version's release. Gives the version to the workflow
# (GITHUB_OUTPUT) where it runs in one.
set -euo pipefail
[ $# = 3 ] || { echo "usage: verify-tag.sh TAG DEFAULT_BRANCH REPOSITORY" >&2; exit 2; }
cd "$(dirname "$0")/../.."
tag=$1 branch=$2 repository=$3
version=$(sed -n 's/^project(Tessaly VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)
if [ "$tag" != "v$version" ]; then
  echo "verify-tag.sh: the tag $tag is not v$version, the project's version" >&2
  exit 1
fi
commit=$(git rev-parse --verify "$tag^{commit}")
if ! git merge-base --is-ancestor "$commit" "$branch"; then
  echo "verify-tag.sh: $tag ($commit) is not on $branch" >&2
  exit 1
fi
links=(CHANGELOG.md .github/ISSUE_TEMPLATE/config.yml)
others=$(grep -ohE 'https://github\.com/[^/ )]+/[^/ )]+' "${links[@]}" |
  sort -u | grep -vxF "https://github.com/$repository" | paste -sd ' ' || true)
if [ -n "$others" ]; then
  echo "verify-tag.sh: ${links[*]} link to another repository than $repository: $others" >&2
  exit 1
fi
if ! grep -qxF "[$version]: https://github.com/$repository/releases/tag/$tag" CHANGELOG.md; then
  echo "verify-tag.sh: CHANGELOG.md has no link definition [$version] for $tag's release" >&2
  exit 1
fi
echo "verify-tag.sh: $tag is the project's version, on $branch, linked as $repository's"
[ -z "${GITHUB_OUTPUT:-}" ] || echo "version=$version" >>"$GITHUB_OUTPUT"
