#!/usr/bin/env bash
# A real uninstall of a sample "Widget" installation under Wine, told as it
# happens: what was installed, each message box and its answer, what was
# removed, and the exit code.
#   ./demo.sh                 boxes are answered automatically
#   ./demo.sh --interactive   you answer the first run's boxes on your own
#                             display (DISPLAY); every other Wine run, here
#                             and in the tests, has a display of its own
set -euo pipefail
cd "$(dirname "$0")"
interactive=0
[ "${1:-}" = "--interactive" ] && interactive=1

export E2E_WORK=$PWD/build/demo E2E_REQUIRED=1 UNINSTDAT=$PWD/build/host/uninstdat
source tests/e2e/lib.sh  # chooses the build and the Wine for this host
# Outside the sandbox: set-up and build; then e2e_setup runs this script
# again inside the sandbox, where Wine sees only its prefix and a HOME of its
# own (build/demo), never the user's.
if [ -z "${E2E_SANDBOXED:-}" ]; then
  e2e_describe
  echo "Setting up and building (the first time this installs Wine and takes a few minutes)..."
  ./scripts/setup.sh
  cmake --preset "win$WINE_BITS" >/dev/null && cmake --build --preset "win$WINE_BITS" -j2 >/dev/null
  cmake --preset host >/dev/null && cmake --build --preset host -j2 --target uninstdat >/dev/null
  if [ $interactive = 1 ] && [ -z "${DISPLAY:-}" ]; then
    echo "No display: answering the boxes automatically."
    E2E_SCRIPT_ARGS=()
  elif [ $interactive = 1 ]; then
    # The one Wine run of the project that reaches the user's display: the
    # sandbox binds its socket, so what runs there can see that desktop.
    echo "The boxes show on your display $DISPLAY: the sandbox reaches it for this demo alone."
    export SANDBOX_USER_DISPLAY=1
  fi
  echo "Preparing a private Wine prefix in build/demo, in a sandbox..."
fi
e2e_setup
# The check that the installation is in place speaks to the reader here.
pass() { echo "${1/laid out before the run: /In place before the run: }"; }

APP='C:\Program Files\Widget'
EXE="$APP\\uninst.exe"
WATCH=("$APP" "$WIN_OWN_START\\Programs\\Widget" "$WIN_USER_DIR\\Desktop\\Widget.lnk" "$WIN_OWN_START\\Widget.lnk"
  "$WIN_SENDTO\\Widget.lnk"
  "$WIN_OWN_START\\Programs\\StartUp\\Widget Tray.lnk" 'C:\windows\widget.ini')
RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'


install_widget() {  # manifest
  install_uninstaller "$APP"
  put_file "$APP\\widget.exe" "the program"
  put_file "$APP\\widget.hlp" "help"
  put_file "$APP\\data\\settings.ini" "[settings]"
  put_file "$APP\\data\\cache.bin" "cache"
  put_file 'C:\windows\widget.ini' "[widget]"
  put_file "$WIN_OWN_START\\Programs\\Widget\\Widget.lnk" "shortcut"
  put_file "$WIN_OWN_START\\Programs\\Widget\\Widget Help.lnk" "shortcut"
  put_file "$WIN_USER_DIR\\Desktop\\Widget.lnk" "shortcut"
  put_file "$WIN_SENDTO\\Widget.lnk" "shortcut"
  put_file "$WIN_OWN_START\\Widget.lnk" "shortcut"
  put_file "$WIN_OWN_START\\Programs\\StartUp\\Widget Tray.lnk" "shortcut"
  put_key 'HKCU\Software\Widget Co\Widget\Recent' File1 'C:\doc.wdg'
  put_key 'HKCU\Software\Widget Co\Widget' Version 1.0
  put_key "$RUN_KEY" 'Widget Tray' 'widget.exe /tray'
  "$UNINSTDAT" build "$1" -o "$(unix_path "$APP\\uninst.dat")"
}
snapshot() {
  local w
  for w in "${WATCH[@]}"; do
    local u
    u=$(unix_path "$w")
    [ -e "$u" ] && (cd "$DRIVE_C" && find "${u#$DRIVE_C/}" | sed 's|^|C:/|; s|/|\\|g')
  done
  wine reg query 'HKCU\Software\Widget Co\Widget' >/dev/null 2>&1 && echo 'registry key HKCU\Software\Widget Co\Widget (with its subkeys)'
  wine reg query "$RUN_KEY" /v 'Widget Tray' >/dev/null 2>&1 && echo "registry value 'Widget Tray' of $RUN_KEY"
  return 0
}
account() {  # before after
  echo "Message boxes:"
  if [ -z "$(boxes)" ]; then echo "  (none)"; fi
  boxes | while IFS='|' read -r caption text answer; do
    printf '  [%s]%s -> answered%s\n' "$(echo "$caption" | xargs)" "${text% }" "$answer"
  done
  echo "Exit code: $(exit_line | sed 's/exit: //')"
  echo "Removed:"
  comm -23 <(sort <<<"$1") <(sort <<<"$2") | sed 's/^/  - /' | grep . || echo "  (nothing)"
  echo "Still there:"
  comm -12 <(sort <<<"$1") <(sort <<<"$2") | sed 's/^/  = /' | grep . || echo "  (nothing)"
}

echo
echo "=== 1. A clean uninstall on the Windows NT family ==="
set_windows_version win10
install_widget examples/widget.json
echo "The data file, as the uninstaller will read it (uninstdat plan):"
write_wine_machine "$TMPDIR/wine-machine.json"
"$UNINSTDAT" plan "$(unix_path "$APP\\uninst.dat")" --family nt --exe-folder "$APP" \
  --machine "$TMPDIR/wine-machine.json" | sed 's/^/  /'
before=$(snapshot)
if [ $interactive = 1 ]; then
  echo "Answer the boxes on your display..."
  code=$(cd "$DRIVE_C" && wine "$EXE" >/dev/null 2>&1; echo $?)
  wineserver -w
  RUN_OUT="exit: $code"
else
  run_uninstaller "$EXE" OK OK
fi
account "$before" "$(snapshot)"
echo "(The uninstaller and its folder went after the process ended: a batch file at C:\\ deleted them.)"

echo
echo "=== 2. A folder listed before its contents: the restart question ==="
install_widget examples/widget-folder-first.json
before=$(snapshot)
run_uninstaller "$EXE" OK OK No
account "$before" "$(snapshot)"
echo "(The folder was not empty at its turn, so it stayed and the run offered a restart; No leaves it.)"

echo
echo "=== 3. Windows 98 with a leftover: WININIT.INI and the restart ==="
set_windows_version win98
install_widget examples/widget-held-library.json
put_file "$APP\\data\\widget.dll" "a library in use"
before=$(snapshot)
echo "Another program holds data\\widget.dll open while the uninstaller runs, and closes it before the"
echo "restart question is answered (on a real machine every program has ended before Windows restarts)."
run_uninstaller "$EXE" --hold "$APP\\data\\widget.dll" OK OK release:Yes
account "$before" "$(snapshot)"
ini=$DRIVE_C/windows/wininit.bak
[ -f "$ini" ] || ini=$DRIVE_C/windows/wininit.ini
echo "WININIT.INI as the uninstaller wrote it (Windows processed it at the restart):"
tr -d '\r' <"$ini" | sed 's/^/  /'
echo "(Wine's start-up deletes the files that WININIT.INI names and leaves the folders; the folder lines are for Windows 95/98/Me's own start-up.)"
rm -f "$DRIVE_C/windows/wininit.bak"
echo
echo "Demo finished."
