#!/bin/bash
# sign-mode.sh: how the release is signed, from the secrets the workflow
# put in the environment: "certificate" (TESSALY_SIGN_PKCS12_BASE64 and
# TESSALY_SIGN_PASSWORD, a PKCS#12 file and its password), "signpath"
# (SIGNPATH_API_TOKEN, with the organization and project named by the
# repository's variables), or "none". Writes mode=... to GITHUB_OUTPUT
# where it is set, and says which.
set -euo pipefail
if [ -n "${TESSALY_SIGN_PKCS12_BASE64:-}" ] && [ -n "${TESSALY_SIGN_PASSWORD:-}" ]; then
  mode=certificate
  echo "signed: with the certificate in TESSALY_SIGN_PKCS12_BASE64"
elif [ -n "${SIGNPATH_API_TOKEN:-}" ]; then
  mode=signpath
  echo "signed: by SignPath, organization ${SIGNPATH_ORGANIZATION_ID:-?}"
else
  mode=none
  echo "::notice::unsigned: no signing secret configured"
fi
[ -z "${GITHUB_OUTPUT:-}" ] || echo "mode=$mode" >>"$GITHUB_OUTPUT"
