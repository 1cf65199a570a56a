#!/usr/bin/env bash
# Runs every fuzz target for longer than the test suite does.
#   scripts/fuzz-long.sh [SECONDS_PER_TARGET]   (default 300)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
./scripts/setup.sh
cmake --preset host-asan >/dev/null
cmake --build --preset host-asan -j2
for target in data_file registry_list shortcut_list wininit manifest show_build; do
  echo "== fuzz_$target, $seconds s"
  ./fuzz/run.sh "build/host-asan/fuzz_$target" "fuzz/corpus/$target" "$seconds" --seconds
done
