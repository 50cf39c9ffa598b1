#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks for one lane, and no more:
#   native  the portable core and its unit tests (no Wine, no emulator)
#   cross   native and the MinGW build of the Windows programs
#   wine    cross and the Wine test bed; then settles how the test bed
#           starts Wine (cmake/wine-mode.sh)
#   lint    clang-format and clang-tidy over the native tree
#   release cross and the signing tools (osslsigncode, openssl)
# Idempotent: a machine that has everything only repeats the Wine check.
set -euo pipefail

lane=${1:-wine}
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

native=(cmake make g++ libgtest-dev libpugixml-dev python3)
cross=("${native[@]}" g++-mingw-w64-i686 mingw-w64-tools)
case $lane in
  native) pkgs=("${native[@]}") ;;
  cross) pkgs=("${cross[@]}") ;;
  wine) pkgs=("${cross[@]}" wine wine32:i386 wine64 xvfb x11-utils locales osslsigncode openssl) ;;
  release) pkgs=("${cross[@]}" osslsigncode openssl git) ;;
  lint) pkgs=("${native[@]}" clang-format clang-tidy) ;;
  *) echo "setup-deps: unknown lane $lane" >&2; exit 2 ;;
esac

need=()
for p in "${pkgs[@]}"; do have_pkg "$p" || need+=("$p"); done

if [ ${#need[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  if [[ " ${need[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  # A mirror in mid-sync fails one index and keeps the others: the install
  # below still says plainly when a package cannot be had.
  $SUDO apt-get update -qq || echo "setup-deps: some package indexes could not be refreshed" >&2
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

if [ "$lane" = wine ]; then
  bash "$(dirname "$0")/wine-mode.sh" setup
fi
