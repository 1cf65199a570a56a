#!/usr/bin/env bash
# From a staged installation to an uninstall proven clean: uninstdat scan
# writes the manifest, build the data file, and try runs the real uninst.exe
# on the stage in a throwaway prefix, on the NT family and Windows 98. Then
# a user's file inside a staged folder keeps that folder, and a data file that
# lists a file nobody staged shows it in the safety report.
source "$(dirname "$0")/lib.sh"
e2e_setup
UNINSTDAT=${UNINSTDAT:-$ROOT/build/host/uninstdat}
[ -x "$UNINSTDAT" ] || { echo "error: $UNINSTDAT is not built"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"; e2e_cleanup' EXIT
export TMPDIR=$work  # try's throwaway prefixes

# A realistic product: its folder, a file in the Windows folder, a program
# group with a subfolder, shortcuts, and a version 5 (UTF-16) registry export
# with a key tree and a value under the shared Run key.
stage=$work/stage
mkdir -p "$stage/files/C/Program Files/Widget/data/cache" "$stage/files/C/windows" \
  "$stage/shell/Programs/Widget/Docs" "$stage/shell/Desktop" "$stage/shell/StartMenu" \
  "$stage/shell/Startup" "$stage/shell/SendTo"
for f in widget.exe widget.hlp data/settings.ini data/cache/c1.bin; do echo "$f" >"$stage/files/C/Program Files/Widget/$f"; done
echo '[widget]' >"$stage/files/C/windows/widget.ini"
for f in Programs/Widget/Widget.lnk Programs/Widget/Docs/Manual.lnk Desktop/Widget.lnk \
  StartMenu/Widget.lnk 'Startup/Widget Tray.lnk' SendTo/Widget.lnk; do echo lnk >"$stage/shell/$f"; done
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
  '[HKEY_CURRENT_USER\Software\Widget Co]' '' \
  '[HKEY_CURRENT_USER\Software\Widget Co\Widget]' '"Version"="1.0"' '' \
  '[HKEY_CURRENT_USER\Software\Widget Co\Widget\Recent]' '"File1"="C:\\doc.wdg"' '' \
  '[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]' '"Widget Tray"="widget.exe /tray"' |
  iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$stage/registry.reg"
APP='C:\Program Files\Widget'

echo "# scan"
"$UNINSTDAT" scan "$stage" --install-folder "$APP" -o "$work/scanned.json" 2>"$work/notes"
check_eq "scan exits 0" 0 $?
"$UNINSTDAT" scan "$stage" --install-folder "$APP" | cmp -s - "$work/scanned.json"
check_eq "the same stage gives the same bytes" 0 $?
entries=$(python3 -c 'import json,sys; print("|".join(json.load(open(sys.argv[1]))["removalEntries"]))' "$work/scanned.json")
check_eq "entries: relative in the folder, every folder after its contents, <Win>, no install folder" \
  'widget.exe|widget.hlp|data\settings.ini|data\cache\c1.bin|data\cache|data|<Win>\widget.ini' "$entries"
registry=$(python3 -c 'import json,sys; print("|".join(e["key"] + ";" + e.get("value", "") for e in json.load(open(sys.argv[1]))["registryList"]))' "$work/scanned.json")
check_eq "registry: the product's key tree, one value under Run" \
  'HKEY_CURRENT_USER\Software\Widget Co;|HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run;Widget Tray' "$registry"
"$UNINSTDAT" lint "$work/scanned.json" >"$work/lint"
check_eq "lint reports the placeholder texts" 5 "$(grep -c '^placeholder-text' "$work/lint")"
python3 - "$work/scanned.json" "$work/widget.json" <<'PY'
import json, sys
m = json.load(open(sys.argv[1]))
for field in ("messageCaption", "confirmPrompt", "runningPrompt", "closingMessage", "restartPrompt"):
    m[field] = m[field].replace("TODO: ", "").replace("the product's name, the caption of every box", "Widget Setup")
json.dump(m, open(sys.argv[2], "w"), indent=2)
PY
"$UNINSTDAT" build "$work/widget.json" --strict -o "$work/widget.dat"
check_eq "with the texts written, build --strict finds nothing" 0 $?

for family in nt 98; do
  echo "# try --family $family"
  "$UNINSTDAT" try "$work/widget.dat" --stage "$stage" --install-folder "$APP" --family $family \
    >"$work/report" 2>"$work/progress"
  code=$?
  sed 's/^/     /' "$work/report"
  check_eq "$family: exit 0" 0 "$code"
  check_eq "$family: nothing staged is left" 1 "$(grep -c '^Staged and still there: none' "$work/report")"
  check_eq "$family: nothing unstaged went" 1 "$(grep -c '^Removed though nobody staged it (the safety report): none' "$work/report")"
  check_eq "$family: progress was shown" yes "$(grep -q 'try: running' "$work/progress" && echo yes || echo no)"
done

echo "# a user's file inside a staged folder"
mkdir -p "$work/own/files/C/Program Files/Widget/data"
echo mine >"$work/own/files/C/Program Files/Widget/data/notes.txt"
"$UNINSTDAT" try "$work/widget.dat" --stage "$stage" --install-folder "$APP" --also "$work/own" --json \
  >"$work/report.json" 2>/dev/null
check_eq "exit 1" 1 $?
left=$(python3 -c 'import json,sys; print(" ".join(sorted(r["path"] for r in map(json.loads, open(sys.argv[1])) if r["record"] == "left")))' "$work/report.json")
check_eq "the folders that hold it are left" "$APP $APP\\data" "$left"
check_eq "the file itself is kept: the safety report is empty" 0 \
  "$(python3 -c 'import json,sys; print(sum(1 for r in map(json.loads, open(sys.argv[1])) if r["record"] == "removed-unstaged"))' "$work/report.json")"

echo "# a data file that lists a file nobody staged"
python3 - "$work/widget.json" "$work/greedy.json" <<'PY'
import json, sys
m = json.load(open(sys.argv[1]))
m["removalEntries"].insert(0, "<Win>\\win.ini")
json.dump(m, open(sys.argv[2], "w"))
PY
"$UNINSTDAT" try "$work/greedy.json" --stage "$stage" --install-folder "$APP" >"$work/report" 2>/dev/null
check_eq "exit 1" 1 $?
sed -n '/safety report/,$p' "$work/report" | sed 's/^/     /'
check_eq "the safety report names it" 1 "$(grep -ci '^  file C:\\windows\\win.ini$' "$work/report")"
finish
