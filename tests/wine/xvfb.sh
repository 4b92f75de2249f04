#!/bin/sh
# xvfb.sh start|stop DIR: a private Xvfb display for windows under test. Its
# number goes to DIR/display and its process id to DIR/xvfb.pid.
set -eu
command=$1
dir=$2
case "$command" in
  start)
    "$0" stop "$dir"
    rm -f "$dir/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
      3>"$dir/display.tmp" >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/xvfb.pid"
    for _ in $(seq 100); do
      [ -s "$dir/display.tmp" ] && break
      sleep 0.1
    done
    [ -s "$dir/display.tmp" ] || { cat "$dir/xvfb.log"; exit 1; }
    tr -d '\n' <"$dir/display.tmp" >"$dir/display"
    rm -f "$dir/display.tmp"
    ;;
  stop)
    if [ -f "$dir/xvfb.pid" ]; then
      kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
      rm -f "$dir/xvfb.pid" "$dir/display"
    fi
    ;;
esac
