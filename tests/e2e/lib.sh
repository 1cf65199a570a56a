# Shared by the end-to-end tests and the demo: a private Wine prefix, a
# display, the runner that answers message boxes, data-file writing, and
# checks that print what was expected and what was found.
# Source it; it expects ROOT (the repository) or finds it itself.

ROOT=${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
WIN32_BUILD_DIR=${WIN32_BUILD_DIR:-$ROOT/build/win32}
E2E_WORK=${E2E_WORK:-$ROOT/build/host/e2e}
UNINST_EXE=$WIN32_BUILD_DIR/uninst.exe
RUNNER_EXE=$WIN32_BUILD_DIR/e2e_runner.exe

export WINEPREFIX=$E2E_WORK/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
DRIVE_C=$WINEPREFIX/drive_c
WINE_USER=$(id -un)

failures=0
checks=0

# A test that cannot run where it should reports itself skipped (exit 77).
e2e_require() {
  local missing=()
  for tool in wine wineserver Xvfb; do command -v "$tool" >/dev/null || missing+=("$tool"); done
  for file in "$UNINST_EXE" "$RUNNER_EXE"; do [ -f "$file" ] || missing+=("$file"); done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "SKIPPED: missing ${missing[*]} (./test.sh installs and builds them)"
    exit 77
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

e2e_cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "${E2E_XVFB_PID:-}" ] && kill "$E2E_XVFB_PID" 2>/dev/null
  return 0
}

# Creates the prefix once per build folder (about 10 s) and starts the display.
e2e_setup() {
  e2e_require
  mkdir -p "$E2E_WORK"
  e2e_display
  trap e2e_cleanup EXIT
  if [ ! -f "$WINEPREFIX/.ready" ]; then
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.ready"
  fi
  # Leftovers of an earlier scenario that a restart would act on.
  wine reg delete 'HKLM\System\CurrentControlSet\Control\Session Manager' \
    /v PendingFileRenameOperations /f >/dev/null 2>&1 || true
  rm -f "$DRIVE_C/windows/wininit.ini" "$DRIVE_C/windows/wininit.bak" "$DRIVE_C/kavotel.bat"
}

# The Windows version Wine reports to uninst.exe: win95, win98 or win10.
set_windows_version() {
  wine reg add 'HKCU\Software\Wine\AppDefaults\uninst.exe' /v Version /d "$1" /f >/dev/null 2>&1
}

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
}

# Unix path of a Windows path on drive C:.
unix_path() {
  local p=${1#[Cc]:}
  printf '%s' "$DRIVE_C${p//\\//}"
}

# Writes TEXT (default "x") into the file at a Windows path, making its folders.
put_file() {
  mkdir -p "$(dirname "$(unix_path "$1")")" && echo "${2:-x}" >"$(unix_path "$1")"
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
}

# Runs the uninstaller at a Windows path through the runner with the given
# answers (after --hold PATH and --default, see runner.cpp), from drive C:, and waits until every process of the prefix (the
# self-removal batch included) has ended. Output in $RUN_OUT.
RUN_OUT=""
run_uninstaller() {
  local exe=$1
  shift
  local holds=()
  while true; do
    case "${1:-}" in
      --hold) holds+=(--hold "$2"); shift 2 ;;
      --default) holds+=(--default); shift ;;
      *) break ;;
    esac
  done
  RUN_OUT=$(cd "$DRIVE_C" && wine "$RUNNER_EXE" "${holds[@]}" --cwd 'C:\' "$exe" "$@" 2>/dev/null | tr -d '\r')
  wineserver -w
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
