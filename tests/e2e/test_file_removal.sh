#!/usr/bin/env bash
# Removal of the listed files and folders under Wine: list order, macro and
# absolute entries, a folder listed before its contents, and a listed program
# that another process holds open.
source "$(dirname "$0")/lib.sh"
e2e_setup

APP='C:\apps\Widget'
EXE="$APP\\uninst.exe"
DAT=$(unix_path "$APP\\uninst.dat")
CONFIRM='Widget Setup | Remove Widget? | OK'
CLOSING='Widget Setup | Widget was removed. | OK'
RUNNING='Widget Setup | Please close Widget first. | OK'
dat() {
  write_dat "$DAT" '\x00\x00\x00\x00' "$1" "" "" "" "" "" "" "Widget Setup" "Remove Widget?" \
    "Please close Widget first." "Widget was removed." "" "Some files remain. Restart now?"
}
layout() {
  install_uninstaller "$APP"
  for f in widget.exe 'data\a.txt' 'data\b.txt' 'help\widget.hlp'; do put_file "$APP\\$f" "$f"; done
  put_file 'C:\shared\widget.ini' ini
  put_file 'C:\shared\other.ini' keep
  put_file 'C:\windows\wdgt.ini' ini
}

for version in win10 win98; do
  echo "# $version"
  set_windows_version "$version"

  layout
  dat 'widget.exe|data\a.txt|data\b.txt|data|help\widget.hlp|help|<Win>\wdgt.ini|C:\shared\widget.ini|'
  run_uninstaller "$EXE" OK OK
  check_eq "$version: all removed, no restart question" "$(printf '%s\n' "$CONFIRM" "$CLOSING")" "$(boxes)"
  for p in widget.exe data help; do check_gone "$APP\\$p"; done
  check_gone 'C:\windows\wdgt.ini'
  check_gone 'C:\shared\widget.ini'
  check_exists 'C:\shared\other.ini'
done

set_windows_version win10
echo "# a folder listed before its contents"
layout
dat 'data|data\a.txt|data\b.txt|'
run_uninstaller "$EXE" OK OK No
check_eq "restart question after the closing message" \
  "$(printf '%s\n' "$CONFIRM" "$CLOSING" 'Widget Setup | Some files remain. Restart now? | No')" "$(boxes)"
check_gone "$APP\\data\\a.txt"
check_exists "$APP\\data"
check_exists "$EXE"
check_gone "$APP\\uninst.dat"
pending=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' | grep -c Pending)
check_eq "answer No schedules nothing" "0" "$pending"
check_gone 'C:\kavotel.bat'

echo "# a listed program held open by another process"
layout
dat 'widget.exe|data\a.txt|'
run_uninstaller "$EXE" --hold "$APP\\widget.exe" OK Cancel
check_eq "Cancel at the running-program box" \
  "$(printf '%s\n' "$CONFIRM" 'Widget Setup | Please close Widget first. | Cancel')" "$(boxes)"
check_exists "$APP\\widget.exe"
check_exists "$APP\\data\\a.txt"
check_exists "$APP\\uninst.dat"
check_eq "exit code after Cancel" "exit: 0" "$(exit_line)"

layout
dat 'widget.exe|data\a.txt|'
run_uninstaller "$EXE" --hold "$APP\\widget.exe" OK OK OK release:OK OK
check_eq "the box returns until the program is closed" \
  "$(printf '%s\n' "$CONFIRM" "$RUNNING" "$RUNNING" "$RUNNING" "$CLOSING")" "$(boxes)"
check_gone "$APP\\widget.exe"
check_gone "$APP\\data\\a.txt"
finish
