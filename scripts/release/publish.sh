#!/bin/bash
# publish.sh TAG DIR: publishes the release of TAG with every file of DIR,
# each uploaded once, and the notes of its section of CHANGELOG.md. It
# makes a draft, uploads to it and only then publishes it, since a
# published release may be immutable. In a draft from a run cut short, a
# file already there must be the same bytes, and is never replaced. A
# release already published is left as it is, and must hold every file
# of DIR, the same bytes: otherwise this run stops, before anything is
# submitted to a package manager. Says which it was as published=now or
# published=before in GITHUB_OUTPUT, where it is set. Needs gh, with
# GH_TOKEN.
set -euo pipefail
[ $# = 2 ] || { echo "usage: publish.sh TAG DIR" >&2; exit 2; }
tag=$1 dir=$2
cd "$(dirname "$0")/../.."
version=${tag#v}
# The section "## [VERSION] - DATE" up to the next heading or the link
# definitions at the end.
notes=$(awk -v head="## [$version]" 'index($0, head) == 1 { on = 1; next }
  on && (/^## / || /^\[[^]]+\]: /) { exit } on' CHANGELOG.md)
if [ -z "$(printf '%s' "$notes" | tr -d '[:space:]')" ]; then
  echo "publish.sh: CHANGELOG.md has no section for $version" >&2
  exit 1
fi
say() { [ -z "${GITHUB_OUTPUT:-}" ] || echo "published=$1" >>"$GITHUB_OUTPUT"; }
draft=$(gh release view "$tag" --json isDraft --jq .isDraft 2>/dev/null || echo none)
if [ "$draft" = none ]; then
  printf '%s\n' "$notes" | gh release create "$tag" --draft --verify-tag \
    --title "Brevinor $version" --notes-file -
fi
there=$(gh release view "$tag" --json assets --jq '.assets[].name')
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# same FILE: whether the release holds FILE's name with FILE's bytes.
same() {
  local name
  name=$(basename "$1")
  printf '%s\n' "$there" | grep -qxF "$name" &&
    gh release download "$tag" --pattern "$name" --dir "$work" &&
    cmp -s "$1" "$work/$name"
}
for file in "$dir"/*; do
  [ -f "$file" ] || continue
  name=$(basename "$file")
  if [ "$draft" = false ]; then
    if ! same "$file"; then
      echo "::error::publish.sh: $tag is published already, and its $name is not this" \
        "build's (missing, or other bytes). Nothing is replaced, nothing submitted to" \
        "winget or Chocolatey; a fix is a new version (RELEASING.md, Reruns)." >&2
      exit 1
    fi
  elif printf '%s\n' "$there" | grep -qxF "$name"; then
    if ! same "$file"; then
      echo "publish.sh: the draft's $name differs from this build's; not replaced" >&2
      exit 1
    fi
    echo "publish.sh: $name is there already, the same bytes"
  else
    gh release upload "$tag" "$file"
  fi
done
if [ "$draft" = false ]; then
  echo "publish.sh: $tag is published already, with this build's files; nothing uploaded"
  say before
  exit 0
fi
gh release edit "$tag" --draft=false
echo "publish.sh: $tag published"
say now
