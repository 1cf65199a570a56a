#!/usr/bin/env bash
# uninst.exe starts on a bare Windows 95: it imports only from KERNEL32,
# USER32, ADVAPI32 and SHELL32, and from them exactly the functions of
# imports.allow (each known to exist on Windows 95 and NT 4.0); it carries PE
# subsystem version 4.0 and the GUI subsystem; its file alignment is at least
# 512 and its section alignment 4096, and its import table lies in a writable
# section, all of which the Windows 95 loader demands (Wine's loader does not,
# so no end-to-end test would notice); every stack frame of a page or more is
# probed page by page, so that none steps over the guard page (Wine commits
# the whole stack, so again no test would notice); its manifest is the one
# app/uninst.manifest.in gives; and, with --max-bytes, it is no larger than
# that. Prints the size, where the bytes are (pe_layout.py) and the imports.
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
if [ ! -f "$exe" ] || [ -z "$objdump" ] || ! command -v python3 >/dev/null; then
  echo "SKIPPED: $exe, the MinGW-w64 objdump or python3 missing (./test.sh builds and installs them)"
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
layout=$(python3 "$here/pe_layout.py" "$exe") || { echo "FAIL $exe is no PE program that pe_layout.py reads"; exit 1; }
printf '%s\n' "$layout"
field() { printf '%s\n' "$layout" | sed -n "s/^$1: //p"; }
if [ -n "$max" ]; then
  code_spare=$(field "code section" | awk '{print $2}')
  room=$((max - size + ${code_spare:-0}))
  if [ "$size" -le "$max" ]; then
    echo "room: the code can grow by $room bytes before the file passes $max" \
      "($((max - size)) below the cap, ${code_spare:-0} spare in its section)"
  else
    echo "room: none, the file is $((size - max)) bytes over $max"
  fi
  check "at most $max bytes" [ "$size" -le "$max" ]
fi

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
file_alignment=$(field "file alignment")
check "file alignment at least 512 (found: $file_alignment)" [ "${file_alignment:-0}" -ge 512 ]
section_alignment=$(field "section alignment")
check "section alignment 4096 (found: $section_alignment)" [ "$section_alignment" = 4096 ]
import_table=$(field "import table")
check "the import table lies in a writable section (found: $import_table)" \
  bash -c '[[ $1 == *" writable" ]]' _ "$import_table"

# A frame of a page or more is allocated one page at a time, each touched at
# once (stack-clash protection), or through __chkstk (register operand):
# never by one subtraction of 4096 bytes or more.
unprobed=$($objdump -d --no-show-raw-insn "$exe" | awk '
  due { if ($0 !~ /or[lq]? +\$0x0,\(%[er]sp\)/) print last; due = 0 }
  /sub +\$0x[0-9a-f]+,%[er]sp/ {
    value = $0; sub(/.*\$0x/, "", value); sub(/,.*/, "", value)
    if (length(value) > 4 || (length(value) == 4 && value != "1000")) print $1 " " $2 " " $3
    else if (value == "1000") { due = 1; last = $1 " " $2 " " $3 }
  }')
check "no stack frame steps over the guard page${unprobed:+ (unprobed: $(echo $unprobed))}" [ -z "$unprobed" ]

# The manifest: the bytes that the build configures from the template, for
# this program's processor. It asks for an execution level, which is what
# keeps Windows' installer detection from demanding elevation for a program
# named like an uninstaller.
case $(printf '%s\n' "$headers" | sed -n 's/.*file format //p' | head -n 1) in
  pei-i386) arch=x86 ;;
  pei-x86-64) arch=amd64 ;;
  *) arch=unknown ;;
esac
template="$here/../../app/uninst.manifest.in"
check "the manifest is app/uninst.manifest.in's for $arch, byte for byte" \
  bash -c 'cmp -s <(python3 "$1/pe_layout.py" "$2" --manifest) <(sed "s/@UNINST_MANIFEST_ARCH@/$3/" "$4")' \
  _ "$here" "$exe" "$arch" "$template"
check "the manifest asks for an execution level" \
  bash -c 'python3 "$1/pe_layout.py" "$2" --manifest | grep -q "<requestedExecutionLevel "' _ "$here" "$exe"
echo "$((checks - failures)) passed, $failures failed"
[ $failures -eq 0 ]
