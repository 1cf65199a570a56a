# The end-to-end tests' own part: fixtures that are checked before each run,
# data-file writing, and checks that print what was expected and what was
# found. The Wine side is tools/wine/prefix.sh. Source it.

ROOT=${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
source "$ROOT/tools/wine/prefix.sh"
E2E_WORK=${E2E_WORK:-$ROOT/build/host/e2e}  # the shared prefix and HOME live here
E2E_SCRIPT=$(readlink -f "$0")
E2E_SCRIPT_ARGS=("$@")

e2e_cleanup() {
  [ -n "${E2E_SANDBOXED:-}" ] && { wineserver -k >/dev/null 2>&1 || true; }
  [ -n "${E2E_XVFB_PID:-}" ] && kill "$E2E_XVFB_PID" 2>/dev/null
  return 0
}

# Runs this script again inside the sandbox (tools/wine/sandbox.sh) and ends
# with its exit code: the shared prefix of the build folder and a HOME of its
# own read-write; read-only the script, the tests' and the Wine helpers'
# folders, the examples and the builds; nothing else of the host. So a test
# that lays out shortcuts on the Desktop, or a data file that names Z:\ or
# \\?\unix\, reaches only the sandbox. A script may define
# e2e_after_sandbox, which then checks the host from outside afterwards.
e2e_enter_sandbox() {
  e2e_display
  mkdir -p "$E2E_WORK/prefix$WINE_BITS" "$E2E_WORK/home$WINE_BITS"
  sandbox_args "$E2E_WORK/prefix$WINE_BITS" "$E2E_WORK/home$WINE_BITS" || exit 1
  local path name status=0
  for path in "$E2E_SCRIPT" "$ROOT/tests" "$ROOT/tools/wine" "$ROOT/scripts" "$ROOT/examples" \
    "${WIN32_BUILD_DIR:-$ROOT/build/win32}" "${WIN64_BUILD_DIR:-$ROOT/build/win64}" "$WIN_BUILD_DIR" \
    "$UNINST_EXE" "$RUNNER_EXE" ${UNINSTDAT:+"$UNINSTDAT"}; do
    [ -e "$path" ] && SANDBOX_ARGS+=(--ro-bind "$path" "$path")
  done
  for name in ROOT E2E_WORK E2E_REQUIRED E2E_FAIL_CODE E2E_DESCRIBED UNINST_EXE RUNNER_EXE UNINST_WINE \
    WIN32_BUILD_DIR WIN64_BUILD_DIR UNINSTDAT HOST_RUNS_32BIT WINE_WAIT_LIMIT; do
    [ -n "${!name+set}" ] && SANDBOX_ARGS+=(--setenv "$name" "${!name}")
  done
  bwrap "${SANDBOX_ARGS[@]}" --setenv E2E_SANDBOXED 1 --chdir "$(dirname "$E2E_SCRIPT")" \
    bash "$E2E_SCRIPT" "${E2E_SCRIPT_ARGS[@]}" || status=$?
  if declare -f e2e_after_sandbox >/dev/null; then
    e2e_after_sandbox
    [ "$failures" -eq 0 ] || status=1
  fi
  e2e_cleanup
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
# sandbox it then runs the script again inside it (e2e_enter_sandbox); inside,
# it makes the prefix once per build folder and Wine (about 15 s) and clears
# what an earlier scenario left for a restart to act on.
e2e_setup() {
  if [ -z "${E2E_SANDBOXED:-}" ]; then
    e2e_check_outside
    host_runs_32bit || true
    export HOST_RUNS_32BIT
    e2e_enter_sandbox
  fi
  trap e2e_cleanup EXIT
  # A prefix made in the sandbox says so; one that an older checkout made
  # outside it links its shell folders to the user's home and is made anew.
  local stamp="made in the sandbox, HOME $SANDBOX_HOME"
  if [ "$(cat "$WINEPREFIX/.ready" 2>/dev/null)" != "$stamp" ]; then
    find "$WINEPREFIX" "$SANDBOX_HOME" -mindepth 1 -maxdepth 1 -exec rm -rf {} +
    sandbox_make_prefix 2>&1 || e2e_wine_fails "no prefix in $E2E_WORK/prefix$WINE_BITS"
    printf '%s\n' "$stamp" >"$WINEPREFIX/.ready"
  fi
  wine reg delete 'HKLM\System\CurrentControlSet\Control\Session Manager' \
    /v PendingFileRenameOperations /f >/dev/null 2>&1 || true
  rm -f "$DRIVE_C/windows/wininit.ini" "$DRIVE_C/windows/wininit.bak" "$DRIVE_C/kavotel.bat"
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
