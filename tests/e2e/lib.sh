# Shared by the end-to-end tests and the demo: a private Wine prefix, a
# display, the runner that answers message boxes, data-file writing, and
# checks that print what was expected and what was found.
# Source it; it expects ROOT (the repository) or finds it itself.

ROOT=${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
source "$ROOT/scripts/host.sh"

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
E2E_WORK=${E2E_WORK:-$ROOT/build/host/e2e}
UNINST_EXE=$WIN_BUILD_DIR/uninst.exe
RUNNER_EXE=$WIN_BUILD_DIR/e2e_runner.exe

export WINEPREFIX=$E2E_WORK/prefix$WINE_BITS
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
DRIVE_C=$WINEPREFIX/drive_c
WINE_USER=$(id -un)

wine() { "$WINE" "$@"; }
wineserver() { "$WINESERVER" "$@"; }

failures=0
checks=0

# What the run uses, for the first line of every test's and the demo's output.
e2e_describe() {
  local version="not installed yet"
  [ -x "$WINE" ] && version=$("$WINE" --version 2>&1 | head -n 1)
  echo "e2e: ${WINE_BITS}-bit uninst.exe (${UNINST_EXE#$ROOT/}) under ${WINE_BITS}-bit Wine ($WINE, $version)"
  E2E_DESCRIBED=1
}

# A test that cannot run where it should: under ./test.sh (E2E_REQUIRED=1)
# that is a failure; run alone, the test reports itself skipped (exit 77).
e2e_require() {
  local missing=()
  for tool in "$WINE" "$WINESERVER"; do [ -x "$tool" ] || missing+=("$tool"); done
  command -v Xvfb >/dev/null || [ -n "${DISPLAY:-}" ] || missing+=(Xvfb)
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

# Wine that cannot start is one error that names the cause.
e2e_wine_fails() {
  echo "error: ${WINE_BITS}-bit Wine cannot start here: $1"
  exit 1
}
e2e_check_wine() {
  if [ "$WINE_BITS" = 32 ] && ! host_runs_32bit; then
    e2e_wine_fails "this host does not execute 32-bit programs (Exec format error), so the 32-bit loader cannot run; unset UNINST_WINE or set it to 64"
  fi
  local out
  if ! out=$("$WINE" --version 2>&1); then
    e2e_wine_fails "$WINE --version answered: $(printf '%s' "$out" | head -n 2 | tr '\n' ' ')"
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

# Names the build and Wine, creates the prefix once per build folder and Wine
# (about 10 s), and starts the display.
e2e_setup() {
  [ -n "${E2E_DESCRIBED:-}" ] || e2e_describe
  e2e_require
  e2e_check_wine
  mkdir -p "$E2E_WORK"
  e2e_display
  trap e2e_cleanup EXIT
  if [ ! -f "$WINEPREFIX/.ready" ]; then
    rm -rf "$WINEPREFIX"
    local out
    out=$(wine wineboot -i 2>&1)
    wineserver -w
    if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -d "$DRIVE_C/windows" ]; then
      e2e_wine_fails "wineboot made no prefix in $WINEPREFIX: $(printf '%s' "$out" | tail -n 3 | tr '\n' ' ')"
    fi
    touch "$WINEPREFIX/.ready"
  fi
  # Leftovers of an earlier scenario that a restart would act on.
  wine reg delete 'HKLM\System\CurrentControlSet\Control\Session Manager' \
    /v PendingFileRenameOperations /f >/dev/null 2>&1 || true
  rm -f "$DRIVE_C/windows/wininit.ini" "$DRIVE_C/windows/wininit.bak" "$DRIVE_C/kavotel.bat"
}

# Windows folders of the prefix as this build sees them.
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

# Unix path of a Windows path on drive C:.
unix_path() {
  local p=${1#[Cc]:}
  printf '%s' "$DRIVE_C${p//\\//}"
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
  RUN_OUT=$(cd "$DRIVE_C" && wine "$RUNNER_EXE" "${RUN_COPIES[@]}" "${options[@]}" --cwd 'C:\' "$exe" "$@" 2>/dev/null | tr -d '\r')
  RUN_COPIES=()
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
