#!/bin/bash
# The layering check on a copy of the tree: it passes as the tree is, and
# fails for each kind of arrow planted the wrong way.
set -uo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
planted() {  # planted WHAT FILE LINE: the check must refuse LINE in FILE.
  rm -rf "$work/tree" && mkdir "$work/tree"
  cp -r "$source_dir"/{app,main,paths,services,text,win32} "$work/tree/"
  [ -z "$2" ] || sed -i "1i $3" "$work/tree/$2"
  if bash "$source_dir/scripts/check-layers.sh" "$work/tree" >"$work/out" 2>&1; then
    [ -z "$2" ] || { echo "FAILED: $1 went unnoticed"; failed=1; }
  elif [ -z "$2" ] || ! grep -q "^$2: " "$work/out"; then
    echo "FAILED: $1"; cat "$work/out"; failed=1
  fi
}
planted "the tree as it is passes" "" ""
planted "services/ including app/" services/text.h '#include "app/mod_ascii_convert.h"'
planted "text/ including win32/" text/utf8.cpp '#include "win32/support.h"'
planted "win32/ including main/" win32/failure.h '#include "main/run_time.h"'
planted "app/ including win32/" app/mod_ascii_convert.cpp '#include "win32/handles.h"'
planted "<Windows.h> in paths/" paths/long_path.cpp '#  include <Windows.h>'
[ "$failed" = 0 ] && echo "check_layers_test.sh: 6 passed"
exit "$failed"
