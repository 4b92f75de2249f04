#!/bin/bash
# compare.sh FIRST SECOND: two builds of one release, made apart, must be
# the same bytes, file for file, SHA256SUMS first.
set -euo pipefail
[ $# = 2 ] || { echo "usage: compare.sh FIRST SECOND" >&2; exit 2; }
cmp "$1/SHA256SUMS" "$2/SHA256SUMS"
diff -r "$1" "$2"
echo "compare.sh: the two builds are the same bytes"
cat "$1/SHA256SUMS"
