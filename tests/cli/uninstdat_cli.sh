#!/usr/bin/env bash
# uninstdat as release pipelines call it: files written and read back byte for
# byte; an author's file never damaged by a failed write; manifests told from
# data files; strict input; exit codes; bounded on hostile input.
#   uninstdat_cli.sh UNINSTDAT EXAMPLES
set -u
U=$1
EXAMPLES=$2
work=$(mktemp -d)
chmod 755 "$work"
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
failures=0 checks=0
check() {  # name expected actual
  checks=$((checks + 1))
  if [ "$2" = "$3" ]; then echo "ok   $1"; else failures=$((failures + 1)); echo "FAIL $1: expected [$2], got [$3]"; fi
}
status() { "$@" >"$work/out" 2>"$work/err"; echo $?; }
said() { grep -q -- "$1" "$work/err" && echo yes || echo no; }

"$U" build "$EXAMPLES/widget.json" -o "$work/a.dat"; check "build" 0 $?
"$U" show "$work/a.dat" >"$work/a.json"; check "show" 0 $?
"$U" build "$work/a.json" -o "$work/b.dat"
cmp -s "$work/a.dat" "$work/b.dat"; check "file to manifest to file is byte-exact" 0 $?
"$U" build - -o - <"$EXAMPLES/widget.json" | cmp -s - "$work/a.dat"; check "standard input to standard output" 0 $?
{ cat "$work/a.dat"; printf '\0\0\0'; } >"$work/nuls.dat"
"$U" show "$work/nuls.dat" | "$U" build - -o "$work/nuls2.dat"
cmp -s "$work/nuls.dat" "$work/nuls2.dat"; check "NULs after the last text survive show and build" 0 $?

# A failed write leaves the old file byte for byte, and says why.
cp "$work/a.dat" "$work/keep.dat"
printf '{"confirmPrompt": 5}' >"$work/bad.json"
check "bad manifest: exit 3" 3 "$(status "$U" build "$work/bad.json" -o "$work/keep.dat")"
cmp -s "$work/a.dat" "$work/keep.dat"; check "bad manifest leaves the old file" 0 $?
check "no space left: exit 4" 4 "$(status "$U" build "$EXAMPLES/widget.json" -o /dev/full)"
check "no space left: the reason" yes "$(said 'No space left on device')"
# Under the limit only pipes and devices can be written, so the code comes back through one.
check "file-size limit: exit 4" 4 "$( (ulimit -f 0; "$U" build "$EXAMPLES/widget.json" -o "$work/keep.dat" 2>/dev/null; echo $?) | cat)"
cmp -s "$work/a.dat" "$work/keep.dat"; check "file-size limit leaves the old file" 0 $?
# As root, the write is tried by another user, who may not enter the folder
# of the checkout: the tool and the manifest go into the work folder first.
mkdir "$work/ro" && cp "$work/a.dat" "$work/ro/keep.dat" && chmod 555 "$work/ro"
cp "$U" "$work/uninstdat" && cp "$EXAMPLES/widget.json" "$work/widget.json"
as_user=()
[ "$(id -u)" -eq 0 ] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
check "read-only folder: exit 4" 4 "$(status "${as_user[@]}" "$work/uninstdat" build "$work/widget.json" -o "$work/ro/keep.dat")"
check "read-only folder: the reason" yes "$(said 'Permission denied')"
cmp -s "$work/a.dat" "$work/ro/keep.dat"; check "read-only folder leaves the old file" 0 $?
cp "$EXAMPLES/widget.json" "$work/m.json"
check "output that is the input: exit 2" 2 "$(status "$U" build "$work/m.json" -o "$work/./m.json")"
cmp -s "$EXAMPLES/widget.json" "$work/m.json"; check "the manifest is left alone" 0 $?

# Manifests are told from data files; their faults are reported as such.
printf '\xef\xbb\xbf{"messageCaption": "x", "restartPrompt": "y"}' >"$work/bom.json"
printf '{"removalEntries": ["a",], "messageCaption": "x"}' >"$work/comma.json"
printf '{"removalEntries": ["a"' >"$work/cut.json"
printf '{"messageCaption": "x",\n "messageCaption": "y"}' >"$work/twice.json"
printf '{"progamGroup": "Widget"}' >"$work/typo.json"
printf '{"messageCaption": "x",\r\r "restartPrompt": y}' >"$work/cr.json"
printf '{"messageCaption": "\xc3\xa9\xc3\xa9", x}' >"$work/letters.json"
printf '{"codePage": "932"}' >"$work/cpstring.json"
printf '{"codePage": 65001}' >"$work/utf8.json"
printf '{"registryList": [{"key": "HKEY_CURRENT_USER\\\\Software\\\\W", "value": ""}]}' >"$work/empty-value.json"
printf '{"registryList": [{"key": "HKLM\\\\Software\\\\W"}]}' >"$work/short-root.json"
printf '{"codePage": 1e400}' >"$work/huge.json"
printf '{"codePage": 4294968548}' >"$work/wraps.json"
python3 -c 'print("{\"removalEntries\": " + "[" * 70000 + "]" * 70000 + "}")' >"$work/deep.json"
mkdir -p "$work/stage-plain/files/C/Program Files/W" && echo x >"$work/stage-plain/files/C/Program Files/W/w.exe"
# try stops before any Wine work: its helpers are named where there are none.
export UNINSTDAT_WINE_TOOLS=$work/no-wine
while read -r name code message command; do
  check "$name: exit $code" "$code" "$(status "$U" $command)"
  [ "$message" = - ] || check "$name: says $message" yes "$(said "$message")"
done <<EOF
BOM:lint 0 - lint $work/bom.json
BOM:build 0 - build $work/bom.json -o $work/bom.dat
trailing-comma 3 line.1,.column lint $work/comma.json
truncated-manifest 3 not.valid.JSON plan $work/cut.json
syntax-error-after-lone-CRs 3 at.line.3,.column.19: lint $work/cr.json
syntax-error-after-letters-of-two-bytes 3 at.line.1,.column.26: build $work/letters.json -o $work/x.dat
syntax-error-in-a-machine 3 cr.json:.not.valid.JSON:.parse.error.at.line.3,.column.19: plan $EXAMPLES/widget.json --machine $work/cr.json
duplicate-key 3 line.2 build $work/twice.json -o $work/x.dat
unknown-field 3 did.you.mean."programGroup" build $work/typo.json -o $work/x.dat
code-page-as-text 3 must.be.a.number build $work/cpstring.json -o $work/x.dat
code-page-not-ansi 3 874,.932 build $work/utf8.json -o $work/x.dat
code-page-option 2 1250.to.1258 lint $EXAMPLES/widget.json --codepage 65001
code-page-option:build 2 1250.to.1258 build $EXAMPLES/widget.json -o $work/x.dat --codepage 65001
code-page-option:show 2 1250.to.1258 show $work/missing.dat --codepage 7
code-page-option:plan 2 1250.to.1258 plan $EXAMPLES/widget.json --codepage 65001
code-page-option:diff 2 1250.to.1258 diff $EXAMPLES/widget.json $EXAMPLES/widget.json --codepage 65001
code-page-option:scan 2 1250.to.1258 scan $work/stage-plain --install-folder C:\\W --codepage 65001
code-page-option:try 2 1250.to.1258 try $EXAMPLES/widget.json --stage $EXAMPLES --install-folder C:\\W --codepage 65001
code-page-after-diff-usage 2 cannot.both.be.standard.input diff - - --codepage 65001
code-page-after-lint-usage 2 cannot.go.with.--format lint $EXAMPLES/widget.json --json --format sarif --codepage 65001
empty-value-name 3 leave."value".out build $work/empty-value.json -o $work/x.dat
unreadable 3 No.such.file lint $work/missing.dat
usage 2 - frobnicate
family-in-capitals 0 - plan $EXAMPLES/widget.json --family NT
family-before-the-file 0 - plan --family 98 $EXAMPLES/widget.json --json
families-with-commas 0 - lint --family 95,nt $EXAMPLES/widget.json
try-family-before-the-file 3 try's.Wine.helper try --family nt,95 $EXAMPLES/widget.json --stage $EXAMPLES --install-folder C:\\W
family-swallows-nothing 2 not.expected:.nt lint $EXAMPLES/widget.json --family 95 nt
short-root-name 3 write.HKEY_LOCAL_MACHINE build $work/short-root.json -o $work/x.dat
deep-nesting:build 3 nested.more.than build $work/deep.json -o $work/x.dat
deep-nesting:lint 3 nested.more.than lint $work/deep.json
deep-nesting:plan 3 nested.more.than plan $work/deep.json
1e400:build 3 out.of.range build $work/huge.json -o $work/x.dat
1e400:machine 3 out.of.range lint $EXAMPLES/widget.json --machine $work/huge.json
code-page-beyond-int 3 no.Windows.ANSI.code.page build $work/wraps.json -o $work/x.dat
capture-no-installer 3 neither.a.Windows.program.nor.an.MSI capture /bin/true -o $work/cap1
capture-into-a-full-folder 4 is.not.empty capture /bin/true -o $EXAMPLES
capture-install-folder-on-D 2 absolute.folder.on.C: capture /bin/true -o $work/cap2 --install-folder D:\\W
capture-two-families 2 capture.takes.one.family capture /bin/true -o $work/cap3 --family nt,98
scan-without-install-folder 2 --install-folder.is.required scan $work/stage-plain
unknown-allowed-code 2 did.you.mean."shared-system-file" lint $EXAMPLES/widget.json --allow shared-sytem-file
json-with-another-format 2 --json.is.--format.json lint $EXAMPLES/widget.json --json --format sarif
unknown-format 2 xml.not.in lint $EXAMPLES/widget.json --format xml
strict-build 1 no.file.written build $EXAMPLES/widget-folder-first.json --strict -o $work/strict.dat
ELF-is-no-data-file 3 does.not.look.like.a.data.file show /bin/true
EOF
check "strict build wrote nothing" absent "$([ -e "$work/strict.dat" ] && echo present || echo absent)"
check "--version" 0 "$(status "$U" --version)"
check "help lint" yes "$("$U" help lint | grep -q -- '--max-per-code' && echo yes || echo no)"
# scan takes the install folder and allUsers from capture.json, given options first.
cp -r "$work/stage-plain" "$work/stage-captured"
printf '{"installFolder": "C:\\\\Program Files\\\\W", "allUsers": true}' >"$work/stage-captured/capture.json"
mkdir -p "$work/stage-captured/shell/Desktop" && echo lnk >"$work/stage-captured/shell/Desktop/W.lnk"
"$U" scan "$work/stage-captured" -o "$work/captured.json" 2>/dev/null
check "scan with capture.json: exit 0" 0 $?
check "scan with capture.json: its folder and allUsers" "w.exe true" \
  "$(python3 -c 'import json,sys; m=json.load(open(sys.argv[1])); print(m["removalEntries"][0], str(m["allUsers"]).lower())' "$work/captured.json")"
"$U" scan "$work/stage-captured" --install-folder 'C:\Program Files' -o "$work/given.json" 2>/dev/null
check "scan: a given --install-folder wins over capture.json" 'W\w.exe' \
  "$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["removalEntries"][0])' "$work/given.json")"
check "help names every exit code but the interrupt's" "0 1 2 3 4 70" \
  "$("$U" help | sed -n 's/^Exit codes: //p' | grep -oE '(^|, )[0-9]+ ' | tr -d ', ' | tr '\n' ' ' | sed 's/ $//')"
check "help names every command" "build show lint plan diff scan try capture help" \
  "$("$U" help | sed -n '/^Subcommands:/,$p' | awk 'NR > 1 && NF {print $1}' | tr '\n' ' ' | sed 's/ $//')"
"$U" build "$work/typo.json" -o "$work/x.dat" 2>"$work/err"; "$U" plan "$EXAMPLES/widget.json" --family 96 2>>"$work/err"
"$U" lint 2>>"$work/err"
check "one prefix on every error line" 0 "$(grep -vc '^uninstdat: ' "$work/err")"

# Acknowledged findings: counted and listed as allowed, never dropped unseen.
printf '{"messageCaption": "W", "restartPrompt": "R?", "removalEntries": ["<Fonts>\\\\w.ttf"]}' >"$work/font.json"
sed 's/^{/{"lintAllow": ["shared-system-file=<Fonts>\\\\w.ttf"], /' "$work/font.json" >"$work/font-allowed.json"
check "own font: strict fails" 1 "$(status "$U" lint "$work/font.json" --strict)"
check "--allow CODE" 0 "$(status "$U" lint "$work/font.json" --strict --allow shared-system-file)"
check "the allowed finding is listed, with its entry" yes "$(grep -qF 'allowed  shared-system-file  removalEntries[0] "<Fonts>\w.ttf": ' "$work/out" && echo yes || echo no)"
check "--allow CODE=TEXT" 0 "$(status "$U" lint "$work/font.json" --strict --allow 'shared-system-file=<Fonts>\w.ttf')"
check "--allow CODE=another text" 1 "$(status "$U" lint "$work/font.json" --strict --allow 'shared-system-file=<Fonts>\v.ttf')"
check "lintAllow in the manifest" 0 "$(status "$U" build "$work/font-allowed.json" --strict -o "$work/font.dat")"
"$U" lint "$work/font-allowed.json" --json >"$work/allowed.json"
check "lint --json: allowed, with the entry's text" yes "$(grep -q '"text":"<Fonts>\\\\w.ttf".*"allowed":true' "$work/allowed.json" && echo yes || echo no)"

check "clean manifest, strict" 0 "$(status "$U" lint "$EXAMPLES/widget.json" --strict)"
check "findings without --strict" 0 "$(status "$U" lint "$EXAMPLES/widget-folder-first.json")"
check "findings with --strict" 1 "$(status "$U" lint "$EXAMPLES/widget-folder-first.json" --strict)"
grep -q '^folder-before-contents  removalEntries\[0\]' "$work/out"; check "finding line" 0 $?
"$U" lint "$EXAMPLES/widget-folder-first.json" --json >"$work/lint.json"
python3 -c 'import json,sys; [json.loads(l) for l in open(sys.argv[1])]' "$work/lint.json"; check "lint --json: a JSON record per line" 0 $?
grep -q '"code":"folder-before-contents"' "$work/lint.json"; check "lint --json: the finding" 0 $?
"$U" lint "$EXAMPLES/widget-folder-first.json" --format json | cmp -s - "$work/lint.json"; check "--format json is --json" 0 $?
"$U" lint "$EXAMPLES/widget-folder-first.json" --format text | cmp -s - "$work/out"; check "--format text is the default" 0 $?
"$U" plan "$work/a.dat" --family 98 --json --exe-folder 'C:\Program Files\Widget' >"$work/plan.json"
grep -q '"record":"entry".*"path":"C:\\\\WINDOWS\\\\widget.ini"' "$work/plan.json"; check "plan --json: the entry's outcome" 0 $?
"$U" plan "$work/a.dat" --family 98 --exe-folder 'C:\Program Files\Widget' >"$work/plan"; check "plan" 0 $?
grep -q 'C:\\WINDOWS\\widget.ini' "$work/plan"; check "plan resolves <Win> on Windows 98" 0 $?

printf '\x01\x00\x00\x00a|b' >"$work/short.dat"
check "truncated data file: exit 3" 3 "$(status "$U" show "$work/short.dat")"
check "what is wrong is said" yes "$(said 'ends inside removalEntries')"
check "--force shows it" 0 "$(status "$U" show "$work/short.dat" --force)"

# A Japanese data file read without --codepage: a note names 932.
printf '{"codePage": 932, "removalEntries": ["ソフト\\\\表示.txt"], "messageCaption": "表示"}' >"$work/jp.json"
"$U" build "$work/jp.json" -o "$work/jp.dat"
check "code-page hint" 0 "$(status "$U" show "$work/jp.dat")"
check "code-page hint names 932" yes "$(said 'run again with --codepage 932')"

# diff names exactly what an upgrade from widget.json to widget-3.3.json
# leaves behind, on every family, a manifest or its data file on either side.
dropped() { python3 -c 'import json,sys; print(" ".join(sorted(r["family"]+":"+r["kind"]+":"+r["where"] for r in map(json.loads, open(sys.argv[1])) if r["record"] == "dropped")))' "$1"; }
expected=$(for f in 95 98 nt; do printf '%s:path:removalEntries[1] %s:shortcut:startupShortcuts[0] %s:value:registryList[1] ' $f $f $f; done | sed 's/ $//')
check "diff of two versions: exit 1" 1 "$(status "$U" diff "$EXAMPLES/widget.json" "$EXAMPLES/widget-3.3.json" --json)"
check "diff names exactly the dropped entries" "$expected" "$(dropped "$work/out")"
check "diff --json: the summary counts them" yes "$(tail -n 1 "$work/out" | grep -q '"record":"summary","dropped":9,"path":3,"key":0,"value":3,"shortcut":3,"group":0,"narrowed":0,"exit":1' && echo yes || echo no)"
"$U" build "$EXAMPLES/widget-3.3.json" -o "$work/w33.dat"
check "diff of a manifest and a data file: exit 1" 1 "$(status "$U" diff "$EXAMPLES/widget.json" "$work/w33.dat" --json --family nt)"
check "diff of a manifest and a data file: the same entries" "nt:path:removalEntries[1] nt:shortcut:startupShortcuts[0] nt:value:registryList[1]" "$(dropped "$work/out")"
check "diff of a file with itself: exit 0" 0 "$(status "$U" diff "$EXAMPLES/widget.json" "$work/a.dat")"
check "diff of a file with itself: nothing" 0 "$(wc -c <"$work/out")"
# The mend the README gives: keep the dropped items in the new lists.
python3 - "$EXAMPLES/widget-3.3.json" "$EXAMPLES/widget.json" >"$work/w33-kept.json" <<'PY'
import json, sys
new, old = (json.load(open(p)) for p in sys.argv[1:3])
new["removalEntries"].insert(0, "widget.hlp")
new["registryList"] += [r for r in old["registryList"] if r not in new["registryList"]]
new["startupShortcuts"] = old["startupShortcuts"]
print(json.dumps(new))
PY
check "diff after keeping the dropped items: exit 0" 0 "$(status "$U" diff "$EXAMPLES/widget.json" "$work/w33-kept.json")"
check "diff: OLD and NEW both standard input: exit 2" 2 "$(status "$U" diff - - </dev/null)"
check "diff: two code pages: exit 3" 3 "$(status "$U" diff "$work/jp.json" "$EXAMPLES/widget.json")"
check "diff: two code pages: says the mend" yes "$(said 'give --codepage N')"
# A million distinct entries against a small file: capped output, bounded
# time and memory; against itself, nothing (200,000 under AddressSanitizer,
# whose time and memory are its own). The time bound is on the processor
# time the tool spent, not on the clock: a loaded machine (CI's, or the
# Wine tests beside this one) stretches the clock, never the work, and a
# bound that growth faster than linear would break must not fail at random.
# (GCC links AddressSanitizer's runtime as a library, clang into the program.)
sanitized=no
{ ldd "$U" 2>/dev/null | grep -q libasan || grep -qa __asan_init "$U"; } && sanitized=yes
entries=1000000
[ $sanitized = yes ] && entries=200000
python3 -c 'import sys; sys.stdout.buffer.write(b"\0" * 4 + "".join("d\\f%07d.txt|" % i for i in range(int(sys.argv[1]))).encode() + b"\0" * 13)' $entries >"$work/many.dat"
for new in "$EXAMPLES/widget.json" "$work/many.dat"; do
  python3 - "$U" "$work/many.dat" "$new" >"$work/measure" <<'PY'
import resource, subprocess, sys, time
start = time.time()
run = subprocess.run([sys.argv[1], "diff", sys.argv[2], sys.argv[3]], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=600)
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print(f"{usage.ru_utime + usage.ru_stime:.1f} {usage.ru_maxrss // 1024} {len(run.stdout)} {run.returncode} {time.time() - start:.1f}")
PY
  read -r seconds rss bytes code clock <"$work/measure"
  echo "     diff of $entries entries against $(basename "$new"): $seconds s of processor time ($clock s by the clock), $rss MB at most in memory, $bytes bytes of output"
  if [ "$new" = "$work/many.dat" ]; then
    check "diff of many entries with itself: exit 0, nothing" "0 0" "$code $bytes"
  else
    check "diff of many dropped entries: exit 1, output capped" "1 yes" "$code $([ "$bytes" -lt 20000 ] && echo yes || echo no)"
  fi
  [ $sanitized = yes ] || check "diff of a million entries: under 400 MB and 30 s of processor time" yes \
    "$(python3 -c "print('yes' if $rss < 400 and $seconds < 30 else 'no')")"
done

# Hostile: 5 MB of "|" goes through lint, plan and show in seconds of
# processor time and bounded memory, lint's and plan's output capped (1 MB under
# AddressSanitizer, whose time and memory are its own).
megabytes=5
[ $sanitized = yes ] && megabytes=1
head -c 4 /dev/zero >"$work/pipes.dat"
head -c $((megabytes * 1024 * 1024)) /dev/zero | tr '\0' '|' >>"$work/pipes.dat"
head -c 13 /dev/zero >>"$work/pipes.dat"
for command in lint plan show; do
  python3 - "$U" "$command" "$work/pipes.dat" >"$work/measure" <<'PY'
import resource, subprocess, sys, time
start = time.time()
run = subprocess.run([sys.argv[1], sys.argv[2], sys.argv[3]], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=600)
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
lines = run.stdout.count(b"\n")
print(f"{usage.ru_utime + usage.ru_stime:.1f} {usage.ru_maxrss // 1024} {len(run.stdout)} {run.returncode} {lines} {time.time() - start:.1f}")
PY
  read -r seconds rss bytes code lines clock <"$work/measure"
  echo "     $command of $megabytes MB of \"|\": $seconds s of processor time ($clock s by the clock), $rss MB at most in memory, $bytes bytes of output"
  check "hostile $command: exit 0" 0 "$code"
  if [ "$command" = show ]; then
    check "hostile show: a line per entry" $((megabytes * 1024 * 1024 + 18)) "$lines"
  else
    check "hostile $command: output capped" yes "$([ "$bytes" -lt 20000 ] && echo yes || echo no)"
  fi
  if [ $sanitized = yes ]; then
    echo "     (built with AddressSanitizer: its memory and time are not the program's; not checked)"
  else
    check "hostile $command: under 400 MB" yes "$([ "$rss" -lt 400 ] && echo yes || echo no)"
    check "hostile $command: under 30 s of processor time" yes "$(python3 -c "print('yes' if $seconds < 30 else 'no')")"
  fi
done
echo "$((checks - failures)) passed, $failures failed"
[ $failures -eq 0 ]
