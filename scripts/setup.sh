#!/usr/bin/env bash
# Installs what building and testing need, once: the MinGW-w64 cross compilers
# for 32-bit and 64-bit Windows, Wine, Xvfb, bubblewrap (the sandbox every
# Wine run happens in), the host libraries, makensis and wixl (the real
# installers that capture's tests build), and the ja_JP.UTF-8 locale that
# gives Wine code page 932. wine32 and the i386
# architecture are installed only where this host executes 32-bit programs;
# elsewhere 32-bit Wine could not start, and the tests use 64-bit Wine.
# Does nothing when everything is already there.
set -euo pipefail
source "$(dirname "$0")/host.sh"

packages=(cmake g++ make g++-mingw-w64-i686 mingw-w64-i686-dev
          g++-mingw-w64-x86-64 mingw-w64-x86-64-dev wine wine64 xvfb x11-utils
          libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev
          clang libclang-rt-14-dev locales python3 python3-jsonschema bubblewrap
          nsis wixl)
i386=no
if host_runs_32bit; then
  i386=yes
  packages+=(wine32:i386)
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  if [ $i386 = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine takes its ANSI code page from LANG, but only for a generated locale;
# otherwise it falls back to 1252 without a word.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
  echo "setup: generating the ja_JP.UTF-8 locale" >&2
  $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
