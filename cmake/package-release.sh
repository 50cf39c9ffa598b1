#!/usr/bin/env bash
# package-release.sh <bin-dir> <out-dir>: the four deliverables from a
# build, signed when a key is given (cmake/sign-release.sh), with the two
# guides and SHA256SUMS; every file dated as the commit is.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bin=$1
out=$2
# The release's date is the commit's, or SOURCE_DATE_EPOCH where there is
# no git checkout.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) || {
    echo "package-release: no git checkout and no SOURCE_DATE_EPOCH: cannot date the release" >&2
    exit 1
  }
fi
deliverables=(QZVRN.exe TXLDriverPatch.exe QZVRNCheck.exe QZVRNDeploy.exe)
guides=(deployment.md patch-authoring.md)

case $(realpath -m "$out") in
  / | "$root" | "$(realpath -m "$bin")") echo "package-release: will not replace $out" >&2; exit 2 ;;
esac
rm -rf "$out"
mkdir -p "$out"
for f in "${deliverables[@]}"; do cp "$bin/$f" "$out/$f"; done
for g in "${guides[@]}"; do cp "$root/docs/$g" "$out/$g"; done

if [ -n "${SIGN_PKCS12:-}${SIGN_CERT:-}${SIGN_KEY:-}" ]; then
  bash "$root/cmake/sign-release.sh" "$out" "${deliverables[@]}"
  # Signed, each must still load on Windows 2000 from a patch folder.
  for f in "${deliverables[@]}"; do bash "$root/cmake/check-imports.sh" -q -k "$out/$f"; done
  state=signed
else
  state="UNSIGNED: no key given (SIGN_PKCS12, or SIGN_CERT and SIGN_KEY)"
fi

(cd "$out" && LC_ALL=C sha256sum -- "${deliverables[@]}" "${guides[@]}" | LC_ALL=C sort -k2 \
  >SHA256SUMS)
touch -d "@$SOURCE_DATE_EPOCH" "$out"/*
echo "package-release: $out, $state"
