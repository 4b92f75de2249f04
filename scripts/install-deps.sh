#!/bin/bash
# Installs what building and testing Tessaly needs on Debian 12, as root:
# CMake and Ninja, g++ and clang (with libFuzzer), mingw-w64 for 32-bit Windows,
# GoogleTest's sources, 32-bit Wine, Xvfb, and the tools the screenshot uses.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
dpkg --add-architecture i386
apt-get update -q
apt-get install -y -q --no-install-recommends \
  cmake ninja-build g++ clang libclang-rt-14-dev python3 \
  g++-mingw-w64-i686 \
  googletest libbenchmark-dev time \
  wine wine32:i386 \
  xvfb xdotool imagemagick
