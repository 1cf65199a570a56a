#!/usr/bin/env bash
# Breaks the code's decisions one at a time and reports which breaks the unit
# tests fail to catch. The breaks are listed in tests/mutations.txt (its head
# says how to write one) for the engine, and in tests/mutations_tool.txt for
# uninstdat. Each is applied to a temporary copy of the tree, never to the
# working tree; the list's test binary is rebuilt there (host preset, that
# target only, in one build folder kept for the whole run, so each break
# recompiles little) and run. A break whose text does not occur exactly once,
# or that does not compile, is an error of the list, never counted as caught.
#   scripts/mutate.sh [--list FILE] [--target NAME] [--only TEXT] [--keep]
#     --list FILE    the breaks (default tests/mutations.txt)
#     --target NAME  the test binary's CMake target; default: the list's
#                    "target: NAME" line, else unit_tests (the engine's)
#     --only TEXT    only the breaks whose file or reason contains TEXT
#     --keep         leave the temporary copy for a look (its path is printed)
# Exit status: 0 when every break is caught or accepted, 1 when one survives
# unaccepted, 2 on an error of the list or a failing baseline.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list=$root/tests/mutations.txt
only=""
keep=no
test_target=""
while [ $# -gt 0 ]; do
  case $1 in
    --list) list=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
    --target) test_target=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --keep) keep=yes; shift ;;
    *) echo "usage: scripts/mutate.sh [--list FILE] [--target NAME] [--only TEXT] [--keep]" >&2; exit 2 ;;
  esac
done
[ -f "$list" ] || { echo "no list: $list" >&2; exit 2; }
# A list names the binary that tests its units in a "target:" line of its
# own; one that names none is the engine's.
if [ -z "$test_target" ]; then
  test_target=$(sed -n 's/^target: *//p' "$list" | head -1)
  test_target=${test_target:-unit_tests}
fi
case $test_target in *[!A-Za-z0-9_]*|"") echo "not a target name: $test_target" >&2; exit 2 ;; esac
jobs=${JOBS:-2}
timeout_s=${MUTATE_TIMEOUT:-30}

work=$(mktemp -d "${TMPDIR:-/tmp}/mutate.XXXXXX")
if [ $keep = no ]; then trap 'rm -rf "$work"' EXIT; else echo "temporary copy: $work"; fi
src=$work/src
mkdir -p "$src"
# What git tracks or would track (so uncommitted edits count), without builds.
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
  tar --null --ignore-failed-read -T - -cf - 2>/dev/null) | tar -xf - -C "$src" || {
  echo "could not copy the tree" >&2; exit 2; }

build() {  # builds the test binary in the copy; output to $work/build.log
  (cd "$src" && cmake --preset host && cmake --build build/host -j"$jobs" --target "$test_target") \
    >"$work/build.log" 2>&1
}
run_tests() {  # runs them; output to $work/test.log; the status of the run
  # Bounded in time and memory: a break may turn a loop into an endless one.
  (cd "$src" && ulimit -v 2097152 && timeout "$timeout_s" "build/host/$test_target" --gtest_brief=1) \
    >"$work/test.log" 2>&1
}
failed_tests() {  # the tests the last run failed, or how it ended
  local status=$1 names
  names=$(grep -o '^\[  FAILED  \] [A-Za-z0-9_/.]*' "$work/test.log" | awk '{print $4}' | sort -u | head -4 | tr '\n' ' ')
  if [ "$status" = 124 ]; then echo "timeout after ${timeout_s} s"
  elif [ -n "$names" ]; then echo "$names"
  elif [ "$status" -gt 128 ]; then echo "crash (signal $((status - 128)))"
  else echo "exit $status"; fi
}

echo "== baseline: $(basename "$list"), $test_target, build in $work"
build || { tail -20 "$work/build.log"; echo "the unchanged tree does not build" >&2; exit 2; }
run_tests || { tail -20 "$work/test.log"; echo "the unchanged tree fails its tests" >&2; exit 2; }

total=0 caught=0 survived=0 accepted=0 errors=0
survivors=() list_errors=()

# Applies one break: counts the original text in the file, replaces it, and
# prints the count. The texts come through files so that nothing is escaped.
apply() {  # FILE FROM TO
  python3 - "$1" "$2" "$3" <<'PY'
import sys
path = sys.argv[1]
old, new = (open(name, "rb").read() for name in sys.argv[2:4])
text = open(path, "rb").read()
count = text.count(old)
if count == 1:
    open(path, "wb").write(text.replace(old, new))
print(count)
PY
}

try_break() {  # number, fields of the entry in globals
  local n=$1 where="$list:$line_no" target=$src/$file outcome count status
  total=$((total + 1))
  local title="#$n $file: $why"
  if [ -z "$file" ] || [ -z "$why" ] || [ $has_from = no ] || [ $has_to = no ]; then
    errors=$((errors + 1)); list_errors+=("$where: an entry needs file, from, to and why")
    echo "LIST ERROR $title: incomplete entry ($where)"; return
  fi
  if [ ! -f "$target" ]; then
    errors=$((errors + 1)); list_errors+=("$where: no file $file")
    echo "LIST ERROR $title: no such file"; return
  fi
  printf '%s' "$from" >"$work/from"
  printf '%s' "$to" >"$work/to"
  [ "$from" != "$to" ] || { errors=$((errors + 1)); list_errors+=("$where: from and to are the same")
    echo "LIST ERROR $title: from and to are the same"; return; }
  cp "$target" "$work/original"
  count=$(apply "$target" "$work/from" "$work/to")
  if [ "$count" != 1 ]; then
    errors=$((errors + 1)); list_errors+=("$where: the original text occurs $count times in $file")
    echo "LIST ERROR $title: the original text occurs $count times"; return
  fi
  if ! build; then
    cp "$work/original" "$target"
    errors=$((errors + 1))
    list_errors+=("$where: does not compile: $(grep -m1 -E 'error' "$work/build.log")")
    echo "LIST ERROR $title: does not compile"; return
  fi
  run_tests 2>/dev/null; status=$?  # the shell's own word on a crash is not wanted
  cp "$work/original" "$target"  # a new time stamp: the next build compiles it again
  if [ $status -eq 126 ] || [ $status -eq 127 ]; then  # no test ran: nothing was caught
    errors=$((errors + 1)); list_errors+=("$where: the test binary did not run: $(head -1 "$work/test.log")")
    echo "LIST ERROR $title: the test binary did not run"; return
  fi
  if [ $status -ne 0 ]; then
    caught=$((caught + 1))
    outcome="caught by $(failed_tests $status)"
    [ -n "$accept" ] && outcome="$outcome (listed as accepted: drop its accepted line)"
    echo "caught     $title -- $outcome"
  elif [ -n "$accept" ]; then
    accepted=$((accepted + 1))
    echo "accepted   $title -- survives: $accept"
  else
    survived=$((survived + 1)); survivors+=("$title ($where)")
    echo "SURVIVED   $title"
  fi
}

# The list: blocks of "key: value" lines separated by blank lines; "#" lines
# are comments. A key given again continues its text on a new line.
n=0 line_no=0
reset() { file="" from="" to="" why="" accept="" has_from=no has_to=no start=0; }
finish() {
  [ $start -eq 0 ] && return
  n=$((n + 1))
  if [ -z "$only" ] || [[ "$file $why" == *"$only"* ]]; then
    local saved=$line_no; line_no=$start; try_break $n; line_no=$saved
  fi
  reset
}
reset
while IFS= read -r text || [ -n "$text" ]; do
  line_no=$((line_no + 1))
  case $text in
    "#"*|"target: "*) continue ;;  # the list's test binary, read above
    "") finish; continue ;;
  esac
  [ $start -eq 0 ] && start=$line_no
  key=${text%%:*} value=${text#*:}
  value=${value# }
  case $key in
    file) file=$value ;;
    why) why=$value ;;
    accepted) accept=$value ;;
    from) if [ $has_from = yes ]; then from+=$'\n'$value; else from=$value; has_from=yes; fi ;;
    to) if [ $has_to = yes ]; then to+=$'\n'$value; else to=$value; has_to=yes; fi ;;
    *) errors=$((errors + 1)); list_errors+=("$list:$line_no: unknown key '$key'") ;;
  esac
done <"$list"
finish

echo
echo "$total breaks: $caught caught, $survived survived, $accepted accepted survivors, $errors errors of the list"
for s in "${survivors[@]+"${survivors[@]}"}"; do echo "  survived: $s"; done
for e in "${list_errors[@]+"${list_errors[@]}"}"; do echo "  list error: $e"; done
[ $errors -eq 0 ] || exit 2
[ $survived -eq 0 ] || exit 1
exit 0
