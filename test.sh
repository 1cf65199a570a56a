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

# One display for every Wine test.
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 140); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null || true' EXIT
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    break
  done
fi

status=0
echo "== unit tests and host tools with AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --preset host-asan -j2 || status=1
echo "== short fuzz runs"
ctest --preset fuzz -j2 || status=1
echo "== unit tests, size check and end-to-end tests under Wine"
ctest --preset host -j2 || status=1
exit $status
