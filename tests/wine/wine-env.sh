# Sourced: wine_env BITS picks the Wine for 32- or 64-bit Windows programs.
# It exports WINE (the loader to run programs with), WINELOADER (what Wine
# starts child processes with) and WINEARCH (the kind of prefix to make).
# /usr/bin/wine is not used: it picks the 32-bit loader whenever wine32 is
# installed, even where the kernel cannot run it.
wine_env() {
  case "$1" in
    32) WINE=/usr/lib/wine/wine WINEARCH=win32 ;;
    64) WINE=/usr/lib/wine/wine64 WINEARCH=win64 ;;
    *) echo "wine_env: give 32 or 64, not '$1'" >&2; return 2 ;;
  esac
  WINELOADER=$WINE
  export WINE WINELOADER WINEARCH
}

# Sourced: wine_can_run_32 says whether this machine runs 32-bit Wine; when
# not, WINE32_FAILURE says why.
wine_can_run_32() {
  WINE32_FAILURE=$(/usr/lib/wine/wine --version 2>&1 >/dev/null) && return 0
  [ -n "$WINE32_FAILURE" ] || WINE32_FAILURE="/usr/lib/wine/wine --version failed"
  # The shell's own prefix ("script: line N:") says nothing here.
  WINE32_FAILURE=$(printf '%s' "$WINE32_FAILURE" | head -n 1 |
    sed 's|^.*\(/usr/lib/wine/wine: \)|\1|')
  return 1
}
