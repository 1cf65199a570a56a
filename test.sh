#!/usr/bin/env bash
# Every test: installs what is missing, builds every preset, and runs the unit
# tests, the sanitizer and fuzz runs and the end-to-end tests under Wine
# through ctest. The end-to-end tests take the 32-bit build under 32-bit Wine
# where this host runs 32-bit programs, else the 64-bit build under 64-bit
# Wine (UNINST_WINE=32|64 forces one); here none of them may skip.
set -euo pipefail
cd "$(dirname "$0")"

# Nothing may touch the user's home: the whole run has a HOME of decoys
# named like the tests' shortcuts and files, which must end byte for byte
# as they began.
decoys=$PWD/build/decoy-home
rm -rf "$decoys"
mkdir -p "$decoys/Desktop" "$decoys/Documents"
for name in Tool Unlisted Widget 'Widget Tray' 'Widget Help' Manual Keep Other a ソフト サポート ソフトX; do
  for folder in "$decoys" "$decoys/Desktop"; do echo "the user's $name" >"$folder/$name.lnk"; done
done
echo "the user's notes" >"$decoys/Documents/notes.txt"
decoy_state() { (cd "$decoys" && find . -printf '%y %p %s %m %T@ %l\n' | sort && find . -type f -exec md5sum {} + | sort); }
decoys_before=$(decoy_state)
export HOME=$decoys

./scripts/setup.sh
for preset in win32 win64; do
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset -j2
done
cmake --preset host >/dev/null
cmake --build --preset host -j2
cmake --preset host-asan >/dev/null
cmake --build --preset host-asan -j2
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

# One display for every Wine test (lib.sh starts one unless DISPLAY is set).
export E2E_REQUIRED=1
source tests/e2e/lib.sh
e2e_describe
e2e_display
trap '[ -n "${E2E_XVFB_PID:-}" ] && kill "$E2E_XVFB_PID" 2>/dev/null; true' EXIT

status=0
echo "== unit tests and host tools with AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --preset host-asan -j2 || status=1
echo "== short fuzz runs"
ctest --preset fuzz -j2 || status=1
echo "== unit tests, size check and end-to-end tests under Wine"
ctest --preset host -j2 || status=1
if [ "$(decoy_state)" = "$decoys_before" ]; then
  echo "== HOME: the decoys are byte for byte as they were"
else
  echo "== FAIL: something changed HOME ($decoys):"
  diff <(echo "$decoys_before") <(decoy_state) || true
  status=1
fi
exit $status
