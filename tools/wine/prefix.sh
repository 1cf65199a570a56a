# The Wine side of running the real uninst.exe, shared by `uninstdat try`,
# the end-to-end tests and the demo: the build and the Wine for this host,
# the sandbox every Wine run happens in (sandbox.sh), the pristine prefix
# and the views every run works on. Source it; it finds ROOT (the
# repository) itself, also through a link to it. In a release bundle these
# helpers stand in its folder "wine" with host.sh, the runners and the 64-bit
# test build, and the shipped uninst.exe lies beside that folder. Set before:
#   UNINST_EXE      the uninstaller to run (default: the chosen build's)
#   RUNNER_EXE      the runner (default: the chosen build's)
#   UNINST_WINE     32 or 64 to force a path

WINE_TOOLS=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")" && pwd)
ROOT=${ROOT:-$(cd "$WINE_TOOLS/../.." && pwd)}
WINE_BUNDLE=""
[ -f "$WINE_TOOLS/host.sh" ] && WINE_BUNDLE=$WINE_TOOLS
source "${WINE_BUNDLE:-$ROOT/scripts}/host.sh"
source "$WINE_TOOLS/sandbox.sh"

# The build and the Wine: the shipped 32-bit uninst.exe under 32-bit Wine
# where this host executes 32-bit programs, else the 64-bit build under 64-bit
# Wine; UNINST_WINE=32 or 64 forces one. Debian's `wine` script would pick the
# 32-bit loader whenever it is installed, even where it cannot run, so the
# loader and the server are called directly, and WINELOADER makes Wine's own
# child processes use the same loader.
WINE_BITS=$(wine_bits) || exit 1
if [ "$WINE_BITS" = 32 ]; then
  WIN_BUILD_DIR=${WIN32_BUILD_DIR:-$ROOT/build/win32}
  WINE=/usr/lib/wine/wine
  WIN_PROGRAM_FILES='C:\Program Files (x86)'  # a 32-bit program in a 64-bit prefix
  WIN_SYSTEM_DIR='C:\windows\syswow64'
else
  WIN_BUILD_DIR=${WIN64_BUILD_DIR:-$ROOT/build/win64}
  WINE=/usr/lib/wine/wine64
  WIN_PROGRAM_FILES='C:\Program Files'
  WIN_SYSTEM_DIR='C:\windows\system32'
fi
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver32
export WINELOADER=$WINE WINESERVER
if [ -n "$WINE_BUNDLE" ] && [ "$WINE_BITS" = 32 ]; then
  UNINST_EXE=${UNINST_EXE:-$WINE_BUNDLE/../uninst.exe}
  RUNNER_EXE=${RUNNER_EXE:-$WINE_BUNDLE/runner32.exe}
elif [ -n "$WINE_BUNDLE" ]; then
  UNINST_EXE=${UNINST_EXE:-$WINE_BUNDLE/uninst-x64-TEST-ONLY-never-ship.exe}
  RUNNER_EXE=${RUNNER_EXE:-$WINE_BUNDLE/runner64.exe}
fi
UNINST_EXE=${UNINST_EXE:-$WIN_BUILD_DIR/uninst.exe}
RUNNER_EXE=${RUNNER_EXE:-$WIN_BUILD_DIR/wine_runner.exe}

# Inside the sandbox: the prefix and its drive C:.
WINEPREFIX=$SANDBOX_PREFIX
DRIVE_C=$WINEPREFIX/drive_c
WINE_USER=$(id -un)

# Why this Wine cannot run here, on standard output, with status 1; nothing
# when it can (the sandbox included). Wine never runs unsealed.
wine_check() {
  if [ "$WINE_BITS" = 32 ] && ! host_runs_32bit; then
    echo "${WINE_BITS}-bit Wine cannot start here: this host does not execute 32-bit programs (Exec format error), so the 32-bit loader cannot run; unset UNINST_WINE or set it to 64"
    return 1
  fi
  local out
  if ! out=$("$WINE" --version 2>&1); then
    echo "${WINE_BITS}-bit Wine cannot start here: $WINE --version answered: $(printf '%s' "$out" | head -n 2 | tr '\n' ' ')"
    return 1
  fi
  out=$(sandbox_problem)
  if [ -n "$out" ]; then
    echo "no sandbox for Wine: $out"
    return 1
  fi
}

# The pristine prefix of this host's Wine, made once in CACHE/wine32 (or
# wine64) inside a sandbox and stamped with the Wine version (another Wine
# makes it again), under a lock so that scripts started at once make it
# once; nothing ever writes in it again: every run works on a view of it.
# Sets PRISTINE_PREFIX and PRISTINE_HOME. Status 1, with the reason on
# standard error, when it cannot be made.
PRISTINE_STAMP_VERSION=2  # 2: made with the sandbox's own display
pristine_prefix() {  # CACHE
  local cache=$1 version stamp dir fresh status=0
  version=$("$WINE" --version 2>&1 | head -n 1)
  stamp="uninstdat prefix $PRISTINE_STAMP_VERSION, $version, $WINE_BITS-bit"
  dir=$cache/wine$WINE_BITS
  mkdir -p "$cache" && : >>"$cache/.lock" || { echo "error: cannot make the cache folder $cache" >&2; return 1; }
  {
    flock 9
    if [ "$(cat "$dir/stamp" 2>/dev/null)" != "$stamp" ]; then
      echo "making the pristine Wine prefix in $dir (once for this Wine; about 20 s)" >&2
      fresh=$dir.new.$$
      rm -rf "$fresh" && mkdir -p "$fresh/prefix" "$fresh/home" || { echo "error: cannot write $fresh" >&2; return 1; }
      # Its own display even for the interactive demo: nothing of the
      # prefix's making needs the user's.
      SANDBOX_USER_DISPLAY="" sandbox_args "$fresh/prefix" "$fresh/home" || return 1
      if ! bwrap "${SANDBOX_ARGS[@]}" --ro-bind "$WINE_TOOLS" "$SANDBOX_TOOLS" \
        bash "$SANDBOX_TOOLS/session.sh" make-prefix >&2; then
        rm -rf "$fresh"
        echo "error: ${WINE_BITS}-bit Wine made no prefix here" >&2
        return 1
      fi
      printf '%s\n' "$stamp" >"$fresh/stamp"
      rm -rf "$dir" && mv "$fresh" "$dir" || { echo "error: cannot put the prefix in place in $dir" >&2; status=1; }
    fi
  } 9<"$cache/.lock"
  PRISTINE_PREFIX=$dir/prefix
  PRISTINE_HOME=$dir/home
  return $status
}

# Views: a prefix and a HOME to run in, each an overlay of lower folders
# (first on top) with an upper folder of its own, so that the pristine
# prefix is only read and a view costs nothing to make; where no overlay can
# be mounted (no private mount namespace), a copy. Overlays need a private
# mount namespace, where they go away with the process that made them:
# enter_mount_namespace runs the calling script again inside one.
VIEW_OVERLAY=${VIEW_OVERLAY:-yes}
enter_mount_namespace() {  # SCRIPT ARGS...
  if [ -z "${WINE_MOUNT_NAMESPACE:-}" ] && unshare --mount --propagation private true 2>/dev/null; then
    WINE_MOUNT_NAMESPACE=1 exec unshare --mount --propagation private bash "$@"
  fi
  [ -n "${WINE_MOUNT_NAMESPACE:-}" ] || VIEW_OVERLAY=no
}

# Makes the view DIR/prefix and DIR/home over the colon-separated lower
# folders (top first). Sets VIEW_PREFIX and VIEW_HOME; status 1 when even a
# copy cannot be made.
make_view() {  # DIR LOWER_PREFIXES LOWER_HOMES
  local dir=$1 part lowers layer i layers=()
  for part in prefix home; do
    lowers=$2
    [ $part = home ] && lowers=$3
    mkdir -p "$dir/$part.up" "$dir/$part.work" "$dir/$part" || return 1
    if [ "$VIEW_OVERLAY" = yes ]; then
      mount -t overlay overlay -o "lowerdir=$lowers,upperdir=$dir/$part.up,workdir=$dir/$part.work" \
        "$dir/$part" 2>/dev/null || VIEW_OVERLAY=no
    fi
    if [ "$VIEW_OVERLAY" = no ]; then
      # Lowest first, each over the one below.
      IFS=: read -r -a layers <<<"$lowers"
      for ((i = ${#layers[@]} - 1; i >= 0; i--)); do cp -a "${layers[$i]}/." "$dir/$part/" || return 1; done
    fi
  done
  VIEW_PREFIX=$dir/prefix
  VIEW_HOME=$dir/home
}

unmount_view() {
  [ "$VIEW_OVERLAY" = yes ] && umount "$VIEW_PREFIX" "$VIEW_HOME" 2>/dev/null
  return 0
}


# The start that try.sh and capture.sh share: their progress lines and
# errors in the tool's own words, and a signal that ends the script through
# its EXIT trap, so that its views are unmounted and its work folder goes.
tool_script() {  # NAME
  TOOL_NAME=$1
  trap 'exit 143' TERM INT HUP
}
progress() { echo "$TOOL_NAME: $*" >&2; }
fail3() { echo "error: $*" >&2; exit 3; }

# Runs session.sh with ARGS in a sandbox on the prefix PREFIX and home
# HOME_DIR, with the Wine helpers and the caller's SESSION_BINDS (pairs of
# outside path and sandbox path) read-only; the account goes to
# WORK/NAME.out, Wine's messages to WORK/NAME.log. Every process of the
# sandbox has ended when it returns; a sandbox that cannot be set up ends
# the script with 3.
in_sandbox() {  # PREFIX HOME_DIR NAME ARGS...
  local prefix=$1 home=$2 name=$3 i
  shift 3
  sandbox_args "$prefix" "$home" || exit 3
  SANDBOX_ARGS+=(--ro-bind "$WINE_TOOLS" "$SANDBOX_TOOLS")
  for ((i = 0; i < ${#SESSION_BINDS[@]}; i += 2)); do
    SANDBOX_ARGS+=(--ro-bind "${SESSION_BINDS[i]}" "${SESSION_BINDS[i + 1]}")
  done
  SANDBOX_ARGS+=(--chdir "$SANDBOX_PREFIX/drive_c")
  bwrap "${SANDBOX_ARGS[@]}" bash "$SANDBOX_TOOLS/session.sh" "$@" >"$WORK/$name.out" 2>"$WORK/$name.log"
}
