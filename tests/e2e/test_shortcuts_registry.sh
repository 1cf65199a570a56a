#!/usr/bin/env bash
# Program group, shortcuts and registry cleanup under Wine: all-users folders
# on the NT family, the user's own on Windows 98, nested groups, unlisted
# shortcuts, key trees, values with ";" and malformed registry entries.
source "$(dirname "$0")/lib.sh"
e2e_setup

APP='C:\apps\Widget'
EXE="$APP\\uninst.exe"
DAT=$(unix_path "$APP\\uninst.dat")
declare -A OWN=([desktop]="$WIN_USER_DIR\\Desktop" [sendto]="$WIN_SENDTO"
  [start]="$WIN_OWN_START" [programs]="$WIN_OWN_START\\Programs" [startup]="$WIN_OWN_START\\Programs\\StartUp")
declare -A ALL=([desktop]='C:\users\Public\Desktop' [start]="$WIN_ALL_START"
  [programs]="$WIN_ALL_START\\Programs" [startup]="$WIN_ALL_START\\Programs\\StartUp")

layout_shortcuts() {
  local side
  for side in OWN ALL; do
    local -n dirs=$side
    put_file "${dirs[programs]}\\Vendor\\Product\\Tool.lnk"
    put_file "${dirs[programs]}\\Vendor\\Product\\Docs\\Manual.lnk"
    put_file "${dirs[programs]}\\Vendor\\Other.lnk"
    for key in desktop start startup; do
      put_file "${dirs[$key]}\\Tool.lnk"
      put_file "${dirs[$key]}\\Unlisted.lnk"
    done
  done
  put_file "${OWN[sendto]}\\Tool.lnk"
  put_file "${OWN[start]}\\Utilities\\Tool.lnk"
}
dat_shortcuts() {  # allUsers word
  write_dat "$DAT" "$1" "" "" 'Vendor\Product' "Tool;" "Tool;" 'Tool;Utilities\Tool;Unlisted' "Tool;" \
    "Widget Setup" "" "" "" "" ""
}
check_side() {  # label, array name, gone (1) or kept (0)
  local -n dirs=$2
  local check=check_exists
  [ "$3" = 1 ] && check=check_gone
  $check "${dirs[programs]}\\Vendor\\Product"
  check_exists "${dirs[programs]}\\Vendor\\Other.lnk"
  $check "${dirs[desktop]}\\Tool.lnk"
  $check "${dirs[start]}\\Tool.lnk"
  $check "${dirs[startup]}\\Tool.lnk"
  check_exists "${dirs[start]}\\Unlisted.lnk"
  check_exists "${dirs[desktop]}\\Unlisted.lnk"
}

echo "# NT family, allUsers set: the all-users folders"
set_windows_version win10
install_uninstaller "$APP"
layout_shortcuts
dat_shortcuts '\x01\x00\x00\x00'
run_uninstaller "$EXE"
check_side "NT" ALL 1
check_side "NT" OWN 0
check_gone "${OWN[sendto]}\\Tool.lnk"  # Send To is always the user's own
check_exists "${OWN[start]}\\Utilities\\Tool.lnk"  # not in the all-users Start menu

echo "# Windows 98, allUsers set: the user's own folders all the same"
set_windows_version win98
install_uninstaller "$APP"
layout_shortcuts
dat_shortcuts '\x01\x00\x00\x00'
run_uninstaller "$EXE"
check_side "98" OWN 1
check_side "98" ALL 0
check_gone "${OWN[start]}\\Utilities\\Tool.lnk"
check_exists "${OWN[start]}\\Utilities"

echo "# registry"
set_windows_version win10
reg() { wine reg "$@" >/dev/null 2>&1; }
put_key 'HKCU\Software\WidgetCo\Widget\Sub1\Deep' x 1
put_key 'HKCU\Software\WidgetCo\Widget\Sub2' y 2
put_key 'HKCU\Software\WidgetCo\Keep'
for v in 'a;b' a b; do put_key 'HKCU\Software\WidgetVals' "$v"; done
for k in Keep1 Keep2 Keep3 Keep4 Keep5; do put_key "HKCU\\Software\\WidgetHostile\\$k"; done
install_uninstaller "$APP"
list='HKEY_CURRENT_USER\Software\WidgetCo\Widget;|hkey_current_user\Software\WidgetVals;a;b|'
list+='HKEY_NOPE\Software\WidgetHostile\Keep1;|HKCU\Software\WidgetHostile\Keep2;|'
list+='HKEY_CURRENT_USER\Software\WidgetHostile\Keep3|HKEY_CURRENT_USER;Software|'
list+=' HKEY_CURRENT_USER\Software\WidgetHostile\Keep4;|HKEY_CURRENT_USER\;|'
list+='HKEY_CURRENT_USER\Software\WidgetHostile\Keep5;'
write_dat "$DAT" '\x00\x00\x00\x00' "" "$list" "" "" "" "" "" "Widget Setup" "" "" "" "" ""
run_uninstaller "$EXE"
check_eq "key tree with subkeys deleted" no "$(has_key 'HKCU\Software\WidgetCo\Widget')"
check_eq "its parent and sibling stay" yes "$(has_key 'HKCU\Software\WidgetCo\Keep')"
check_eq "value named a;b deleted" no "$(has_value 'HKCU\Software\WidgetVals' 'a;b')"
check_eq "value a stays" yes "$(has_value 'HKCU\Software\WidgetVals' a)"
check_eq "value b stays" yes "$(has_value 'HKCU\Software\WidgetVals' b)"
for k in Keep1 Keep2 Keep3 Keep4 Keep5; do
  check_eq "malformed entry leaves $k" yes "$(has_key "HKCU\\Software\\WidgetHostile\\$k")"
done
check_eq "empty subkey does not empty HKEY_CURRENT_USER" yes "$(has_key 'HKCU\Software\Wine')"
reg delete 'HKCU\Software\WidgetHostile' /f
reg delete 'HKCU\Software\WidgetVals' /f
reg delete 'HKCU\Software\WidgetCo' /f
finish
