# The end-to-end tests' own part: the Wine and the build they name, each
# script's own sandbox, prefix and display, fixtures that are checked before
# each run, data-file writing, the runner, and checks that print what was
# expected and what was found. The Wine side they share with `uninstdat
# try` is tools/wine/prefix.sh. Source it.

ROOT=${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
source "$ROOT/tools/wine/prefix.sh"
E2E_WORK=${E2E_WORK:-$ROOT/build/host/e2e}  # the cached pristine prefix and each script's view live here
E2E_SCRIPT=$(readlink -f "$0")
E2E_SCRIPT_ARGS=("$@")
E2E_NAME=$(basename "$E2E_SCRIPT" .sh)

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
  command -v Xvfb >/dev/null || missing+=(Xvfb)
  command -v bwrap >/dev/null || missing+=(bwrap)
  for file in "$UNINST_EXE" "$RUNNER_EXE"; do [ -f "$file" ] || missing+=("$file"); done
  if [ ${#missing[@]} -gt 0 ]; then
    if [ "${E2E_REQUIRED:-0}" = 1 ]; then
      echo "error: missing ${missing[*]} (./test.sh installs and builds them)"
      exit 1
    fi
    echo "SKIPPED: missing ${missing[*]} (./test.sh installs and builds them)"
    exit 77
  fi
}

# Wine that cannot start, or a sandbox that cannot be made, is one error that
# names the cause; Wine never runs unsealed.
e2e_check_wine() {
  local problem
  problem=$(wine_check) || { echo "error: $problem"; exit 1; }
}

e2e_cleanup() {
  [ -n "${E2E_SANDBOXED:-}" ] && { wineserver -k >/dev/null 2>&1 || true; }
  return 0
}

# Runs this script again inside a sandbox of its own (tools/wine/sandbox.sh)
# and ends with its exit code: its own view of the cached pristine prefix
# and of its HOME (a new folder E2E_WORK/views/NAME.XXXXXX for each run: an
# overlay whose upper folders keep what the script changed, so scripts, and
# two runs of one script, can run side by side; kept when the run failed,
# for a look at what it left), read-write;
# read-only the script, the tests' and the Wine helpers' folders, the
# examples and the builds; nothing else of the host. So a test that lays
# out shortcuts on the Desktop, or a data file that names Z:\ or
# \\?\unix\, reaches only the sandbox. A script may define
# e2e_after_sandbox, which then checks the host from outside afterwards,
# and may name in E2E_PASS variables of its own that the sandbox is given.
e2e_enter_sandbox() {
  pristine_prefix "$E2E_WORK/cache/uninstdat" || exit 1
  mkdir -p "$E2E_WORK/views" || exit 1
  local view
  view=$(mktemp -d "$E2E_WORK/views/$E2E_NAME$WINE_BITS.XXXXXX") || exit 1
  sandbox_args "$view/prefix" "$view/home" || exit 1
  local path name status=0
  for path in "$E2E_SCRIPT" "$ROOT/tests" "$ROOT/tools/wine" "$ROOT/scripts" "$ROOT/examples" \
    "${WIN32_BUILD_DIR:-$ROOT/build/win32}" "${WIN64_BUILD_DIR:-$ROOT/build/win64}" "$WIN_BUILD_DIR" \
    "$UNINST_EXE" "$RUNNER_EXE" ${UNINSTDAT:+"$UNINSTDAT"}; do
    [ -e "$path" ] && SANDBOX_ARGS+=(--ro-bind "$path" "$path")
  done
  for name in ROOT E2E_WORK E2E_REQUIRED E2E_DESCRIBED UNINST_EXE RUNNER_EXE UNINST_WINE \
    WIN32_BUILD_DIR WIN64_BUILD_DIR UNINSTDAT HOST_RUNS_32BIT WINE_WAIT_LIMIT ${E2E_PASS[@]+"${E2E_PASS[@]}"}; do
    [ -n "${!name+set}" ] && SANDBOX_ARGS+=(--setenv "$name" "${!name}")
  done
  bash "$WINE_TOOLS/view.sh" "$view" "$PRISTINE_PREFIX" "$PRISTINE_HOME" \
    bwrap "${SANDBOX_ARGS[@]}" --setenv E2E_SANDBOXED 1 --chdir "$(dirname "$E2E_SCRIPT")" \
    bash "$E2E_SCRIPT" "${E2E_SCRIPT_ARGS[@]}" || status=$?
  if declare -f e2e_after_sandbox >/dev/null; then
    e2e_after_sandbox
    [ "$failures" -eq 0 ] || status=1
  fi
  if [ "$status" -eq 0 ]; then
    chmod -R u+w "$view" 2>/dev/null || true
    rm -rf "$view"
  else
    echo "# what the run left: $view"
  fi
  exit $status
}

# Names the build and Wine and checks that everything is there, the sandbox
# included, without entering it: for a test that runs no Wine itself
# (uninstdat try makes its own sandboxes).
e2e_check_outside() {
  [ -n "${E2E_DESCRIBED:-}" ] || e2e_describe
  e2e_require
  e2e_check_wine
  trap e2e_cleanup EXIT
}

# Names the build and Wine and checks that everything is there; outside the
# sandbox it then runs the script again inside its sandbox
# (e2e_enter_sandbox); inside, it starts the sandbox's own X display. The
# pristine prefix is made once per cache and Wine (about 15 s); each run of
# a script starts from it.
e2e_setup() {
  if [ -z "${E2E_SANDBOXED:-}" ]; then
    e2e_check_outside
    host_runs_32bit || true
    export HOST_RUNS_32BIT
    e2e_enter_sandbox
  fi
  trap e2e_cleanup EXIT
  sandbox_start_display || { echo "error: the sandbox's own X display did not start"; exit 1; }
}

# The Windows folders of the prefix as this build sees them.
WIN_USER_DIR="C:\\users\\$WINE_USER"
WIN_OWN_START="$WIN_USER_DIR\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"
WIN_ALL_START='C:\ProgramData\Microsoft\Windows\Start Menu'
WIN_SENDTO="$WIN_USER_DIR\\AppData\\Roaming\\Microsoft\\Windows\\SendTo"

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
    "sendTo": $(j "$WIN_SENDTO"),
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
# its test, not hang the suite. A wait that runs out names what still ran,
# ends every process of the prefix and adds an "error:" line. The runner's
# account, without CR, in $RUN_OUT: read from its own file once every
# process has ended, so that no line of the batch's cmd (which inherits the
# runner's standard output) falls into it.
RUN_OUT=""
run_runner() {
  local exe=$1 options=()
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
  [ "${1:-}" = -- ] && shift
  # Never made again (the uninstaller may have run), so first the server of
  # the command before it must have gone: a runner that joined a server in
  # its last moment could lose it halfway through the run.
  local status=0 report=$TMPDIR/runner.report alive
  rm -f "$report"
  timeout 60 "$WINESERVER" -w >/dev/null 2>&1
  (cd "$DRIVE_C" && "$WINE" "$RUNNER_EXE" --report "Z:${report//\//\\}" "${options[@]}" --cwd 'C:\' "$exe" "$@" \
    >"$TMPDIR/runner.out" 2>"$TMPDIR/runner.err") || status=$?
  local waited=""
  if ! timeout "${WINE_WAIT_LIMIT:-300}" "$WINESERVER" -w; then
    alive=$(sandbox_processes | tr '\n' ';' | sed 's/;$//; s/;/; /g')
    wineserver -k >/dev/null 2>&1
    waited="error: processes of the prefix still ran after ${WINE_WAIT_LIMIT:-300} s${alive:+ ($alive)}; ended them"
  fi
  RUN_OUT=$(tr -d '\r' <"$report" 2>/dev/null)
  # A runner that said nothing did not start: Wine's own words say why.
  [ -n "$RUN_OUT" ] || RUN_OUT="error: the runner did not start (exit $status): $(head -c 400 "$TMPDIR/runner.err" | tr '\n' ' ')"
  [ -z "$waited" ] || RUN_OUT+=$'\n'"$waited"
}


failures=0
checks=0

# What the scenario laid out since the last run: Unix paths, and registry
# keys as "KEY" or "KEY|VALUE". run_uninstaller checks that all of it is there
# before the run, so that "is gone" cannot pass on a fixture that never was.
LAID_OUT=()
LAID_KEYS=()
RUN_COPIES=()

# Writes a data file: the allUsers word (as printf escapes, e.g. '\x01\x00\x00\x00'),
# the removal entries, then up to twelve fields; missing fields are empty.
write_dat() {
  local out=$1 word=$2
  shift 2
  {
    printf "$word"
    local n=0 text
    for text in "$@"; do printf '%s\0' "$text"; n=$((n + 1)); done
    while [ $n -lt 13 ]; do printf '\0'; n=$((n + 1)); done
  } >"$out"
  LAID_OUT+=("$out")
}

# Writes TEXT (default "x") and a line end into the file at a Windows path,
# making its folders.
put_file() {
  local file
  file=$(unix_path "$1")
  mkdir -p "$(dirname "$file")" && printf '%s\n' "${2:-x}" >"$file"
  LAID_OUT+=("$file")
}

# Makes a folder (and its parents) at a Windows path.
put_folder() {
  mkdir -p "$(unix_path "$1")"
  LAID_OUT+=("$(unix_path "$1")")
}

# A registry key, or with NAME a value under it (data DATA, default 1).
put_key() {
  if [ $# -ge 2 ]; then
    wine reg add "$1" /v "$2" /d "${3:-1}" /f >/dev/null 2>&1
    LAID_KEYS+=("$1|$2")
  else
    wine reg add "$1" /f >/dev/null 2>&1
    LAID_KEYS+=("$1")
  fi
}
has_key() { wine reg query "$1" >/dev/null 2>&1 && echo yes || echo no; }
has_value() { wine reg query "$1" /v "$2" >/dev/null 2>&1 && echo yes || echo no; }

# WININIT.INI with the exact bytes of the printf format FORMAT, laid out by the
# runner from inside the prefix at the next run (see runner.cpp: a prefix that
# starts carries out and renames a WININIT.INI that is already there).
put_wininit() {
  mkdir -p "$DRIVE_C/e2e-stage"
  printf "$1" >"$DRIVE_C/e2e-stage/wininit.ini"
  RUN_COPIES+=(--copy 'C:\e2e-stage\wininit.ini' 'C:\windows\wininit.ini')
}

# A fresh folder with uninst.exe in it; prints nothing.
install_uninstaller() {
  local folder
  folder=$(unix_path "$1")
  case "$1" in
    [Cc]:|[Cc]:\\|"") echo "install_uninstaller: refusing to empty the drive" >&2; return 1 ;;
  esac
  rm -rf "$folder"
  mkdir -p "$folder"
  cp "$UNINST_EXE" "$folder/uninst.exe"
  LAID_OUT+=("$folder/uninst.exe")
}

# One check that everything laid out since the last run is there; then the
# record starts anew.
check_layout() {
  local missing=() item
  for item in "${LAID_OUT[@]}"; do [ -e "$item" ] || missing+=("${item#$DRIVE_C/}"); done
  for item in "${LAID_KEYS[@]}"; do
    case $item in
      *'|'*) [ "$(has_value "${item%%|*}" "${item#*|}")" = yes ] || missing+=("$item") ;;
      *) [ "$(has_key "$item")" = yes ] || missing+=("$item") ;;
    esac
  done
  local total=$(( ${#LAID_OUT[@]} + ${#LAID_KEYS[@]} ))
  if [ "$total" -eq 0 ]; then
    :
  elif [ ${#missing[@]} -eq 0 ]; then
    pass "laid out before the run: $total items"
  else
    fail "laid out before the run: ${#missing[@]} of $total items missing" "${missing[@]}"
  fi
  LAID_OUT=()
  LAID_KEYS=()
}

# Runs the uninstaller at a Windows path through the runner with the given
# answers (after --hold PATH and --default, see runner.cpp), from drive C:,
# after checking the layout, and waits until every process of the prefix
# (the self-removal batch included) has ended. Output in $RUN_OUT.
RUN_OUT=""
run_uninstaller() {
  local exe=$1
  shift
  local options=()
  while true; do
    case "${1:-}" in
      --hold) options+=(--hold "$2"); shift 2 ;;
      --default) options+=(--default); shift ;;
      *) break ;;
    esac
  done
  check_layout
  run_runner "$exe" "${RUN_COPIES[@]}" "${options[@]}" -- "$@"
  RUN_COPIES=()
}

# The message boxes of the last run, one "caption | text | answer" a line.
boxes() { printf '%s\n' "$RUN_OUT" | sed -n 's/^box: //p'; }
exit_line() { printf '%s\n' "$RUN_OUT" | grep -E '^(exit|error):' | tail -n 1; }

pass() { checks=$((checks + 1)); echo "ok   $1"; }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "FAIL $1"; shift; printf '       %s\n' "$@"; }

# check_eq NAME EXPECTED ACTUAL
check_eq() {
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1" "expected: $(printf '%q' "$2")" "actual:   $(printf '%q' "$3")"; fi
}
check_exists() { if [ -e "$(unix_path "$1")" ]; then pass "$1 exists"; else fail "$1 exists" "it is gone"; fi; }
check_gone() { if [ ! -e "$(unix_path "$1")" ]; then pass "$1 is gone"; else fail "$1 is gone" "it is still there"; fi; }

# Ends the test: the plain summary line, exit 1 on any failure.
finish() {
  echo "$((checks - failures)) passed, $failures failed"
  [ "$failures" -eq 0 ]
}
