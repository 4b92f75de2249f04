#!/bin/bash
# assets.sh DIR: the SHA-256 of every file that publish.sh uploads from DIR
# (its files, not its folders or hidden files), as sha256sum prints them,
# for the provenance attestation of each.
set -euo pipefail
[ $# = 1 ] || { echo "usage: assets.sh DIR" >&2; exit 2; }
cd "$1"
find . -maxdepth 1 -type f ! -name '.*' -printf '%P\0' | sort -z | xargs -0 -r sha256sum
