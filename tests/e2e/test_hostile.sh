#!/usr/bin/env bash
# Hostile data files under Wine: empty, too short, without NULs, truncated in
# every field, random bytes, paths that do not fit, wildcards, a program group
# and registry entries that reach beyond what was installed. Each run must
# end with exit code 0 and leave every file and key that nobody listed.
source "$(dirname "$0")/lib.sh"
e2e_setup
HOSTILE=$(dirname "$0")/hostile

APP='C:\apps\Widget'
EXE="$APP\\uninst.exe"
SENTINELS=("$APP\\keep.txt" 'C:\apps\other\keep.txt' 'C:\keep-root.txt' 'C:\windows\keep.ini'
  "$WIN_USER_DIR\\Desktop\\Keep.lnk" "$WIN_OWN_START\\Keep.lnk" "$WIN_OWN_START\\Programs\\Keep\\a.lnk"
  "$WIN_OWN_START\\Programs\\Listed-Neighbour.lnk")
KEYS=('HKCU\Software\KeepMe\Child' 'HKLM\Software\KeepMe' 'HKCU\Software\Wine')

for path in "${SENTINELS[@]}"; do put_file "$path" keep; done
for key in "${KEYS[@]}"; do put_key "$key" v; done

set_windows_version win10
for dat in "$HOSTILE"/*.dat; do
  name=$(basename "$dat" .dat)
  install_uninstaller "$APP"
  put_file "$APP\\keep.txt" keep
  put_file "$APP\\listed.txt" listed
  cp "$dat" "$(unix_path "$APP\\uninst.dat")" && LAID_OUT+=("$(unix_path "$APP\\uninst.dat")")
  run_uninstaller "$EXE" --default
  check_eq "$name: ends with exit code 0" "exit: 0" "$(exit_line)"
  missing=""
  for path in "${SENTINELS[@]}"; do [ -e "$(unix_path "$path")" ] || missing+=" $path"; done
  for key in "${KEYS[@]}"; do wine reg query "$key" /v v >/dev/null 2>&1 || missing+=" $key"; done
  check_eq "$name: nothing unlisted removed" "" "$missing"
done

# An uninstaller at the root of the drive: the batch must not remove the root.
cp "$UNINST_EXE" "$(unix_path 'C:\uninst.exe')" && LAID_OUT+=("$(unix_path 'C:\uninst.exe')")
write_dat "$(unix_path 'C:\uninst.dat')" '\0\0\0\0'
run_uninstaller 'C:\uninst.exe'
check_eq "uninstaller at C:\\ ends with exit code 0" "exit: 0" "$(exit_line)"
check_gone 'C:\uninst.exe'
check_exists 'C:\keep-root.txt'
check_exists 'C:\windows'
finish
