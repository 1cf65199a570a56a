#!/usr/bin/env bash
# uninst.exe starts on a bare Windows 95: it imports only from KERNEL32,
# USER32, ADVAPI32 and SHELL32, and from them exactly the functions of
# imports.allow (each known to exist on Windows 95 and NT 4.0); it carries PE
# subsystem version 4.0 and the GUI subsystem; and, with --max-bytes, it is
# no larger than that. Prints the size and the imports.
#   check_uninst.sh EXE [--max-bytes N]
set -u
here=$(cd "$(dirname "$0")" && pwd)
exe=${1:-build/win32/uninst.exe}
max=""
[ "${2:-}" = --max-bytes ] && max=$3

# Functions that came only with later systems; never allowed, whatever the list says.
later="GetLongPathNameA GetLongPathNameW GetFileAttributesExA GetFileAttributesExW
SHGetFolderPathA SHGetFolderPathW SHGetSpecialFolderPathA SHGetSpecialFolderPathW
InterlockedCompareExchange IsDebuggerPresent GetDiskFreeSpaceExA
InitializeCriticalSectionAndSpinCount CreateToolhelp32Snapshot MoveFileWithProgressA"

objdump=""
for tool in x86_64-w64-mingw32-objdump i686-w64-mingw32-objdump; do
  command -v $tool >/dev/null && objdump=$tool && break
done
if [ ! -f "$exe" ] || [ -z "$objdump" ]; then
  echo "SKIPPED: $exe or the MinGW-w64 objdump missing (./test.sh builds and installs them)"
  [ "${E2E_REQUIRED:-0}" = 1 ] && exit 1
  exit 77
fi

failures=0
checks=0
check() {  # NAME, then the command that must succeed
  local name=$1
  shift
  checks=$((checks + 1))
  if "$@"; then echo "ok   $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}

headers=$($objdump -p "$exe")
size=$(stat -c %s "$exe")
echo "$(basename "$(dirname "$exe")")/uninst.exe: $size bytes ($((size / 1024)) KB)${max:+, at most $max}"
if [ -n "$max" ]; then check "at most $max bytes" [ "$size" -le "$max" ]; fi

# "DLL Function" per import, the DLL in capitals without ".dll".
imports=$(printf '%s\n' "$headers" | awk '
  /DLL Name:/ { dll = toupper($3); sub(/\.DLL$/, "", dll) }
  /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }' | sort -u)
allowed=$(grep -v '^\s*\(#\|$\)' "$here/imports.allow" | awk '{print $1, $2}' | sort -u)
echo "imports:"
printf '%s\n' "$imports" | awk '{a[$1] = a[$1] " " $2} END {for (d in a) print "  " d ":" a[d]}' | sort

dlls=$(printf '%s\n' "$imports" | awk '{print $1}' | sort -u | tr '\n' ' ')
check "only KERNEL32, USER32, ADVAPI32 and SHELL32 (found: $dlls)" \
  bash -c '! printf "%s\n" "$1" | grep -qvxE "KERNEL32|USER32|ADVAPI32|SHELL32"' _ "$(printf '%s\n' "$imports" | awk '{print $1}')"
unlisted=$(comm -23 <(printf '%s\n' "$imports") <(printf '%s\n' "$allowed"))
check "every import is in imports.allow${unlisted:+ (not: $(echo $unlisted))}" [ -z "$unlisted" ]
unused=$(comm -13 <(printf '%s\n' "$imports") <(printf '%s\n' "$allowed"))
check "imports.allow holds nothing the program does not import${unused:+ (unused: $(echo $unused))}" [ -z "$unused" ]
found_later=""
for f in $later; do printf '%s\n' "$imports" | grep -qw "$f" && found_later+=" $f"; done
check "no function of a later Windows${found_later:+ (found:$found_later)}" [ -z "$found_later" ]

major=$(printf '%s\n' "$headers" | awk '/MajorSubsystemVersion/ {print $2}')
minor=$(printf '%s\n' "$headers" | awk '/MinorSubsystemVersion/ {print $2}')
subsystem=$(printf '%s\n' "$headers" | awk '/^Subsystem/ {print $2}')
echo "subsystem: $subsystem, version $major.$minor"
check "subsystem version 4.0" [ "$major.$minor" = "4.0" ]
check "GUI subsystem" [ "$subsystem" = "00000002" ]
echo "$((checks - failures)) passed, $failures failed"
[ $failures -eq 0 ]
