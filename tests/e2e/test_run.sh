#!/usr/bin/env bash
# The run as the user meets it, under Wine on the NT family and Windows 98:
# confirmation and closing message, Cancel, no data file, no caption.
source "$(dirname "$0")/lib.sh"
e2e_setup

APP='C:\apps\Widget'
EXE="$APP\\uninst.exe"
DAT=$(unix_path "$APP\\uninst.dat")
fields() {  # caption, confirm, running, closing as given
  write_dat "$DAT" '\x00\x00\x00\x00' "" "" "" "" "" "" "" "$1" "$2" "Close Widget first." "$3" "" "Restart now?"
}

for version in win10 win98; do
  echo "# $version"
  set_windows_version "$version"

  install_uninstaller "$APP"
  fields "Widget Setup" "Remove Widget?" "Widget was removed."
  run_uninstaller "$EXE" OK OK
  check_eq "$version: confirmation, then closing message" \
    "$(printf '%s\n' 'Widget Setup | Remove Widget? | OK' 'Widget Setup | Widget was removed. | OK')" "$(boxes)"
  check_eq "$version: exit code" "exit: 0" "$(exit_line)"
  check_gone "$APP\\uninst.dat"

  install_uninstaller "$APP"
  fields "Widget Setup" "Remove Widget?" "Widget was removed."
  run_uninstaller "$EXE" Cancel
  check_eq "$version: Cancel ends the run" "Widget Setup | Remove Widget? | Cancel" "$(boxes)"
  check_exists "$APP\\uninst.dat"
  check_exists "$EXE"
  run_uninstaller "$EXE" Cancel
  check_eq "$version: a second start asks again" "Widget Setup | Remove Widget? | Cancel" "$(boxes)"
  check_eq "$version: exit code after Cancel" "exit: 0" "$(exit_line)"

  install_uninstaller "$APP"
  run_uninstaller "$EXE"
  check_eq "$version: no data file, no box, exit 0" "exit: 0" "$(printf '%s\n' "$RUN_OUT" | grep -v '^acp: ')"
  check_exists "$APP"
  check_exists "$EXE"

  install_uninstaller "$APP"
  fields "" "Remove Widget?" "Widget was removed."
  run_uninstaller "$EXE"
  check_eq "$version: empty caption shows no box" "" "$(boxes)"
  check_eq "$version: exit code without boxes" "exit: 0" "$(exit_line)"
  check_gone "$APP\\uninst.dat"
done
finish
