#!/usr/bin/env bash
# The Wine side of `uninstdat try`: makes a throwaway prefix in WORK, lays
# out the machine's own files (ALSO), then the stage, installs the uninstaller
# with its data file, runs it with every box answered (Yes or No to the
# restart question), waits for the batch or the restart, and leaves
# snapshots for uninstdat to compare: WORK/{0,1,2}.files (the fresh prefix,
# before the run, after it), WORK/{0,1,2}.{system,user}.reg, WORK/staged.txt
# (every path the stage put there) and WORK/run.out (the runner's account).
#   try.sh WORK STAGE INSTALL_FOLDER nt|98|95 Yes|No DATA_FILE ALL_USERS(0|1) [ALSO]
# Exit 0 when the run happened, 3 when Wine cannot run here (with the reason).
set -u
WORK=$1 STAGE=$2 INSTALL=$3 FAMILY=$4 ANSWER=$5 DAT=$6 ALL_USERS=$7 ALSO=${8:-}
export E2E_WORK=$WORK E2E_REQUIRED=1 E2E_FAIL_CODE=3
source "$(dirname "${BASH_SOURCE[0]}")/prefix.sh"
progress() { echo "try: $*" >&2; }

case $FAMILY in
  nt) version=win10 ;;
  98) version=win98 ;;
  95) version=win95 ;;
  *) echo "error: no family $FAMILY" >&2; exit 2 ;;
esac
case $INSTALL in
  [Cc]:\\?*) ;;
  *) echo "error: the install folder must be a folder on C:, not $INSTALL" >&2; exit 2 ;;
esac

progress "making a throwaway Wine prefix in $WORK (about 15 s)"
e2e_setup >&2 || exit $?
set_windows_version "$version"

# Shell folders of the prefix for this family: the all-users ones on the NT
# family when the data file says so, as the uninstaller chooses.
shared=no
[ "$FAMILY" = nt ] && [ "$ALL_USERS" = 1 ] && shared=yes
shell_folder() {
  case $1:$shared in
    Programs:no) echo "$WIN_OWN_START\\Programs" ;;
    Programs:yes) echo "$WIN_ALL_START\\Programs" ;;
    Desktop:no) echo "$WIN_USER_DIR\\Desktop" ;;
    Desktop:yes) echo 'C:\users\Public\Desktop' ;;
    StartMenu:no) echo "$WIN_OWN_START" ;;
    StartMenu:yes) echo "$WIN_ALL_START" ;;
    Startup:no) echo "$WIN_OWN_START\\Programs\\StartUp" ;;
    Startup:yes) echo "$WIN_ALL_START\\Programs\\StartUp" ;;
    SendTo:*) echo "$WIN_USER_DIR\\AppData\\Roaming\\Microsoft\\Windows\\SendTo" ;;
  esac
}
# The Unix folder of a drive: C: is the prefix's, others are made in WORK.
drive_root() {
  local letter
  letter=$(printf '%s' "$1" | tr 'A-Z' 'a-z')
  if [ "$letter" = c ]; then printf '%s' "$DRIVE_C"; return; fi
  mkdir -p "$WORK/drive_$letter"
  ln -sfn "$WORK/drive_$letter" "$WINEPREFIX/dosdevices/$letter:"
  printf '%s' "$WORK/drive_$letter"
}
# Copies a tree into a Windows folder; with a list file, adds every path it
# put there, as a Windows path, to it.
lay_out() {  # SOURCE WINDOWS_FOLDER UNIX_FOLDER [LIST]
  mkdir -p "$3"
  cp -r "$1/." "$3/"
  [ -n "${4:-}" ] && (cd "$1" && find . -mindepth 1 | sed 's|^\./||; s|/|\\|g' |
    while IFS= read -r rel; do printf '%s\\%s\n' "$2" "$rel"; done) >>"$4"
}
lay_out_stage() {  # STAGE [LIST]
  local dir name win
  if [ -d "$1/files" ]; then
    for dir in "$1/files"/*; do
      [ -d "$dir" ] || continue
      name=$(basename "$dir" | tr 'a-z' 'A-Z')
      lay_out "$dir" "$name:" "$(drive_root "$name")" "${2:-}"
    done
  fi
  for name in Programs Desktop StartMenu Startup SendTo; do
    [ -d "$1/shell/$name" ] || continue
    win=$(shell_folder "$name")
    lay_out "$1/shell/$name" "$win" "$(unix_path "$win")" "${2:-}"
  done
}
snapshot() {  # NAME
  wineserver -w
  local letter root
  for root in "$DRIVE_C" "$WORK"/drive_*; do
    [ -d "$root" ] || continue
    letter=C
    [ "$root" = "$DRIVE_C" ] || letter=$(basename "$root" | sed 's/^drive_//' | tr 'a-z' 'A-Z')
    (cd "$root" && find . -mindepth 1 -printf '%y %P\n' | sed "s|^\(.\) |\1 $letter:\\\\|; s|/|\\\\|g")
  done >"$WORK/$1.files"
  cp "$WINEPREFIX/system.reg" "$WORK/$1.system.reg"
  cp "$WINEPREFIX/user.reg" "$WORK/$1.user.reg"
}

progress "laying out the machine's own files and the stage"
snapshot 0
[ -n "$ALSO" ] && lay_out_stage "$ALSO"
: >"$WORK/staged.txt"
lay_out_stage "$STAGE" "$WORK/staged.txt"
if [ -f "$STAGE/registry.reg" ]; then
  reg_path=$(readlink -f "$STAGE/registry.reg")
  wine regedit /S "Z:${reg_path//\//\\}" >/dev/null 2>&1
fi
install_folder=$(unix_path "$INSTALL")
mkdir -p "$install_folder"
cp "$UNINST_EXE" "$install_folder/uninst.exe"
cp "$DAT" "$install_folder/uninst.dat"
snapshot 1

progress "running $INSTALL\\uninst.exe ($version, answering $ANSWER to the restart question)"
run_runner "$INSTALL\\uninst.exe" --yes-no "$ANSWER" --timeout 120 --
printf '%s\n' "$RUN_OUT" >"$WORK/run.out"
progress "comparing the prefix before and after"
snapshot 2
exit 0
