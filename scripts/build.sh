#!/bin/bash
# Configures and builds the native unit tests (plain and sanitized) and the
# Windows programs, 32-bit (the one that ships) and 64-bit. Installs the
# tools first where they are missing; with --install-only, does only that.
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in cmake ninja g++ clang++ i686-w64-mingw32-g++-posix \
    x86_64-w64-mingw32-g++-posix /usr/lib/wine/wine /usr/lib/wine/wine64 \
    Xvfb xdotool import python3 wixl msibuild faketime osslsigncode openssl xmllint \
    reuse shellcheck node; do
  if ! command -v "$tool" >/dev/null; then
    bash scripts/install-deps.sh
    break
  fi
done
[ -d /usr/src/googletest ] && [ -d tools/sbom-validator/node_modules ] &&
  [ -d tools/ci-lint/node_modules ] ||
  bash scripts/install-deps.sh
[ "${1:-}" = --install-only ] && exit 0
for preset in native native-sanitized windows windows64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
