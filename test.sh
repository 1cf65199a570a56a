#!/usr/bin/env bash
# Every test: installs what is missing, builds every preset, and runs the unit
# tests, the sanitizer and fuzz runs and the end-to-end tests under Wine
# through ctest. The end-to-end tests take the 32-bit build under 32-bit Wine
# where this host runs 32-bit programs, else the 64-bit build under 64-bit
# Wine (UNINST_WINE=32|64 forces one); here none of them may skip. Ends with
# the seconds each phase took.
set -euo pipefail
cd "$(dirname "$0")"
started=$SECONDS

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

# The seconds of each phase, for the account at the end.
phases=()
phase() {  # NAME SECONDS
  phases+=("$(printf '%6d s  %s' "$2" "$1")")
}
timed() {  # NAME COMMAND...: runs COMMAND and notes its seconds
  local name=$1 start=$SECONDS status=0
  shift
  echo "== $name"
  "$@" || status=$?
  phase "$name" $((SECONDS - start))
  return $status
}
build() {  # PRESET
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j2
}

timed "packages (scripts/setup.sh)" ./scripts/setup.sh
timed "build: uninst.exe, the runners and uninstdat.exe (win32, win64)" bash -c 'set -e
  for preset in win32 win64; do cmake --preset $preset >/dev/null; cmake --build --preset $preset -j2; done'
timed "build: uninstdat, the unit tests and the benchmarks (host)" build host

export E2E_REQUIRED=1
source tests/e2e/lib.sh
e2e_describe

# Side by side: the sanitizer build and its tests (compiling, most of the
# time) and the host build's tests, most of whose time is Wine waiting for
# its processes; each Wine script has a sandbox and a prefix of its own.
logs=$PWD/build/test-logs
mkdir -p "$logs"
asan() {
  local start=$SECONDS status=0
  build host-asan >"$logs/host-asan.build.log" 2>&1 || { status=$?; tail -n 40 "$logs/host-asan.build.log"; }
  echo "$((SECONDS - start))" >"$logs/host-asan.build.seconds"
  start=$SECONDS
  if [ $status = 0 ]; then ctest --preset host-asan -j2 || status=$?; fi
  echo "$((SECONDS - start))" >"$logs/host-asan.test.seconds"
  return $status
}
status=0
asan >"$logs/host-asan.log" 2>&1 &
asan_pid=$!
timed "tests: unit, size, release, uninstdat's CLI and the Wine end-to-end tests (host, side by side)" \
  ctest --preset host -j4 || status=1
asan_status=0
wait $asan_pid || asan_status=$?
echo "== the sanitizer build (clang: AddressSanitizer, UndefinedBehaviorSanitizer, libFuzzer), its unit tests and short fuzz runs"
cat "$logs/host-asan.log"
[ $asan_status = 0 ] || status=1
phase "build: the sanitizer build (host-asan, beside the tests)" "$(cat "$logs/host-asan.build.seconds" 2>/dev/null || echo 0)"
phase "tests: sanitizers and fuzzing (host-asan, beside the tests)" "$(cat "$logs/host-asan.test.seconds" 2>/dev/null || echo 0)"

if [ "$(decoy_state)" = "$decoys_before" ]; then
  echo "== HOME: the decoys are byte for byte as they were"
else
  echo "== FAIL: something changed HOME ($decoys):"
  diff <(echo "$decoys_before") <(decoy_state) || true
  status=1
fi
phase "in all" $((SECONDS - started))
echo "== seconds per phase"
printf '%s\n' "${phases[@]}"
exit $status
