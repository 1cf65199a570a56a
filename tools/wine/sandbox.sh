# The one sandbox every Wine run of the project happens in: the end-to-end
# tests, the demo and `uninstdat try`. Source it.
#
# A Wine prefix is no sandbox: Z: maps the host's /, \\?\unix\ reaches any
# host path, wineboot links the prefix's Desktop and Documents into HOME, and
# a prefix that starts runs what its registry tells it to. So Wine only ever
# runs inside a bubblewrap sandbox that sees:
#   /sandbox/prefix   the prefix, read-write          (always this path, so
#   /sandbox/home     a HOME of its own, read-write    that a prefix's absolute
#                                                      links stay right when
#                                                      it is copied)
#   /usr, a few files of /etc, and the /lib links: read-only, what Wine needs
#   /dev, /proc (of its own pid namespace), /tmp (an empty tmpfs, where the
#   sandbox's own X display lives)
# with no network, its own pid, IPC and host-name namespaces, a new session
# (no terminal injection), and every process ending with the sandbox
# (--die-with-parent, and the pid namespace ends when its first process does).
# Nothing else of the host is visible, so Z: and \\?\unix\ show only this.

SANDBOX_PREFIX=/sandbox/prefix
SANDBOX_HOME=/sandbox/home
SANDBOX_TOOLS=/sandbox/tools  # the Wine helpers (this folder), read-only
SANDBOX_INPUT=/sandbox/input  # what one session reads: the runner, the registry to import, ...
# The shell folders that wineboot links to HOME: made beforehand, each gets a
# link to a folder of its own, so that a file on the Desktop has one name.
SANDBOX_HOME_FOLDERS=(Desktop Documents Downloads Music Pictures Videos Templates)

# Environment names that pass into the sandbox when set (everything else is
# cleared: no variable may point Wine at the host).
SANDBOX_PASS_ENV=(LANG LC_ALL TERM)

# The X display. Every sandbox that shows windows starts an Xvfb of its own
# inside itself (sandbox_start_display): on the sandbox's own /tmp and in its
# own network namespace, so that no socket of it, file or abstract, can be
# reached from outside, and no client of the user's display (the terminal,
# the browser) can be read or driven from inside. Only SANDBOX_USER_DISPLAY=1
# (the demo's --interactive, which says so) binds the user's DISPLAY in:
# then what runs in the sandbox shares the user's desktop.
sandbox_display_args() {
  SANDBOX_DISPLAY_ARGS=()
  [ "${SANDBOX_USER_DISPLAY:-}" = 1 ] || return 0
  [ -n "${DISPLAY:-}" ] || { echo "error: no DISPLAY to answer the boxes on" >&2; return 1; }
  local number=${DISPLAY#unix}
  number=${number#:}
  number=${number%%.*}
  case $number in
    ''|*[!0-9]*) echo "error: the display $DISPLAY is not a local X display" >&2; return 1 ;;
  esac
  local socket=/tmp/.X11-unix/X$number
  if [ ! -S "$socket" ]; then
    echo "error: the display $DISPLAY has no socket $socket" >&2
    return 1
  fi
  SANDBOX_DISPLAY_ARGS=(--dir /tmp/.X11-unix --bind "$socket" "$socket" --setenv DISPLAY ":$number"
    --setenv SANDBOX_USER_DISPLAY 1)
  if [ -n "${XAUTHORITY:-}" ] && [ -f "$XAUTHORITY" ]; then
    SANDBOX_DISPLAY_ARGS+=(--ro-bind "$XAUTHORITY" /tmp/.Xauthority --setenv XAUTHORITY /tmp/.Xauthority)
  fi
}

# Inside a sandbox: starts its private Xvfb and sets DISPLAY, unless the
# sandbox was given the user's display. Returns once the server accepts
# clients (Xvfb writes its display number to -displayfd only then), so no
# client ever races the server's start; a server that does not come up
# within 60 s, however loaded the machine, is an error. The server ends
# with the sandbox (its pid namespace).
sandbox_start_display() {
  [ "${SANDBOX_USER_DISPLAY:-}" = 1 ] && return 0
  local ready=/tmp/.sandbox-display number=""
  rm -f "$ready" && mkfifo "$ready" || return 1
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$ready" >/tmp/xvfb.log 2>&1 &
  SANDBOX_XVFB_PID=$!
  read -r -t 60 number <"$ready"
  rm -f "$ready"
  case $number in
    ''|*[!0-9]*)
      echo "error: the sandbox's own X display did not start: $(tail -n 3 /tmp/xvfb.log 2>/dev/null | tr '\n' ' ')" >&2
      return 1 ;;
  esac
  export DISPLAY=:$number
}

# The bwrap options of a sandbox whose prefix is the host folder PREFIX and
# whose HOME is the host folder HOME_DIR, into SANDBOX_ARGS. Callers add
# their own read-only binds and then the command.
sandbox_args() {  # PREFIX HOME_DIR
  local prefix=$1 home=$2 name
  sandbox_system_args
  sandbox_display_args || return 1
  # --clearenv first: bwrap applies its options in order.
  SANDBOX_ARGS+=(--clearenv --dev /dev --proc /proc --tmpfs /tmp "${SANDBOX_DISPLAY_ARGS[@]}"
    --bind "$prefix" "$SANDBOX_PREFIX" --bind "$home" "$SANDBOX_HOME" "${SANDBOX_NAMESPACES[@]}"
    --setenv PATH /usr/bin:/bin --setenv HOME "$SANDBOX_HOME" --setenv TMPDIR /tmp
    --setenv USER "$(id -un)" --setenv LOGNAME "$(id -un)"
    --setenv WINEPREFIX "$SANDBOX_PREFIX" --setenv WINEDEBUG -all
    --setenv WINEDLLOVERRIDES "mscoree,mshtml=;winemenubuilder.exe=d")
  [ -n "${WINELOADER:-}" ] && SANDBOX_ARGS+=(--setenv WINELOADER "$WINELOADER")
  [ -n "${WINESERVER:-}" ] && SANDBOX_ARGS+=(--setenv WINESERVER "$WINESERVER")
  for name in "${SANDBOX_PASS_ENV[@]}"; do
    [ -n "${!name+set}" ] && SANDBOX_ARGS+=(--setenv "$name" "${!name}")
  done
  return 0
}

SANDBOX_NAMESPACES=(--unshare-pid --unshare-net --unshare-ipc --unshare-uts --die-with-parent --new-session)

# The read-only system part, into SANDBOX_ARGS.
sandbox_system_args() {
  local path name
  SANDBOX_ARGS=(--ro-bind /usr /usr)
  for path in /bin /sbin /lib /lib32 /lib64 /libx32; do
    if [ -L "$path" ]; then
      SANDBOX_ARGS+=(--symlink "$(readlink "$path")" "$path")
    elif [ -d "$path" ]; then
      SANDBOX_ARGS+=(--ro-bind "$path" "$path")
    fi
  done
  # Of /etc only what Wine and the C library read: the user's name, the
  # libraries' cache, fonts, the alternatives links of /usr/bin, time zone
  # and locale names. No keys, no shadow files, no host configuration.
  for name in passwd group nsswitch.conf ld.so.cache ld.so.conf ld.so.conf.d fonts alternatives \
    localtime locale.alias; do
    [ -e "/etc/$name" ] && SANDBOX_ARGS+=(--ro-bind "/etc/$name" "/etc/$name")
  done
  return 0
}

# Inside a sandbox: the Windows processes of the sandbox other than Wine's
# own services, one "PID COMMAND LINE" a line, so that a wait that ran out
# can say what was still alive (the uninstaller, the batch's cmd, ...).
sandbox_processes() {
  local dir line
  for dir in /proc/[0-9]*; do
    line=$(tr '\0' ' ' <"$dir/cmdline" 2>/dev/null) || continue
    case ${line,,} in
      *c:\\windows\\system32\\services.exe*|*c:\\windows\\system32\\winedevice.exe*|\
      *c:\\windows\\system32\\plugplay.exe*|*c:\\windows\\system32\\explorer.exe*|\
      *c:\\windows\\system32\\svchost.exe*|*c:\\windows\\system32\\rpcss.exe*|\
      *c:\\windows\\system32\\conhost.exe*) continue ;;
      [a-z]:\\*|*.exe|*.exe\ *) echo "${dir#/proc/} ${line% }" ;;
    esac
  done
}

# Why no sandbox can be made here, or nothing when one can: bwrap must be
# installed and able to make the namespaces (it works as root on these
# machines, and for other users where unprivileged user namespaces are on).
sandbox_problem() {
  if ! command -v bwrap >/dev/null 2>&1; then
    echo "bubblewrap (bwrap) is not installed; scripts/setup.sh installs it (Debian package bubblewrap)"
    return
  fi
  local out
  sandbox_system_args
  if ! out=$(bwrap "${SANDBOX_ARGS[@]}" --dev /dev --proc /proc --tmpfs /tmp "${SANDBOX_NAMESPACES[@]}" \
    /usr/bin/true 2>&1); then
    echo "bwrap cannot make a sandbox here: $(printf '%s' "$out" | head -n 2 | tr '\n' ' ')"
  fi
}

# Makes a pristine prefix: run inside a sandbox whose prefix and HOME are
# empty. The HOME folders exist first, so that wineboot links each shell
# folder to one of its own. Exit 0, or 1 with the reason on standard error.
sandbox_make_prefix() {
  local name out
  sandbox_start_display || return 1
  for name in "${SANDBOX_HOME_FOLDERS[@]}"; do mkdir -p "$SANDBOX_HOME/$name"; done
  out=$(timeout 300 "$WINELOADER" wineboot -i 2>&1)
  timeout 120 "$WINESERVER" -w || "$WINESERVER" -k
  if [ ! -f "$SANDBOX_PREFIX/system.reg" ] || [ ! -d "$SANDBOX_PREFIX/drive_c/windows" ]; then
    echo "wineboot made no prefix: $(printf '%s' "$out" | tail -n 3 | tr '\n' ' ')" >&2
    return 1
  fi
}
