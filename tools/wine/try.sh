#!/usr/bin/env bash
# The Wine side of `uninstdat try`. uninstdat checks every input, lays out
# the stage and writes the files named below; this script runs Wine on them,
# always inside the sandbox of sandbox.sh, and writes what it saw.
#
#   try.sh prepare CACHE
#     Makes the pristine prefix for this host's Wine in CACHE (once; later
#     calls find it by its stamp) and prints "key=value" lines: bits, wow64,
#     user, prefix and home (the pristine folders), wine (its version).
#
#   try.sh run CACHE_PREFIX CACHE_HOME WORK ANSWER TIMEOUT LANG [HOLD]
#     One run on one family. WORK holds layer/prefix and layer/home (the
#     stage, the uninstaller and its data file, laid over the pristine
#     prefix), import.reg (the registry and the Windows version) and
#     listed.txt (the paths the uninstaller lists). Three sessions, each a
#     sandbox of its own on its own view of the prefix, with a display of its
#     own (session.sh is the inside of each): the import; the run, which
#     answers every box and ANSWER (Yes or No) to the restart question and
#     waits for the batch or the restart; and the control run, which takes
#     the same path (the same restart, or none) without the uninstaller, so
#     that Wine's own changes can be told apart. After each, with every
#     process of the sandbox ended, this script (outside the sandbox) writes
#     the snapshot: WORK/{before,after,control}/files (NUL-separated
#     records: root, type, path, link target) and the three hives.
#     WORK/run.out, WORK/control.out and WORK/import.out hold the sessions'
#     accounts, WORK/*.log Wine's own messages.
#
# The views are overlays on the pristine prefix, which is never written (a
# private mount namespace holds them); where no overlay can be mounted, they
# are copies. Every wait is bounded by TIMEOUT seconds. Exit 0 when the runs
# happened, 3 when Wine or the sandbox cannot run here (with the reason).
set -u
source "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/prefix.sh"
tool_script try

prepare() {
  local cache=$1 tool missing=()
  for tool in "$WINE" "$WINESERVER" "$RUNNER_EXE"; do [ -e "$tool" ] || missing+=("$tool"); done
  command -v Xvfb >/dev/null || missing+=(Xvfb)
  [ ${#missing[@]} -eq 0 ] || fail3 "missing ${missing[*]} (scripts/setup.sh installs them; the win32 or win64 preset builds the runner)"
  wine_problem=$(wine_check 2>&1) || fail3 "$wine_problem"
  pristine_prefix "$cache" || exit 3
  local user
  user=$(cd "$PRISTINE_PREFIX/drive_c/users" && ls | grep -v -x Public | head -n 1)
  local wow64=no
  [ "$WINE_BITS" = 32 ] && [ -d "$PRISTINE_PREFIX/drive_c/windows/syswow64" ] && wow64=yes
  printf 'bits=%s\nwow64=%s\nuser=%s\nprefix=%s\nhome=%s\nwine=%s\nuninstaller=%s\n' \
    "$WINE_BITS" "$wow64" "$user" "$PRISTINE_PREFIX" "$PRISTINE_HOME" "$("$WINE" --version 2>&1 | head -n 1)" "$UNINST_EXE"
}

# The snapshot of a view, written from outside the sandbox: every drive of
# the prefix and HOME as NUL-separated records (links as links, never
# followed), and the three hives.
snapshot() {  # NAME
  local out=$WORK/$1.snap link letter target
  mkdir -p "$out"
  {
    find "$VIEW_PREFIX/drive_c" -mindepth 1 -printf 'C\0%y\0%P\0%l\0'
    for link in "$VIEW_PREFIX"/dosdevices/?:; do
      letter=$(basename "$link" | tr -d : | tr 'a-z' 'A-Z')
      target=$(readlink "$link")
      case $target in
        ../drive_[a-z]) [ "$letter" = C ] || find "$VIEW_PREFIX/${target#../}" -mindepth 1 -printf "$letter\\0%y\\0%P\\0%l\\0" ;;
      esac
    done
    find "$VIEW_HOME" -mindepth 1 -printf 'HOME\0%y\0%P\0%l\0'
  } >"$out/files"
  for hive in system user userdef; do cp "$VIEW_PREFIX/$hive.reg" "$out/$hive.reg" 2>/dev/null || : >"$out/$hive.reg"; done
}

run() {
  local cache_prefix=$1 cache_home=$2 answer=$4 limit=$5 lang=$6 hold=${7:-}
  WORK=$3
  # What each session reads besides the Wine helpers (see in_sandbox).
  SESSION_BINDS=("$RUNNER_EXE" "$SANDBOX_INPUT/runner.exe" "$WORK/import.reg" "$SANDBOX_INPUT/import.reg"
    "$WORK/listed.txt" "$SANDBOX_INPUT/listed.txt")
  export LANG=$lang LC_ALL=$lang
  local stack_prefix="$WORK/layer/prefix:$cache_prefix" stack_home="$WORK/layer/home:$cache_home"

  progress "importing the registry"
  make_view "$WORK/import" "$stack_prefix" "$stack_home" || exit 3
  in_sandbox "$VIEW_PREFIX" "$VIEW_HOME" import import "$limit"
  snapshot before
  unmount_view
  if [ "$VIEW_OVERLAY" = yes ]; then
    stack_prefix="$WORK/import/prefix.up:$stack_prefix"
    stack_home="$WORK/import/home.up:$stack_home"
  fi

  # The run and the control run side by side, each in its own sandbox on its
  # own view. The control run takes the restart the run will take when the
  # answer is Yes; if the run then asked no question, it is made again
  # without one.
  local control=none
  [ "$answer" = Yes ] && control=restart
  progress "running the uninstaller (answering $answer to the restart question) and the control run"
  if [ "$VIEW_OVERLAY" = no ]; then cp -a "$WORK/import" "$WORK/control-copy" || exit 3; fi
  control_run "$stack_prefix" "$stack_home" $control "$limit" &
  local control_pid=$!
  if [ "$VIEW_OVERLAY" = yes ]; then make_view "$WORK/run" "$stack_prefix" "$stack_home" || exit 3
  else VIEW_PREFIX=$WORK/import/prefix VIEW_HOME=$WORK/import/home; fi
  in_sandbox "$VIEW_PREFIX" "$VIEW_HOME" run run "$limit" "$answer" "$(cat "$WORK/uninstaller.txt")" ${hold:+"$hold"}
  snapshot after
  unmount_view
  wait $control_pid || exit 3
  if [ $control = restart ] && ! grep -q -E '^box: .* \| Yes$' "$WORK/run.out"; then
    progress "the run asked no restart question: the control run again, without a restart"
    if [ "$VIEW_OVERLAY" = no ]; then rm -rf "$WORK/control-copy" && cp -a "$WORK/import" "$WORK/control-copy" || exit 3; fi
    control_run "$stack_prefix" "$stack_home" none "$limit"
  fi
}

# The control run: the same start of the prefix, a window shown as the
# uninstaller shows its boxes, and the restart or none, without the
# uninstaller. Its own view and snapshot; run in the background.
control_run() {  # STACK_PREFIX STACK_HOME none|restart LIMIT
  local VIEW_PREFIX VIEW_HOME
  rm -rf "$WORK/control" "$WORK/control.snap"
  if [ "$VIEW_OVERLAY" = yes ]; then
    make_view "$WORK/control" "$1" "$2" || exit 3
  else
    VIEW_PREFIX=$WORK/control-copy/prefix VIEW_HOME=$WORK/control-copy/home
  fi
  in_sandbox "$VIEW_PREFIX" "$VIEW_HOME" control control "$4" "$3"
  snapshot control
  unmount_view
}

case ${1:-} in
  prepare) prepare "$2" ;;
  run)
    shift
    # The views live in a private mount namespace, gone with this script.
    enter_mount_namespace "${BASH_SOURCE[0]}" run "$@"
    run "$@"
    ;;
  *) echo "usage: try.sh prepare CACHE | run CACHE_PREFIX CACHE_HOME WORK ANSWER TIMEOUT LANG [HOLD]" >&2; exit 2 ;;
esac
