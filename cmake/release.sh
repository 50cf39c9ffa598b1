#!/usr/bin/env bash
# release.sh [out-dir]: the four deliverables of this checkout, built in a
# tree of their own from nothing, into out-dir (out/release): the programs,
# the two guides and SHA256SUMS (cmake/package-release.sh, which signs them
# when a key is given). The same commit gives the same bytes wherever and
# whenever it is built (cmake/windows.cmake).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/out/release}
build=${RELEASE_BUILD_DIR:-$root/out/release-build}

# Built clean every time: nothing a previous build left can reach a release.
rm -rf "$build" "$out"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DQZ_DELIVERABLES_ONLY=ON -DQZ_BIN_DIR="$build/bin" \
  >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}" \
  --target QZVRN TXLDriverPatch QZVRNCheck QZVRNDeploy >/dev/null

bash "$root/cmake/package-release.sh" "$build/bin" "$out"
echo "release: version $(cat "$build/version.txt") in $out"
