#!/usr/bin/env bash
# Runs Wine scripts and `uninstdat try` many times while every core is kept
# busy, the way a loaded CI machine runs them, and prints each failure with
# its output: a check that fails at random shows here, not in someone's CI.
#
#   scripts/soak.sh [--jobs J] [--no-load] [--out DIR] RUNS TARGET...
#
# TARGET is an end-to-end script (tests/e2e/test_restart.sh, or its name,
# test_restart), `try` (a product of one file and one entry, on the NT
# family) or `try:FAMILIES` (the same on those families, such as
# try:nt,98,95). Each target runs RUNS times; J runs at a time (default 1),
# each target's runs one after another. Unless --no-load, one busy loop per
# core runs the whole time. Every run's output is kept in DIR (default
# build/soak) as TARGET.N.log. Exit 0 when no run failed, 1 otherwise, 2 for
# usage. Needs the builds that ./test.sh makes (win32 or win64, and host).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=1 load=yes out=$root/build/soak
usage() { echo "usage: scripts/soak.sh [--jobs J] [--no-load] [--out DIR] RUNS TARGET..." >&2; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
    --jobs) [ $# -ge 2 ] || usage; jobs=$2; shift 2 ;;
    --no-load) load=no; shift ;;
    --out) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -ge 2 ] || usage
runs=$1
shift
case $runs in ''|*[!0-9]*|0) usage ;; esac
case $jobs in ''|*[!0-9]*|0) usage ;; esac

# Every target, checked before anything runs.
targets=()
for target in "$@"; do
  case $target in
    try|try:*) targets+=("$target") ;;
    *)
      script=$target
      [ -f "$script" ] || script=$root/tests/e2e/${target%.sh}.sh
      [ -f "$script" ] || { echo "soak: no end-to-end script $target" >&2; exit 2; }
      targets+=("$(readlink -f "$script")") ;;
  esac
done

mkdir -p "$out"
out=$(cd "$out" && pwd)
# Nothing reaches the user's home: a HOME and a cache of the soak's own.
export HOME=$out/home XDG_CACHE_HOME=$root/build/host/e2e/cache E2E_REQUIRED=1
export WIN32_BUILD_DIR=$root/build/win32 WIN64_BUILD_DIR=$root/build/win64 E2E_WORK=$root/build/host/e2e
export UNINSTDAT=$root/build/host/uninstdat
mkdir -p "$out/home"
[ -x "$UNINSTDAT" ] || { echo "soak: $UNINSTDAT is not built (./test.sh builds it)" >&2; exit 2; }

# The one-file product that `try` runs.
product=$out/one-file
rm -rf "$product" && mkdir -p "$product/stage/files/C/Program Files/One"
echo one >"$product/stage/files/C/Program Files/One/one.exe"
cat >"$product/one.json" <<'JSON'
{"codePage": 1252, "allUsers": false, "removalEntries": ["one.exe"], "registryList": [], "programGroup": "",
 "desktopShortcuts": [], "sendToShortcuts": [], "startMenuShortcuts": [], "startupShortcuts": [],
 "messageCaption": "One", "confirmPrompt": "Remove One?", "runningPrompt": "Close One first.",
 "closingMessage": "One was removed.", "reservedText": "", "restartPrompt": "Restart now?"}
JSON

loaders=()
stop_load() { [ ${#loaders[@]} -eq 0 ] || kill "${loaders[@]}" 2>/dev/null; return 0; }
trap stop_load EXIT
trap 'exit 130' INT TERM
if [ $load = yes ]; then
  for _ in $(seq 1 "$(nproc)"); do
    (trap - INT TERM; while :; do :; done) &
    loaders+=($!)
  done
  echo "soak: $(nproc) busy loops keep every core busy"
fi

# One run of a target: its output in LOG, its seconds on standard output.
run_once() {  # TARGET LOG
  local target=$1 log=$2 status=0 start=$SECONDS
  case $target in
    try|try:*)
      local families=nt
      [ "$target" = try ] || families=${target#try:}
      "$UNINSTDAT" try "$product/one.json" --stage "$product/stage" --install-folder 'C:\Program Files\One' \
        --family "$families" >"$log" 2>&1 || status=$?
      ;;
    *) bash "$target" >"$log" 2>&1 || status=$? ;;
  esac
  echo "$status $((SECONDS - start))"
}

# Each target's runs one after another, J targets at a time; a summary line
# per target in OUT/TARGET.summary.
soak_target() {  # TARGET
  local target=$1 name n result failed=0 seconds=0
  name=$(basename "${target%.sh}")
  name=${name//[:,]/-}
  for n in $(seq 1 "$runs"); do
    result=$(run_once "$target" "$out/$name.$n.log")
    seconds=$((seconds + ${result#* }))
    if [ "${result% *}" != 0 ]; then
      failed=$((failed + 1))
      {
        echo "=== FAIL $name, run $n of $runs (exit ${result% *}, ${result#* } s): $out/$name.$n.log"
        grep -E '^(FAIL|error|       )|did not end well|Result:|uninstdat:' "$out/$name.$n.log" | head -n 40
      } >&2
    else
      rm -f "$out/$name.$n.log"
    fi
  done
  echo "$name $runs $failed $((seconds / runs))" >"$out/$name.summary"
}

pids=()
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge $((jobs + ${#loaders[@]})) ]; do sleep 1; done
  soak_target "$target" &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || true; done
stop_load

total_failed=0
printf '%-28s %6s %8s %10s\n' target runs failed 's/run'
for target in "${targets[@]}"; do
  name=$(basename "${target%.sh}")
  name=${name//[:,]/-}
  read -r n r f s <"$out/$name.summary"
  printf '%-28s %6s %8s %10s\n' "$n" "$r" "$f" "$s"
  total_failed=$((total_failed + f))
done
[ $total_failed -eq 0 ]
