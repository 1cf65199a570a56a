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
#     sandbox of its own on its own view of the prefix: the import; the run,
#     which answers every box and ANSWER (Yes or No) to the restart question
#     and waits for the batch or the restart; and the control run, which
#     takes the same path (the same restart, or none) without the
#     uninstaller, so that Wine's own changes can be told apart. After each,
#     with every process of the sandbox ended, this script (outside the
#     sandbox) writes the snapshot: WORK/{before,after,control}/files (NUL-
#     separated records: root, type, path, link target) and the three hives.
#     WORK/run.out and WORK/control.out hold the runner's account.
#
# The views are overlays on the pristine prefix, which is never written (a
# private mount namespace holds them); where no overlay can be mounted, they
# are copies. Every wait is bounded by TIMEOUT seconds. Exit 0 when the runs
# happened, 3 when Wine or the sandbox cannot run here (with the reason).
set -u
source "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/prefix.sh"
progress() { echo "try: $*" >&2; }
fail3() { echo "error: $*" >&2; exit 3; }
export E2E_FAIL_CODE=3 E2E_REQUIRED=1

# Stops the display this script started, whatever ends it.
XVFB=""
cleanup() { [ -n "$XVFB" ] && kill "$XVFB" 2>/dev/null; return 0; }
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

# Runs COMMAND... in a sandbox on the prefix PREFIX and home HOME_DIR, with
# the runner and WORK's inputs read-only under /sandbox/tools; its standard
# output goes to OUT. Every process of the sandbox has ended when it returns.
in_sandbox() {  # PREFIX HOME_DIR OUT COMMAND...
  local prefix=$1 home=$2 out=$3
  shift 3
  sandbox_args "$prefix" "$home" || exit 3
  SANDBOX_ARGS+=(--ro-bind "$RUNNER_EXE" "$SANDBOX_TOOLS/e2e_runner.exe" --chdir "$SANDBOX_PREFIX/drive_c")
  [ -n "${WORK:-}" ] && SANDBOX_ARGS+=(--ro-bind "$WORK/import.reg" "$SANDBOX_TOOLS/import.reg"
    --ro-bind "$WORK/listed.txt" "$SANDBOX_TOOLS/listed.txt")
  bwrap "${SANDBOX_ARGS[@]}" "$@" >"$out" 2>/dev/null
}

# A bounded wait for every process of the prefix, inside a sandbox; on time
# out, the processes are ended and an "error:" line says so.
WAIT='timeout "$1" "$WINESERVER" -w || { "$WINESERVER" -k; echo "error: timeout: processes of the prefix still ran after $1 s; they were ended"; }'

prepare() {
  local cache=$1 tool missing=()
  for tool in "$WINE" "$WINESERVER" "$RUNNER_EXE"; do [ -e "$tool" ] || missing+=("$tool"); done
  command -v Xvfb >/dev/null || [ -n "${DISPLAY:-}" ] || missing+=(Xvfb)
  [ ${#missing[@]} -eq 0 ] || fail3 "missing ${missing[*]} (scripts/setup.sh installs them; the win32 or win64 preset builds the runner)"
  e2e_check_wine >&2
  local version stamp dir
  version=$("$WINE" --version 2>&1 | head -n 1)
  stamp="uninstdat prefix 1, $version, $WINE_BITS-bit"
  dir=$cache/wine$WINE_BITS
  mkdir -p "$cache" || fail3 "cannot make the cache folder $cache"
  : >>"$cache/.lock" && exec 9<"$cache/.lock"
  flock 9
  if [ "$(cat "$dir/stamp" 2>/dev/null)" != "$stamp" ]; then
    progress "making the pristine Wine prefix in $dir (once for this Wine; about 20 s)"
    local fresh=$dir.new.$$
    rm -rf "$fresh" && mkdir -p "$fresh/prefix" "$fresh/home" || fail3 "cannot write $fresh"
    sandbox_args "$fresh/prefix" "$fresh/home" || exit 3
    if ! bwrap "${SANDBOX_ARGS[@]}" --ro-bind "$WINE_TOOLS/sandbox.sh" "$SANDBOX_TOOLS/sandbox.sh" \
      bash -c "source $SANDBOX_TOOLS/sandbox.sh && sandbox_make_prefix" >&2; then
      rm -rf "$fresh"
      fail3 "${WINE_BITS}-bit Wine made no prefix here"
    fi
    printf '%s\n' "$stamp" >"$fresh/stamp"
    rm -rf "$dir" && mv "$fresh" "$dir" || fail3 "cannot put the prefix in place in $dir"
  fi
  flock -u 9
  local user
  user=$(cd "$dir/prefix/drive_c/users" && ls | grep -v -x Public | head -n 1)
  local wow64=no
  [ "$WINE_BITS" = 32 ] && [ -d "$dir/prefix/drive_c/windows/syswow64" ] && wow64=yes
  printf 'bits=%s\nwow64=%s\nuser=%s\nprefix=%s\nhome=%s\nwine=%s\nuninstaller=%s\n' \
    "$WINE_BITS" "$wow64" "$user" "$dir/prefix" "$dir/home" "$version" "$UNINST_EXE"
}

# A view of the prefix and of HOME: an overlay of LOWER... (first on top) with
# its own upper folder, or a copy. Sets VIEW_PREFIX and VIEW_HOME.
OVERLAY=yes
make_view() {  # NAME LOWER_PREFIXES LOWER_HOMES (colon-separated, top first)
  local name=$1 part lowers
  for part in prefix home; do
    lowers=$2
    [ $part = home ] && lowers=$3
    mkdir -p "$WORK/$name/$part.up" "$WORK/$name/$part.work" "$WORK/$name/$part"
    if [ $OVERLAY = yes ]; then
      mount -t overlay overlay -o "lowerdir=$lowers,upperdir=$WORK/$name/$part.up,workdir=$WORK/$name/$part.work" \
        "$WORK/$name/$part" 2>/dev/null || OVERLAY=no
    fi
    if [ $OVERLAY = no ]; then
      # Lowest first, each over the one below.
      local layer layers=()
      IFS=: read -r -a layers <<<"$lowers"
      for ((i = ${#layers[@]} - 1; i >= 0; i--)); do cp -a "${layers[$i]}/." "$WORK/$name/$part/" || exit 3; done
    fi
  done
  VIEW_PREFIX=$WORK/$name/prefix
  VIEW_HOME=$WORK/$name/home
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

unmount_view() {
  [ $OVERLAY = yes ] && umount "$VIEW_PREFIX" "$VIEW_HOME" 2>/dev/null
  return 0
}

run() {
  local cache_prefix=$1 cache_home=$2 answer=$4 limit=$5 lang=$6 hold=${7:-}
  WORK=$3
  export LANG=$lang LC_ALL=$lang
  sandbox_display_args 2>/dev/null || unset DISPLAY  # a display the sandbox cannot reach: a private one
  e2e_display >&2
  XVFB=${E2E_XVFB_PID:-}
  local stack_prefix="$WORK/layer/prefix:$cache_prefix" stack_home="$WORK/layer/home:$cache_home"

  progress "importing the registry"
  make_view import "$stack_prefix" "$stack_home"
  in_sandbox "$VIEW_PREFIX" "$VIEW_HOME" "$WORK/import.out" bash -c \
    "timeout $limit \"\$WINELOADER\" regedit /S 'Z:\\sandbox\\tools\\import.reg' || echo 'error: the import did not end'; set -- $limit; $WAIT"
  snapshot before
  unmount_view
  if [ $OVERLAY = yes ]; then
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
  if [ $OVERLAY = no ]; then cp -a "$WORK/import" "$WORK/control-copy" || exit 3; fi
  control_run "$stack_prefix" "$stack_home" $control "$limit" &
  local control_pid=$!
  local options=(--yes-no "$answer" --timeout "$limit" --check 'Z:\sandbox\tools\listed.txt')
  [ -n "$hold" ] && options=(--hold "$hold" --yes-no "release:$answer" --timeout "$limit" --check 'Z:\sandbox\tools\listed.txt')
  if [ $OVERLAY = yes ]; then make_view run "$stack_prefix" "$stack_home"; else VIEW_PREFIX=$WORK/import/prefix VIEW_HOME=$WORK/import/home; fi
  in_sandbox "$VIEW_PREFIX" "$VIEW_HOME" "$WORK/run.out" bash -c \
    "timeout $((limit + 30)) \"\$WINELOADER\" 'Z:\\sandbox\\tools\\e2e_runner.exe' $(printf '%q ' "${options[@]}") --cwd 'C:\\' \"\$1\" || true; set -- $limit; $WAIT" \
    - "$(cat "$WORK/uninstaller.txt")"
  snapshot after
  unmount_view
  wait $control_pid || exit 3
  if [ $control = restart ] && ! grep -q -E '^box: .* \| (release:)?Yes$' <(tr -d '\r' <"$WORK/run.out"); then
    progress "the run asked no restart question: the control run again, without a restart"
    if [ $OVERLAY = no ]; then rm -rf "$WORK/control-copy" && cp -a "$WORK/import" "$WORK/control-copy" || exit 3; fi
    control_run "$stack_prefix" "$stack_home" none "$limit"
  fi
}

# The control run: the same start of the prefix, a window shown as the
# uninstaller shows its boxes, and the restart or none, without the
# uninstaller. Its own view and snapshot; run in the background.
control_run() {  # STACK_PREFIX STACK_HOME none|restart LIMIT
  local VIEW_PREFIX VIEW_HOME
  rm -rf "$WORK/control" "$WORK/control.snap"
  if [ $OVERLAY = yes ]; then
    make_view control "$1" "$2"
  else
    VIEW_PREFIX=$WORK/control-copy/prefix VIEW_HOME=$WORK/control-copy/home
  fi
  in_sandbox "$VIEW_PREFIX" "$VIEW_HOME" "$WORK/control.out" bash -c \
    "timeout $4 \"\$WINELOADER\" 'Z:\\sandbox\\tools\\e2e_runner.exe' --control $3 || true; set -- $4; $WAIT"
  snapshot control
  unmount_view
}

case ${1:-} in
  prepare) prepare "$2" ;;
  run)
    shift
    # The views live in a private mount namespace, gone with this script.
    if [ -z "${TRY_NAMESPACE:-}" ] && unshare --mount --propagation private true 2>/dev/null; then
      TRY_NAMESPACE=1 exec unshare --mount --propagation private bash "${BASH_SOURCE[0]}" run "$@"
    fi
    [ -n "${TRY_NAMESPACE:-}" ] || OVERLAY=no
    run "$@"
    ;;
  *) echo "usage: try.sh prepare CACHE | run CACHE_PREFIX CACHE_HOME WORK ANSWER TIMEOUT LANG [HOLD]" >&2; exit 2 ;;
esac
