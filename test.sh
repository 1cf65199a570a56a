#!/usr/bin/env bash
# Every test: installs what is missing, builds both presets, and runs the unit
# tests and the end-to-end tests under Wine through ctest.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2
cmake --preset host >/dev/null
cmake --build --preset host -j2
cmake --preset host-asan >/dev/null
cmake --build --preset host-asan -j2
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

# One display for every Wine test (lib.sh starts one unless DISPLAY is set).
source tests/e2e/lib.sh
e2e_display
trap '[ -n "${E2E_XVFB_PID:-}" ] && kill "$E2E_XVFB_PID" 2>/dev/null; true' EXIT

status=0
echo "== unit tests and host tools with AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --preset host-asan -j2 || status=1
echo "== short fuzz runs"
ctest --preset fuzz -j2 || status=1
echo "== unit tests, size check and end-to-end tests under Wine"
ctest --preset host -j2 || status=1
exit $status
