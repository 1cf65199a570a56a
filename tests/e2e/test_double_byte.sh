#!/usr/bin/env bash
# Double-byte names under code page 932, on the NT family and Windows 98:
# files, folders, a program group, shortcuts and registry keys whose names
# hold characters with the trail bytes 0x5C ("\") and 0x7C ("|"): ソ is 83 5C,
# ポ 83 7C, 表 95 5C, 能 94 5C. Each run removes exactly what is listed and
# leaves everything beside it; a leftover is scheduled whole, never as the
# fragments a byte search for "|" would cut it into.
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8  # Wine's ANSI code page: 932
source "$(dirname "$0")/lib.sh"
e2e_setup

# The install folder ends in 表, whose trail byte is "\": a join that looked
# at the last byte only would glue every relative entry to the folder's name.
APP='C:\apps\データ表'
EXE="$APP\\uninst.exe"
DAT=$(unix_path "$APP\\uninst.dat")
DESKTOP="$WIN_USER_DIR\\Desktop"
PROGRAMS="$WIN_OWN_START\\Programs"

# write_dat with every text converted from UTF-8 to code page 932.
write_dat_932() {
  local out=$1
  shift
  write_dat "$TMPDIR/utf8.dat" "$@"
  iconv -f UTF-8 -t CP932 <"$TMPDIR/utf8.dat" >"$out"
  LAID_OUT[${#LAID_OUT[@]} - 1]=$out
}
dat() {  # removal entries, registry list
  write_dat_932 "$DAT" '\x00\x00\x00\x00' "$1" "$2" '表示\ソフト' 'ソフト;サポート;' "" "" "" \
    "Widget Setup" "Remove Widget?" "" "Widget was removed." "" "Restart now?"
}
layout() {
  install_uninstaller "$APP"
  put_file "$APP\\a.txt"
  put_file "$APP\\ソフト.txt"
  put_file "$APP\\サポート.dll"
  put_file "$APP\\表示\\能力.txt"
  put_file 'C:\apps\データ表a.txt' "the neighbour a glued join would name"
  put_file "$PROGRAMS\\表示\\ソフト\\ソフト.lnk"
  put_file "$PROGRAMS\\表示\\Other.lnk"
  put_file "$DESKTOP\\ソフト.lnk"
  put_file "$DESKTOP\\サポート.lnk"
  put_file "$DESKTOP\\ソフトX.lnk" "unlisted"
  put_key 'HKCU\Software\ソフト表\Sub' x
  put_key 'HKCU\Software\ソフト' keep
  put_key 'HKCU\Software\表' '能'
  put_key 'HKCU\Software\表' 'ソ'
}
ENTRIES='a.txt|ソフト.txt|サポート.dll|表示\能力.txt|表示|'
REGISTRY='HKEY_CURRENT_USER\Software\ソフト表;|HKEY_CURRENT_USER\Software\表;能|'

for version in win10 win98; do
  echo "# $version: everything listed goes, nothing beside it"
  set_windows_version "$version"
  layout
  dat "$ENTRIES" "$REGISTRY"
  run_uninstaller "$EXE" OK OK
  check_eq "$version: code page 932" "acp: 932" "$(printf '%s\n' "$RUN_OUT" | grep '^acp: ')"
  check_eq "$version: no restart question" "$(printf '%s\n' 'Widget Setup | Remove Widget? | OK' \
    'Widget Setup | Widget was removed. | OK')" "$(boxes)"
  check_gone "$APP"
  check_exists 'C:\apps\データ表a.txt'
  check_gone "$PROGRAMS\\表示\\ソフト"
  check_exists "$PROGRAMS\\表示\\Other.lnk"
  check_gone "$DESKTOP\\ソフト.lnk"
  check_gone "$DESKTOP\\サポート.lnk"
  check_exists "$DESKTOP\\ソフトX.lnk"
  check_eq "$version: key ソフト表 deleted with its subkey" no "$(has_key 'HKCU\Software\ソフト表')"
  check_eq "$version: key ソフト beside it stays" yes "$(has_value 'HKCU\Software\ソフト' keep)"
  check_eq "$version: value 能 deleted" no "$(has_value 'HKCU\Software\表' '能')"
  check_eq "$version: value ソ stays" yes "$(has_value 'HKCU\Software\表' 'ソ')"
  rm -f "$(unix_path 'C:\apps\データ表a.txt')" "$(unix_path "$DESKTOP\\ソフトX.lnk")"
  rm -rf "$(unix_path "$PROGRAMS\\表示")"
done

# A leftover whose name holds ポ (83 7C), in a folder with a plain name.
# Scheduled whole, it is gone after the restart; cut at its trail byte, the
# fragment ".dll" would name C:\.dll (the current folder is C:\).
# Read-only makes DeleteFileA refuse it, and scheduling clears the attribute;
# a file held open would outlive Wine's restart.
APP='C:\apps\Widget'
EXE="$APP\\uninst.exe"
DAT=$(unix_path "$APP\\uninst.dat")
leftover_layout() {
  install_uninstaller "$APP"
  put_file "$APP\\ポ.dll"
  chmod a-w "$(unix_path "$APP\\ポ.dll")"
  put_file 'C:\.dll' "a stranger's file"
  dat 'ポ.dll|' ""
}

echo "# win10: the leftover ポ.dll, Yes, the delayed move and Wine's restart"
set_windows_version win10
leftover_layout
run_uninstaller "$EXE" OK OK Yes
check_eq "win10: restart question asked" "Widget Setup | Restart now? | Yes" "$(boxes | tail -n 1)"
check_gone "$APP\\ポ.dll"
check_exists 'C:\.dll'

echo "# win98: the leftover ポ.dll, Yes, one NUL= line for its whole short path"
set_windows_version win98
leftover_layout
run_uninstaller "$EXE" OK OK Yes
processed=$DRIVE_C/windows/wininit.bak
[ -f "$processed" ] || processed=$DRIVE_C/windows/wininit.ini
lines=$(iconv -f CP932 -t UTF-8 <"$processed" | tr -d '\r' | grep '^NUL=')
check_eq "win98: three NUL= lines: the folder, uninst.exe and ポ.dll" 3 "$(printf '%s\n' "$lines" | grep -c .)"
check_eq "win98: the leftover's line ends in .dll" 1 "$(printf '%s\n' "$lines" | grep -ci '\.dll$')"
check_gone "$APP\\ポ.dll"
check_exists 'C:\.dll'
rm -f "$(unix_path 'C:\.dll')" "$DRIVE_C/windows/wininit.bak" "$DRIVE_C/windows/wininit.ini"
finish
