#!/usr/bin/env bash
# Installs what `make fuzz` needs beyond a bare Debian 12: clang with its
# libFuzzer and sanitizer runtimes, cmake and pugixml. Idempotent: a machine
# that has everything returns at once.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

pkgs=(cmake make clang libclang-rt-dev libpugixml-dev)
for p in "${pkgs[@]}"; do have_pkg "$p" || need+=("$p"); done
[ ${#need[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
