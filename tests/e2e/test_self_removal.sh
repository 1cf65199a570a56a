#!/usr/bin/env bash
# Self-removal in every install folder, on the NT family and Windows 98: the
# batch interpreter reads its file in the OEM code page (437 here, while the
# ANSI one is 1252), so the uninstaller must name itself there. Accented
# letters are converted; a character that the OEM page lacks (the euro sign)
# is never written as "?" or as a look-alike, which would make del reach a
# neighbour; a read-only uninstaller is removed too, and no process of the
# run is left. Each wait is bounded, so a batch that loops fails in seconds.
export LANG=C.UTF-8 LC_ALL=C.UTF-8  # Wine's ANSI code page 1252, OEM 437
export WINE_WAIT_LIMIT=40
source "$(dirname "$0")/lib.sh"
e2e_setup

dat() {  # folder
  write_dat "$(unix_path "$1\\uninst.dat")" '\x00\x00\x00\x00' 'widget.exe|' "" "" "" "" "" "" \
    "Widget Setup" "Remove Widget?" "" "Widget was removed." "" "Restart now?"
}
install() {  # folder
  install_uninstaller "$1"
  put_file "$1\\widget.exe" w
  dat "$1"
}
# The folder was emptied by the run and removed by the batch, which deleted
# itself, and nothing of the run still runs.
check_self_removed() {  # name folder
  check_eq "$1: exit 0, every process ended" "exit: 0" "$(exit_line)"
  check_gone "$2\\uninst.exe"
  check_gone "$2"
  check_gone 'C:\kavotel.bat'
}

for version in win10 win98; do
  set_windows_version "$version"

  echo "# $version: accented letters in the folder's name"
  install 'C:\Apps\Café Müller'
  run_uninstaller 'C:\Apps\Café Müller\uninst.exe' OK OK
  check_eq "$version: code page 1252" "acp: 1252" "$(printf '%s\n' "$RUN_OUT" | grep '^acp: ')"
  check_self_removed "$version: Café Müller" 'C:\Apps\Café Müller'

  echo "# $version: a euro sign, which code page 437 lacks, beside look-alike neighbours"
  for neighbour in 'E Tool' 'X Tool' '_ Tool'; do
    install_uninstaller "C:\\Apps\\$neighbour"
    put_file "C:\\Apps\\$neighbour\\keep.txt" "another product's"
  done
  install 'C:\Apps\€ Tool'
  run_uninstaller 'C:\Apps\€ Tool\uninst.exe' OK OK
  check_self_removed "$version: € Tool" 'C:\Apps\€ Tool'
  for neighbour in 'E Tool' 'X Tool' '_ Tool'; do
    check_exists "C:\\Apps\\$neighbour\\uninst.exe"
    check_exists "C:\\Apps\\$neighbour\\keep.txt"
  done

  echo "# $version: a read-only uninstaller and a percent sign"
  install 'C:\Apps\100% Tool'
  chmod a-w "$(unix_path 'C:\Apps\100% Tool\uninst.exe')"
  check_eq "$version: uninst.exe is read-only before the run" "R" \
    "$(cd "$DRIVE_C" && wine cmd /c attrib 'C:\Apps\100% Tool\uninst.exe' 2>/dev/null | cut -c1-10 | tr -dc 'R')"
  run_uninstaller 'C:\Apps\100% Tool\uninst.exe' OK OK
  check_self_removed "$version: read-only" 'C:\Apps\100% Tool'
done
finish
