#!/usr/bin/env bash
# uninst.exe stays small, imports only system DLLs, and carries PE subsystem
# version 4.0 so that Windows 95 loads it.
set -u
exe=${1:-build/win32/uninst.exe}
objdump=i686-w64-mingw32-objdump
if [ ! -f "$exe" ] || ! command -v $objdump >/dev/null; then
  echo "SKIPPED: $exe or $objdump missing (./test.sh builds and installs them)"
  [ "${E2E_REQUIRED:-0}" = 1 ] && exit 1
  exit 77
fi
failures=0
size=$(stat -c %s "$exe")
echo "uninst.exe: $size bytes ($((size / 1024)) KB) of 65536"
[ "$size" -le 65536 ] || { echo "FAIL larger than 64 KB"; failures=$((failures + 1)); }

headers=$($objdump -p "$exe")
dlls=$(printf '%s\n' "$headers" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u)
echo "imports: $(echo $dlls)"
for dll in $dlls; do
  case $dll in
    KERNEL32.DLL|USER32.DLL|ADVAPI32.DLL|SHELL32.DLL|OLE32.DLL|MSVCRT.DLL) ;;
    *) echo "FAIL imports $dll, which is no system DLL"; failures=$((failures + 1)) ;;
  esac
done
major=$(printf '%s\n' "$headers" | awk '/MajorSubsystemVersion/ {print $2}')
minor=$(printf '%s\n' "$headers" | awk '/MinorSubsystemVersion/ {print $2}')
subsystem=$(printf '%s\n' "$headers" | awk '/^Subsystem/ {print $2}')
echo "subsystem: $subsystem, version $major.$minor"
[ "$major.$minor" = "4.0" ] || { echo "FAIL subsystem version is not 4.0"; failures=$((failures + 1)); }
[ "$subsystem" = "00000002" ] || { echo "FAIL not a GUI program"; failures=$((failures + 1)); }
echo "$((4 - failures < 0 ? 0 : 4 - failures)) passed, $failures failed"
[ $failures -eq 0 ]
