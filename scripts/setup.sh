#!/usr/bin/env bash
# Installs what building and testing need, once: the MinGW-w64 cross compiler,
# Wine (with the 32-bit wine32 for the i386 architecture), Xvfb, and the host
# libraries. Does nothing when everything is already there.
set -euo pipefail

packages=(cmake g++ make g++-mingw-w64-i686 mingw-w64-i686-dev
          wine wine32:i386 wine64 xvfb x11-utils libgtest-dev libgmock-dev
          libbenchmark-dev nlohmann-json3-dev libcli11-dev clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "setup: installing ${missing[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
