# Sourced by the scripts that run Windows programs under Wine. It decides
# which build's programs run on this machine, and says why:
#   WINDOWS_WAY=both  32-bit Wine runs here: the 32-bit build (the one that
#                     ships) and the 64-bit build are both run;
#   WINDOWS_WAY=64    the 64-bit build only, under 64-bit Wine, because this
#                     machine cannot run 32-bit programs or because
#                     TESSALY_WINE64_ONLY is set (to anything but 0).
# WINDOWS_WAY_WHY holds the reason, to print.
. "$(dirname "${BASH_SOURCE[0]}")/../tests/wine/wine-env.sh"

choose_windows_way() {
  if [ -n "${TESSALY_WINE64_ONLY:-}" ] && [ "$TESSALY_WINE64_ONLY" != 0 ]; then
    WINDOWS_WAY=64
    WINDOWS_WAY_WHY="TESSALY_WINE64_ONLY is set"
  elif wine_can_run_32; then
    WINDOWS_WAY=both
    WINDOWS_WAY_WHY="this machine runs 32-bit programs"
  else
    WINDOWS_WAY=64
    WINDOWS_WAY_WHY="this machine cannot run 32-bit programs: $WINE32_FAILURE"
  fi
}
