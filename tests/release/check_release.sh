#!/usr/bin/env bash
# check_release.sh <work-dir>: two releases of the checked-in commit, built
# one after the other from two clean clones in folders of different names,
# are byte-identical; the version record carries VERSION and the commit's
# number; one release, signed with a throwaway authority made here, verifies
# against it with both signatures, still passes the import check and
# matches its SHA256SUMS.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(realpath -m "$1")
rm -rf "$work"
mkdir -p "$work"
fail() { echo "release-check: $*" >&2; exit 1; }

for side in one second-clone; do
  git clone -q "$root" "$work/$side"
  (cd "$work/$side" && bash cmake/release.sh "$work/$side-release") >/dev/null ||
    fail "the release in $side failed"
done
cmp "$work/one-release/SHA256SUMS" "$work/second-clone-release/SHA256SUMS" ||
  fail "two builds of one commit differ: $(diff "$work"/one-release/SHA256SUMS \
        "$work"/second-clone-release/SHA256SUMS)"
diff -r "$work/one-release" "$work/second-clone-release" >/dev/null || fail "the releases differ"
echo "release-check: two clean builds are identical:"
cat "$work/one-release/SHA256SUMS"

commas="$(sed 's/\./, /g' "$root/VERSION"), $(git -C "$root" rev-list --count HEAD)"
for f in "$work"/one-release/*.exe; do
  i686-w64-mingw32-windres -i "$f" -J coff -O rc 2>/dev/null | grep -q "FILEVERSION $commas$" ||
    fail "$(basename "$f") does not carry version $commas"
done

ca=$work/ca
bash "$root/tests/release/throwaway_signer.sh" "$ca"
(cd "$work/one" && SIGN_PKCS12="$ca/signer.p12" SIGN_PASS_FILE="$ca/pass.txt" \
  bash cmake/package-release.sh "$work/one/out/release-build/bin" "$work/signed") >/dev/null ||
  fail "signing the release failed"
for f in "$work"/signed/*.exe; do
  verify=$(osslsigncode verify -CAfile "$ca/ca.pem" -in "$f" 2>&1) ||
    fail "$(basename "$f") does not verify: $verify"
  [ "$(grep -c '^Signature verification: ok' <<<"$verify")" -eq 2 ] ||
    fail "$(basename "$f") does not carry two good signatures: $verify"
  grep -q '^Message digest algorithm  : SHA1' <<<"$verify" &&
    grep -q '^Message digest algorithm  : SHA256' <<<"$verify" ||
    fail "$(basename "$f") lacks the SHA-1 or the SHA-256 signature"
  cmp -s "$f" "$work/one-release/$(basename "$f")" && fail "$(basename "$f") is not signed"
done
(cd "$work/signed" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS of the signed release"
echo "release-check: the signed release verifies (SHA-1 and nested SHA-256) and loads"
