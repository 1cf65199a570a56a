#!/usr/bin/env bash
# uninstdat as installer authors call it: files written and read back byte for
# byte, no file written on an error, and the exit statuses of lint.
set -u
U=$1
EXAMPLES=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 checks=0
check() {  # name expected actual
  checks=$((checks + 1))
  if [ "$2" = "$3" ]; then echo "ok   $1"; else failures=$((failures + 1)); echo "FAIL $1: expected [$2], got [$3]"; fi
}

"$U" build "$EXAMPLES/widget.json" -o "$work/a.dat"; check "build" 0 $?
"$U" show "$work/a.dat" >"$work/a.json"; check "show" 0 $?
"$U" build "$work/a.json" -o "$work/b.dat"
cmp -s "$work/a.dat" "$work/b.dat"; check "file to manifest to file is byte-exact" 0 $?

printf '{"confirmPrompt": "\\u65e5\\u672c"}' >"$work/bad.json"
"$U" build "$work/bad.json" -o "$work/bad.dat" 2>"$work/err"; check "unrepresentable text fails" 1 $?
check "no file written" absent "$([ -e "$work/bad.dat" ] && echo present || echo absent)"
grep -q '^.*confirmPrompt: ' "$work/err"; check "the error names the field" 0 $?
"$U" build "$work/bad.json" --codepage 932 -o "$work/jp.dat"; check "the same text in code page 932" 0 $?

"$U" lint "$EXAMPLES/widget.json" --strict >/dev/null; check "clean manifest, strict" 0 $?
"$U" lint "$EXAMPLES/widget-folder-first.json" >/dev/null; check "findings without --strict" 0 $?
"$U" lint "$EXAMPLES/widget-folder-first.json" --strict >"$work/lint"; check "findings with --strict" 1 $?
grep -q '^folder-before-contents  removalEntries\[0\]' "$work/lint"; check "finding line" 0 $?
"$U" lint "$work/missing.dat" 2>/dev/null; check "unreadable file" 2 $?
"$U" frobnicate 2>/dev/null; check "usage error" 2 $?

printf '\x01\x00\x00\x00a|b' >"$work/short.dat"
"$U" show "$work/short.dat" >"$work/short.json" 2>"$work/err"; check "truncated file shown with status 1" 1 $?
grep -q 'ends inside removalEntries' "$work/err"; check "what is wrong is said" 0 $?

"$U" plan "$work/a.dat" --family 98 --exe-folder 'C:\Program Files\Widget' >"$work/plan"; check "plan" 0 $?
grep -q 'C:\\WINDOWS\\widget.ini' "$work/plan"; check "plan resolves <Win> on Windows 98" 0 $?
echo "$((checks - failures)) passed, $failures failed"
[ $failures -eq 0 ]
