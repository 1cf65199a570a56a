#!/usr/bin/env bash
# The two ends of a run under Wine: self-removal after a clean run, and the
# restart that deletes the leftovers, by delayed move on the NT family and by
# WININIT.INI on Windows 98 and 95.
source "$(dirname "$0")/lib.sh"
e2e_setup

APP='C:\apps\Widget Tool'
EXE="$APP\\uninst.exe"
DAT=$(unix_path "$APP\\uninst.dat")
WININIT=$DRIVE_C/windows/wininit.ini
dat() {
  write_dat "$DAT" '\x00\x00\x00\x00' "$1" "" "" "" "" "" "" "Widget Setup" "Remove Widget?" "" \
    "Widget was removed." "" "Restart now?"
}
leftover_layout() {
  install_uninstaller "$APP"
  put_file "$APP\\data\\a.txt" a
  put_file "$APP\\logs\\b.txt" b
  dat 'data|logs|data\a.txt|logs\b.txt|'
}

echo "# clean run: the batch removes the uninstaller and its folder"
set_windows_version win10
install_uninstaller "$APP"
put_file "$APP\\widget.exe" w
dat 'widget.exe|'
run_uninstaller "$EXE" OK OK
check_eq "clean run ends with exit 0" "exit: 0" "$(exit_line)"
check_gone "$EXE"
check_gone "$APP"
check_gone 'C:\kavotel.bat'

echo "# clean run with a file nobody listed: the folder stays"
install_uninstaller "$APP"
put_file "$APP\\widget.exe" w
put_file "$APP\\user-notes.txt" mine
dat 'widget.exe|'
run_uninstaller "$EXE" OK OK
check_gone "$EXE"
check_exists "$APP\\user-notes.txt"
check_gone 'C:\kavotel.bat'

echo "# NT family, leftovers, Yes: delayed deletion and the restart Wine performs"
leftover_layout
run_uninstaller "$EXE" OK OK Yes
check_eq "restart question asked" "Widget Setup | Restart now? | Yes" "$(boxes | tail -n 1)"
check_gone "$APP\\data"
check_gone "$APP\\logs"
check_gone "$EXE"
check_gone "$APP"

for version in win98 win95; do
  echo "# $version, leftovers, Yes: WININIT.INI"
  set_windows_version "$version"
  leftover_layout
  put_file "$APP\\data\\lib.dll" lib
  dat 'data\lib.dll|data|logs|logs\b.txt|'
  put_file 'C:\old.txt' old
  put_wininit '[boot]\r\nshell=explorer.exe\r\n[Rename]\r\nNUL=C:\\OLD.TXT\r\n[other]\r\nkey=value\r\n'
  # Another program holds the library open while the uninstaller runs, so
  # that it resists and is left for the restart; it lets go before the
  # restart question is answered, as every process of a real machine has
  # ended before Windows carries out WININIT.INI (under Wine the restart
  # would otherwise race the holder).
  run_uninstaller "$EXE" --hold "$APP\\data\\lib.dll" OK OK release:Yes
  check_eq "$version: restart question asked, after the library was let go" \
    "$(printf '%s\n' "released: $APP\\data\\lib.dll" "box: Widget Setup | Restart now? | Yes")" \
    "$(printf '%s\n' "$RUN_OUT" | grep -E '^(released|box): ' | tail -n 2)"
  processed=$DRIVE_C/windows/wininit.bak
  [ -f "$processed" ] || processed=$WININIT
  text=$(tr -d '\r' <"$processed")
  check_eq "$version: sections kept in order, one [rename] header" \
    "[boot] shell=explorer.exe [rename] [other] key=value" \
    "$(printf '%s\n' "$text" | grep -v '^NUL=' | tr '\n' ' ' | sed 's/ $//')"
  # Newest first: the folder, the uninstaller, the deferred paths in reverse
  # order, then the entry that was there before. Short paths have no blanks.
  lines=$(printf '%s\n' "$text" | grep '^NUL=')
  short_folder=$(printf '%s\n' "$lines" | sed -n 1p | cut -c5-)
  check_eq "$version: folder in short form" "no blank" "$( [[ "$short_folder" == *' '* ]] && echo blank || echo 'no blank')"
  check_eq "$version: NUL= lines in order" \
    "$(printf 'NUL=%s\n' "$short_folder" "$short_folder\\UNINST.EXE" "$short_folder\\logs" "$short_folder\\data" \
      "$short_folder\\data\\LIB.DLL" 'C:\OLD.TXT')" \
    "$(printf '%s\n' "$lines" | sed 's/\\uninst\.exe$/\\UNINST.EXE/I; s/\\lib\.dll$/\\LIB.DLL/I')"
  check_eq "$version: header written once" "1" "$(printf '%s\n' "$text" | grep -ci '^\[rename\]')"
  # Wine's start-up deletes the files that WININIT.INI names but not folders
  # (their lines are checked above), so only the files are checked here.
  check_gone "$APP\\data\\lib.dll"
  check_gone "$EXE"
  check_gone 'C:\old.txt'
  rm -f "$WININIT" "$DRIVE_C/windows/wininit.bak"
done

echo "# answer No: nothing scheduled, the uninstaller stays"
set_windows_version win98
leftover_layout
run_uninstaller "$EXE" OK OK No
check_eq "No at the restart question" "Widget Setup | Restart now? | No" "$(boxes | tail -n 1)"
check_eq "no WININIT.INI written" "absent" "$( [ -e "$WININIT" ] && echo present || echo absent)"
check_exists "$EXE"
check_exists "$APP\\data"
check_gone "$APP\\uninst.dat"
finish
