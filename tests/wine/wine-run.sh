#!/bin/sh
# CTest's emulator for Windows test programs: wine-run.sh BITS PROGRAM ARGS
# runs one under the Wine of its width (32 or 64), in the test prefix, on the
# test display. TESSALY_WINE_DIR is where setup.sh put them.
: "${TESSALY_WINE_DIR:?TESSALY_WINE_DIR must name the folder setup.sh prepared}"
. "$(dirname "$0")/wine-env.sh"
wine_env "$1" || exit 2
shift
# For the tests that start a 32-bit program from a 64-bit one.
if ! wine_can_run_32; then
  export TESSALY_WINE32_FAILURE="$WINE32_FAILURE"
fi
export WINEPREFIX="${WINEPREFIX:-$TESSALY_WINE_DIR/pristine}"
export WINEDEBUG="${WINEDEBUG:--all}"
# Wine takes the ANSI code page from the locale: 1252 under C.UTF-8.
export LC_ALL="${TESSALY_WINE_LOCALE:-C.UTF-8}"
if [ -f "$TESSALY_WINE_DIR/display" ]; then
  DISPLAY=":$(cat "$TESSALY_WINE_DIR/display")"
  export DISPLAY
fi
exec "$WINE" "$@"
