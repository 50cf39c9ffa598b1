#!/usr/bin/env bash
# sign-release.sh <dir> <file>...: an Authenticode signature on each file,
# in place, with osslsigncode. The key (environment, or make variables):
#   SIGN_PKCS12      a PKCS#12 file with the certificate (and its chain) and
#                    the key, or
#   SIGN_CERT        the certificate (PEM or DER; the chain may follow it)
#   SIGN_KEY         and its private key;
#   SIGN_PASS_FILE   optional: a file holding the password of either (never
#                    on the command line, where other users can read it);
#   TIMESTAMP_URL    optional: an RFC 3161 time-stamp server;
#   SIGN_URL         optional: the web address shown with the signature.
#
# Two signatures: the primary one with SHA-1, which is the only one Windows
# before 8 (and 7 without its SHA-2 update) reads, and a nested SHA-256 one
# for every later Windows. A nested signature is invisible to the systems
# that know only SHA-1, so that order is the one that serves both.
set -euo pipefail

dir=$1
shift
if [ -n "${SIGN_PKCS12:-}" ]; then
  key=(-pkcs12 "$SIGN_PKCS12")
elif [ -n "${SIGN_CERT:-}" ] && [ -n "${SIGN_KEY:-}" ]; then
  key=(-certs "$SIGN_CERT" -key "$SIGN_KEY")
else
  echo "sign-release: give SIGN_PKCS12, or SIGN_CERT and SIGN_KEY" >&2
  exit 2
fi
[ -n "${SIGN_PASS_FILE:-}" ] && key+=(-readpass "$SIGN_PASS_FILE")
extra=()
[ -n "${TIMESTAMP_URL:-}" ] && extra+=(-ts "$TIMESTAMP_URL")
[ -n "${SIGN_URL:-}" ] && extra+=(-i "$SIGN_URL")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for f in "$@"; do
  name=${f%.exe}
  osslsigncode sign "${key[@]}" "${extra[@]}" -h sha1 -n "$name" \
    -in "$dir/$f" -out "$work/$f.sha1" >/dev/null
  osslsigncode sign "${key[@]}" "${extra[@]}" -nest -h sha256 -n "$name" \
    -in "$work/$f.sha1" -out "$work/$f" >/dev/null
  # Both signatures must cover the file as it now is before it replaces
  # the unsigned one. The chain is not checked here: the key's authority
  # need not be known on the build machine.
  osslsigncode verify -in "$work/$f" >"$work/verify.txt" 2>&1 || true
  digests=$(awk '/^Message digest algorithm  :/ {alg=$NF}
                 /^Current message digest/ {cur=$NF}
                 /^Calculated message digest/ {if ($NF == cur) printf "%s ", alg}' \
            "$work/verify.txt")
  if [ "$digests" != "SHA1 SHA256 " ]; then
    echo "sign-release: $f does not carry a SHA-1 and a nested SHA-256 signature:" >&2
    cat "$work/verify.txt" >&2
    exit 1
  fi
  mv "$work/$f" "$dir/$f"
done
echo "sign-release: signed ${*} (SHA-1, nested SHA-256${TIMESTAMP_URL:+, time-stamped})"
