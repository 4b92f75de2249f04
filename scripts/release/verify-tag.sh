#!/bin/bash
# verify-tag.sh TAG DEFAULT_BRANCH: a release starts only from a tag that is
# "v" and the project's version, on a commit of the default branch (a ref
# such as origin/main), so that what is published is what was reviewed.
# Gives the version to the workflow (GITHUB_OUTPUT) where it runs in one.
set -euo pipefail
[ $# = 2 ] || { echo "usage: verify-tag.sh TAG DEFAULT_BRANCH" >&2; exit 2; }
cd "$(dirname "$0")/../.."
tag=$1 branch=$2
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
echo "verify-tag.sh: $tag is the project's version, on $branch"
[ -z "${GITHUB_OUTPUT:-}" ] || echo "version=$version" >>"$GITHUB_OUTPUT"
