# The Wine side of running the real uninst.exe, shared by the end-to-end
# tests, the demo and `uninstdat try`: the build and the Wine for this host,
# the sandbox every Wine run happens in (sandbox.sh), a display, and the
# runner that answers message boxes. Source it; it finds ROOT (the
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
RUNNER_EXE=${RUNNER_EXE:-$WIN_BUILD_DIR/e2e_runner.exe}

# Inside the sandbox: the prefix and its drive C:.
WINEPREFIX=$SANDBOX_PREFIX
DRIVE_C=$WINEPREFIX/drive_c
WINE_USER=$(id -un)

# Wine only inside the sandbox: outside it a prefix would be the user's.
# Wine's server of a prefix ends the moment its last process does (Debian
# starts it with -p0), and a command that starts in that moment is refused
# before it does anything ("wine client error:0: recvmsg: Connection reset
# by peer"). Such a command is made again once that server has gone (each
# wait takes about half a second, so only a refused command pays it).
wine() { wine_by "$WINE" "$@"; }
# The same through a given Wine loader (wine64 for a 64-bit program).
wine_by() {
  [ -n "${E2E_SANDBOXED:-}" ] || { echo "error: Wine runs only inside the sandbox (e2e_setup)" >&2; return 1; }
  local loader=$1 attempt status
  shift
  for attempt in 1 2 3; do
    status=0
    "$loader" "$@" 2>"$TMPDIR/wine.err" || status=$?
    grep -q '^wine client error' "$TMPDIR/wine.err" || break
    timeout 60 "$WINESERVER" -w >/dev/null 2>&1
  done
  cat "$TMPDIR/wine.err" >&2
  return $status
}
wineserver() {
  [ -n "${E2E_SANDBOXED:-}" ] || { echo "error: Wine runs only inside the sandbox (e2e_setup)" >&2; return 1; }
  "$WINESERVER" "$@"
}

# What the run uses, for the first line of every test's and the demo's output.
e2e_describe() {
  local version="not installed yet"
  [ -x "$WINE" ] && version=$("$WINE" --version 2>&1 | head -n 1)
  echo "e2e: ${WINE_BITS}-bit uninst.exe (${UNINST_EXE#$ROOT/}) under ${WINE_BITS}-bit Wine ($WINE, $version), in a bubblewrap sandbox"
  export E2E_DESCRIBED=1
}

# A test that cannot run where it should: under ./test.sh (E2E_REQUIRED=1)
# that is a failure; run alone, the test reports itself skipped (exit 77).
e2e_require() {
  local missing=()
  for tool in "$WINE" "$WINESERVER"; do [ -x "$tool" ] || missing+=("$tool"); done
  command -v Xvfb >/dev/null || [ -n "${DISPLAY:-}" ] || missing+=(Xvfb)
  command -v bwrap >/dev/null || missing+=(bwrap)
  for file in "$UNINST_EXE" "$RUNNER_EXE"; do [ -f "$file" ] || missing+=("$file"); done
  if [ ${#missing[@]} -gt 0 ]; then
    if [ "${E2E_REQUIRED:-0}" = 1 ]; then
      echo "error: missing ${missing[*]} (./test.sh installs and builds them)"
      exit "${E2E_FAIL_CODE:-1}"
    fi
    echo "SKIPPED: missing ${missing[*]} (./test.sh installs and builds them)"
    exit 77
  fi
}

# Wine that cannot start, or a sandbox that cannot be made, is one error that
# names the cause; Wine never runs unsealed.
e2e_wine_fails() {
  echo "error: ${WINE_BITS}-bit Wine cannot start here: $1"
  exit "${E2E_FAIL_CODE:-1}"
}
e2e_check_wine() {
  if [ "$WINE_BITS" = 32 ] && ! host_runs_32bit; then
    e2e_wine_fails "this host does not execute 32-bit programs (Exec format error), so the 32-bit loader cannot run; unset UNINST_WINE or set it to 64"
  fi
  local out
  if ! out=$("$WINE" --version 2>&1); then
    e2e_wine_fails "$WINE --version answered: $(printf '%s' "$out" | head -n 2 | tr '\n' ' ')"
  fi
  out=$(sandbox_problem)
  if [ -n "$out" ]; then
    echo "error: no sandbox for Wine: $out"
    exit "${E2E_FAIL_CODE:-1}"
  fi
}

# Starts a private X display unless one is given.
e2e_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq 90 140); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    E2E_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do [ -e /tmp/.X11-unix/X$n ] && return 0; sleep 0.1; done
  done
  echo "error: no X display could be started" >&2
  exit 1
}

# The Windows folders of the prefix as this build sees them.
WIN_USER_DIR="C:\\users\\$WINE_USER"
WIN_OWN_START="$WIN_USER_DIR\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"
WIN_ALL_START='C:\ProgramData\Microsoft\Windows\Start Menu'

# The prefix's folders as an uninstdat machine description (--machine FILE).
write_wine_machine() {
  j() { printf '"%s"' "${1//\\/\\\\}"; }  # a JSON text of a Windows path
  cat >"$1" <<JSON
{
  "windowsDir": $(j 'C:\windows'), "systemDir": $(j "$WIN_SYSTEM_DIR"),
  "tempDir": $(j "$WIN_USER_DIR\\AppData\\Local\\Temp\\"),
  "programFilesDir": $(j "$WIN_PROGRAM_FILES"), "commonFilesDir": $(j "$WIN_PROGRAM_FILES\\Common Files"),
  "shellFolders": {
    "desktop": $(j "$WIN_USER_DIR\\Desktop"), "commonDesktop": $(j 'C:\users\Public\Desktop'),
    "sendTo": $(j "$WIN_USER_DIR\\AppData\\Roaming\\Microsoft\\Windows\\SendTo"),
    "startMenu": $(j "$WIN_OWN_START"), "commonStartMenu": $(j "$WIN_ALL_START"),
    "programs": $(j "$WIN_OWN_START\\Programs"), "commonPrograms": $(j "$WIN_ALL_START\\Programs"),
    "startup": $(j "$WIN_OWN_START\\Programs\\StartUp"), "commonStartup": $(j "$WIN_ALL_START\\Programs\\StartUp"),
    "fonts": $(j 'C:\windows\Fonts')
  }
}
JSON
}

# The Windows version Wine reports to uninst.exe: win95, win98 or win10.
set_windows_version() {
  wine reg add 'HKCU\Software\Wine\AppDefaults\uninst.exe' /v Version /d "$1" /f >/dev/null 2>&1
}

# Unix path of a Windows path on drive C:.
unix_path() {
  local p=${1#[Cc]:}
  printf '%s' "$DRIVE_C${p//\\//}"
}

# Runs the program at a Windows path through the runner (runner options, then
# "--", then the answers; see runner.cpp), from C:\, and waits until every
# process of the prefix (the self-removal batch, a restart) has ended, at
# most WINE_WAIT_LIMIT seconds (default 300): a batch that loops must fail
# its test, not hang the suite. A wait that runs out ends every process of
# the prefix and adds an "error:" line. Output without CR in $RUN_OUT.
RUN_OUT=""
run_runner() {
  local exe=$1 options=()
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
  [ "${1:-}" = -- ] && shift
  # Into a file, not a pipe: a process that the run started (the batch) may
  # hold the runner's output open for as long as it runs.
  # Never made again (the uninstaller may have run), so first the server of
  # the command before it must have gone: a runner that joined a server in
  # its last moment could lose it halfway through the run.
  local status=0
  timeout 60 "$WINESERVER" -w >/dev/null 2>&1
  (cd "$DRIVE_C" && "$WINE" "$RUNNER_EXE" "${options[@]}" --cwd 'C:\' "$exe" "$@" >"$TMPDIR/runner.out" 2>"$TMPDIR/runner.err") ||
    status=$?
  RUN_OUT=$(tr -d '\r' <"$TMPDIR/runner.out")
  # A runner that said nothing did not start: Wine's own words say why.
  [ -n "$RUN_OUT" ] || RUN_OUT="error: the runner did not start (exit $status): $(head -c 400 "$TMPDIR/runner.err" | tr '\n' ' ')"
  if ! timeout "${WINE_WAIT_LIMIT:-300}" "$WINESERVER" -w; then
    wineserver -k >/dev/null 2>&1
    RUN_OUT+=$'\n'"error: processes of the prefix still ran after ${WINE_WAIT_LIMIT:-300} s; ended them"
  fi
}
