#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test both
# programs, then settles how the test bed starts Wine (cmake/wine-mode.sh).
# Idempotent: a machine that has everything only repeats that check.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

pkgs=(cmake make g++ g++-mingw-w64-i686 mingw-w64-tools wine wine32:i386 wine64
      xvfb x11-utils libgtest-dev libpugixml-dev locales python3)
for p in "${pkgs[@]}"; do have_pkg "$p" || need+=("$p"); done

if [ ${#need[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  # A mirror in mid-sync fails one index and keeps the others: the install
  # below still says plainly when a package cannot be had.
  $SUDO apt-get update -qq || echo "setup-deps: some package indexes could not be refreshed" >&2
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

bash "$(dirname "$0")/wine-mode.sh" setup
