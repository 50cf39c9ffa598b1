#!/usr/bin/env bash
# How the test bed starts Wine. Some hosts give user space no 32-bit mode:
# there the 32-bit Wine loader cannot run, so it runs under qemu-i386 user
# emulation instead. The Windows programs are the same in both modes; only
# the loader that runs them differs.
#
#   wine-mode.sh setup      detect the mode, prepare the emulated loader when
#                           it is needed, record it in out/wine-mode, print it
#   wine-mode.sh describe   print the recorded mode (one line)
#
# QZ_WINE_EMULATE=1 forces the emulated mode on a host that runs 32-bit
# code, so that both modes can be tried anywhere.
#
# out/wine-mode holds key=value lines: mode (native|emulated), reason and
# path (a folder to put first in PATH; empty in native mode). Every caller
# (harness.py, and through it the demos, benchmarks and tests) reads it.
set -euo pipefail
cd "$(dirname "$0")/.."

OUT=$PWD/out
MODE_FILE=$OUT/wine-mode
EMU=$OUT/wine-emu
WINE32=/usr/lib/wine/wine
QEMU_MIN=8

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo

say() { echo "Wine mode: $1 ($2)"; }

qemu_major() {
  command -v qemu-i386 >/dev/null || { echo 0; return; }
  qemu-i386 --version 2>/dev/null |
    sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p' | head -n1 | grep . || echo 0
}

# The suite's mirror and key, taken from the system's own sources, so that
# the backports come from wherever its other packages come from.
apt_source_line() {
  local codename=$1 uri="" key=""
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    # deb822 stanzas: the first with plain "deb" and the codename's suite.
    read -r uri key < <(awk -v want="$codename" '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " want " ") && uris != "")
          { split(uris, u, " "); print u[1], key; found = 1; exit }
        types = suites = uris = key = ""
      }
      /^[ \t]*$/ { flush(); next }
      /^Types:/ { sub(/^Types:[ \t]*/, ""); types = $0 }
      /^Suites:/ { sub(/^Suites:[ \t]*/, ""); suites = $0 }
      /^URIs:/ { sub(/^URIs:[ \t]*/, ""); uris = $0 }
      /^Signed-By:/ { sub(/^Signed-By:[ \t]*/, ""); key = $0 }
      END { if (!found) flush() }' "$f") || true
    [ -n "$uri" ] && break
  done
  if [ -z "$uri" ] && [ -e /etc/apt/sources.list ]; then
    # One-line form: deb [options] URI suite components...
    uri=$(awk -v want="$codename" '$1 == "deb" {
            i = 2; if ($2 ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
            if ($(i + 1) == want) { print $i; exit } }' /etc/apt/sources.list)
  fi
  [ -n "$uri" ] || return 1
  if [ -n "$key" ]; then
    echo "deb [signed-by=$key] $uri $codename-backports main"
  else
    echo "deb $uri $codename-backports main"
  fi
}

install_qemu() {
  [ "$(qemu_major)" -ge $QEMU_MIN ] && return 0
  local codename line list=/etc/apt/sources.list.d/qz-backports.list
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || { echo "cannot tell the Debian release" >&2; return 1; }
  line=$(apt_source_line "$codename") ||
    { echo "no apt source for $codename to take the backports from" >&2; return 1; }
  echo "$line" | $SUDO tee "$list" >/dev/null
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends \
    -t "$codename-backports" qemu-user >/dev/null
  if [ "$(qemu_major)" -lt $QEMU_MIN ]; then
    echo "qemu-i386 $QEMU_MIN or later is needed (an older one takes" \
         "about 44 s to start each 32-bit process)" >&2
    return 1
  fi
}

# The loaders find ntdll.so and wine.inf relative to themselves, and Wine
# starts a child's loader by the parent's argv[0] (and the 64-bit one by
# that name plus "64"): so the 32-bit loader runs under qemu with argv[0]
# naming the script lib/wine/wine (whatever link started it), with real copies of the loaders beside
# it and the library folders linked next to that folder.
build_loader() {
  if [ -x "$EMU/bin/wine" ] && cmp -s "$WINE32" "$EMU/lib/wine/wine.elf" &&
     cmp -s /usr/lib/wine/wine64 "$EMU/lib/wine/wine64" &&
     grep -qF "$(command -v qemu-i386) -0 \"$EMU/lib/wine/wine\"" "$EMU/lib/wine/wine"; then
    return 0
  fi
  rm -rf "$EMU"
  mkdir -p "$EMU/bin" "$EMU/lib/wine" "$EMU/share"
  cp /usr/lib/wine/wine64 "$EMU/lib/wine/wine64"
  cp "$WINE32" "$EMU/lib/wine/wine.elf"
  ln -s /usr/lib/wine/wineserver64 "$EMU/lib/wine/wineserver"
  ln -s /usr/lib/x86_64-linux-gnu "$EMU/lib/x86_64-linux-gnu"
  ln -s /usr/lib/i386-linux-gnu "$EMU/lib/i386-linux-gnu"
  ln -s /usr/share/wine "$EMU/share/wine"
  cat >"$EMU/lib/wine/wine" <<EOF
#!/bin/sh
# The 32-bit Wine loader under user emulation (see cmake/wine-mode.sh).
WINELOADERNOEXEC=1 exec $(command -v qemu-i386) -0 "$EMU/lib/wine/wine" "$EMU/lib/wine/wine.elf" "\$@"
EOF
  chmod +x "$EMU/lib/wine/wine"
  local b
  for b in wine wine-stable; do ln -s ../lib/wine/wine "$EMU/bin/$b"; done
  ln -s ../lib/wine/wine64 "$EMU/bin/wine64"
  ln -s ../lib/wine/wineserver "$EMU/bin/wineserver"
  for b in wineboot winecfg wineconsole winedbg winefile winepath; do
    ln -s /usr/lib/wine/wineapploader "$EMU/bin/$b"
  done
}

record() {  # mode reason path
  mkdir -p "$OUT"
  printf 'mode=%s\nreason=%s\npath=%s\n' "$1" "$2" "$3" >"$MODE_FILE.tmp"
  mv "$MODE_FILE.tmp" "$MODE_FILE"
}

setup() {
  local reason
  if [ "${QZ_WINE_EMULATE:-0}" = 1 ]; then
    reason="forced by QZ_WINE_EMULATE=1"
  elif timeout 120 "$WINE32" --version >/dev/null 2>&1; then
    record native "this machine runs 32-bit code" ""
    describe
    return 0
  else
    reason="this machine cannot run 32-bit code"
  fi
  install_qemu
  build_loader
  if ! timeout 300 qemu-i386 "$EMU/lib/wine/wine.elf" --version >/dev/null 2>&1; then
    echo "the emulated 32-bit Wine loader does not start" >&2
    return 1
  fi
  record emulated "$reason; qemu-i386 $(qemu_major)" "$EMU/bin"
  describe
}

describe() {
  local mode reason
  mode=$(sed -n 's/^mode=//p' "$MODE_FILE")
  reason=$(sed -n 's/^reason=//p' "$MODE_FILE")
  if [ "$mode" = native ]; then
    say "the system's 32-bit Wine loader" "$reason"
  else
    say "the 32-bit Wine loader under qemu-i386 emulation, about 4x slower" "$reason"
  fi
}

case "${1:-setup}" in
  setup) setup ;;
  describe) describe ;;
  *) echo "usage: $0 setup|describe" >&2; exit 64 ;;
esac
