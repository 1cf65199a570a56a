#!/usr/bin/env bash
# try on a machine someone lives on: a vendor's second product, other
# programs' values, files and shortcuts, a second user. scan never lists a
# vendor's key or folder whole; what a data file's format cannot remove is
# a note; --also's keys, values and shortcuts must stay; and each kind of
# canary, taken by a data file that reaches too far, is a safety finding
# that names the entry that took it.
# try makes its own sandboxes, so this script runs outside one.
source "$(dirname "$0")/lib.sh"
e2e_check_outside
UNINSTDAT=${UNINSTDAT:-$ROOT/build/host/uninstdat}
[ -x "$UNINSTDAT" ] || { echo "error: $UNINSTDAT is not built"; exit 1; }
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"; e2e_cleanup' EXIT
export TMPDIR=$work/tmp XDG_CACHE_HOME=$E2E_WORK/cache HOME=$work/home
mkdir -p "$TMPDIR" "$work/home"
json_of() {  # FILE RECORD FIELD: that field of every such record, one a line
  python3 -c 'import json,sys
for r in map(json.loads, open(sys.argv[1])):
    if r["record"] == sys.argv[2]: print(r.get(sys.argv[3], ""))' "$@"
}
texts() {  # MANIFEST: the box texts written over scan's placeholders
  python3 - "$1" <<'PY'
import json, sys
m = json.load(open(sys.argv[1]))
for field in ("messageCaption", "confirmPrompt", "runningPrompt", "closingMessage", "restartPrompt"):
    m[field] = m[field].replace("TODO: ", "")
json.dump(m, open(sys.argv[1], "w"), indent=2)
PY
}
with() {  # MANIFEST OUT PYTHON: OUT is MANIFEST changed by the statements (m is the manifest)
  python3 -c 'import json,sys
m = json.load(open(sys.argv[1]))
exec(sys.argv[3])
json.dump(m, open(sys.argv[2], "w"))' "$@"
}

# Acme Notes: a product below its vendor's folder, group and keys, with a
# library in the system folder, a value under the Run key and an uninstall
# entry.
stage=$work/acme
APP='C:\Program Files\Acme\Notes'
mkdir -p "$stage/files/C/Program Files/Acme/Notes/data" "$stage/files/C/Windows/System32" \
  "$stage/shell/Programs/Acme/Notes" "$stage/shell/Desktop"
for f in notes.exe data/notes.ini; do echo "$f" >"$stage/files/C/Program Files/Acme/Notes/$f"; done
echo lib >"$stage/files/C/Windows/System32/acmenote.dll"
for f in Programs/Acme/Notes/Notes.lnk Desktop/Notes.lnk; do echo lnk >"$stage/shell/$f"; done
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
  '[HKEY_CURRENT_USER\Software\Acme]' '' '[HKEY_CURRENT_USER\Software\Acme\Notes]' '"Recent"="a.txt"' '' \
  '[HKEY_LOCAL_MACHINE\Software\Acme]' '' '[HKEY_LOCAL_MACHINE\Software\Acme\Notes]' '"Path"="C:\\x"' '' \
  '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\AcmeNotes]' '"DisplayName"="Acme Notes"' '' \
  '[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]' '"Acme Notes"="notes.exe"' >"$stage/registry.reg"

echo "# scan: the product's own key and group, never the vendor's"
"$UNINSTDAT" scan "$stage" --install-folder "$APP" -o "$work/notes.json" 2>"$work/notes.err"
check_eq "scan exits 0" 0 $?
check_eq "registry: the product's keys below the vendor's, the uninstall entry, the Run value" \
  'HKEY_CURRENT_USER\Software\Acme\Notes;|HKEY_LOCAL_MACHINE\Software\Acme\Notes;|HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\AcmeNotes;|HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run;Acme Notes' \
  "$(python3 -c 'import json,sys; print("|".join(e["key"] + ";" + e.get("value", "") for e in json.load(open(sys.argv[1]))["registryList"]))' "$work/notes.json")"
check_eq "the group is the product's folder, not the vendor's" 'Acme\Notes' \
  "$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["programGroup"])' "$work/notes.json")"
check_eq "scan says why on standard error" 3 "$(grep -c "vendor's" "$work/notes.err")"
texts "$work/notes.json"
with "$work/notes.json" "$work/notes.json" 'm["removalEntries"][-1] = {"default": "<Sys>\\acmenote.dll", "nt": "<Sys32>\\acmenote.dll"}'

echo "# try: clean with canaries, notes for the vendor's folder, key and group"
"$UNINSTDAT" try "$work/notes.json" --stage "$stage" --install-folder "$APP" --json >"$work/report.json" 2>/dev/null
check_eq "exit 0" 0 $?
check_eq "canaries of every kind were laid" "yes" \
  "$(python3 -c 'import json,sys
r = [r for r in map(json.loads, open(sys.argv[1])) if r["record"] == "canaries"][0]
print("yes" if all(r[k] > 0 for k in ("vendor", "value", "file", "shortcut", "user")) else r)' "$work/report.json")"
notes=$(json_of "$work/report.json" note path | sed 's/^.*\\Programs\\/Programs\\/' | sort | tr '\n' '|')
# A 32-bit uninstaller's HKLM\Software is the 32-bit view of a 64-bit prefix.
hklm='HKEY_LOCAL_MACHINE\Software'
[ "$WINE_BITS" = 32 ] && hklm+='\Wow6432Node'
check_eq "notes: the vendor's folder, group and keys" \
  "$WIN_PROGRAM_FILES\\Acme|HKEY_CURRENT_USER\\Software\\Acme|$hklm\\Acme|Programs\\Acme|" "$notes"
check_eq "nothing removed that must stay" "" "$(json_of "$work/report.json" removed-unstaged path)"
"$UNINSTDAT" try "$work/notes.json" --stage "$stage" --install-folder "$APP" --json --fresh >"$work/fresh.json" 2>/dev/null
check_eq "--fresh: exit 0, and no canaries" "0 none" "$? $(json_of "$work/fresh.json" canaries vendor | grep -q . && echo some || echo none)"

echo "# a whole vendor's key: lint fails unless allowed, try names the other product it took"
with "$work/notes.json" "$work/vendor.json" 'm["registryList"][0] = {"key": "HKEY_CURRENT_USER\\Software\\Acme"}'
"$UNINSTDAT" lint --strict "$work/vendor.json" >"$work/lint" 2>&1
check_eq "lint --strict: exit 1, registry-vendor-key" "1 1" "$? $(grep -c '^registry-vendor-key' "$work/lint")"
"$UNINSTDAT" lint --strict "$work/vendor.json" --allow shared-system-file \
  --allow 'registry-vendor-key=HKEY_CURRENT_USER\Software\Acme;' >/dev/null 2>&1
check_eq "allowed, lint --strict passes" 0 $?
"$UNINSTDAT" try "$work/vendor.json" --stage "$stage" --install-folder "$APP" --json >"$work/report.json" 2>/dev/null
check_eq "try: exit 1" 1 $?
check_eq "the other Acme product's key and value, each taken by the whole vendor's key" \
  'HKEY_CURRENT_USER\Software\Acme\Another Product vendor registryList "HKEY_CURRENT_USER\Software\Acme;"|HKEY_CURRENT_USER\Software\Acme\Another Product vendor registryList "HKEY_CURRENT_USER\Software\Acme;"|' \
  "$(python3 -c 'import json,sys
for r in map(json.loads, open(sys.argv[1])):
    if r["record"] == "removed-unstaged": print(r["path"], r.get("laidBy"), r.get("takenBy"))' "$work/report.json" | tr '\n' '|')"

echo "# --also: the machine's own keys, values and shortcuts must stay"
also=$work/also
mkdir -p "$also/shell/Desktop" "$also/shell/Programs/Acme/Paint"
echo lnk >"$also/shell/Desktop/Paint.lnk"
echo lnk >"$also/shell/Programs/Acme/Paint/Paint.lnk"
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' '[HKEY_CURRENT_USER\Software\Acme\Paint]' '"Brush"="round"' '' \
  '[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]' '"Paint Tray"="paint.exe"' >"$also/registry.reg"
"$UNINSTDAT" try "$work/notes.json" --stage "$stage" --install-folder "$APP" --also "$also" --fresh --json \
  >"$work/report.json" 2>/dev/null
check_eq "kept: exit 0" 0 $?
with "$work/notes.json" "$work/takes-also.json" 'm["registryList"] += [{"key": "HKEY_CURRENT_USER\\Software\\Acme\\Paint"},
  {"key": "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "value": "Paint Tray"}]; m["desktopShortcuts"] += ["Paint"]'
"$UNINSTDAT" try "$work/takes-also.json" --stage "$stage" --install-folder "$APP" --also "$also" --fresh --json \
  >"$work/report.json" 2>/dev/null
check_eq "taken: exit 1" 1 $?
check_eq "each --also item that went is a safety finding that names the entry" \
  'HKEY_CURRENT_USER\Software\Acme\Paint;|HKEY_CURRENT_USER\Software\Acme\Paint;Brush|HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run;Paint Tray|Paint.lnk;|' \
  "$(python3 -c 'import json,sys
for r in map(json.loads, open(sys.argv[1])):
    if r["record"] == "removed-unstaged" and r.get("laidBy") == "--also" and r.get("takenBy"):
        print(r["path"].split("\\")[-1] if r["kind"] == "file" else r["path"], r.get("value", ""), sep=";")' "$work/report.json" | sort | tr '\n' '|')"

echo "# each kind of canary, taken by a data file that reaches too far"
while IFS='^' read -r name change kind taken; do
  with "$work/notes.json" "$work/row.json" "$change"
  "$UNINSTDAT" try "$work/row.json" --stage "$stage" --install-folder "$APP" --json >"$work/report.json" 2>/dev/null
  got=$?
  check_eq "$name: exit 1, a $kind canary taken by $taken" "1 yes" "$got $(python3 -c 'import json,sys
ok = any(r["record"] == "removed-unstaged" and r.get("laidBy") == sys.argv[2] and sys.argv[3] in r.get("takenBy", "")
         for r in map(json.loads, open(sys.argv[1])))
print("yes" if ok else "no")' "$work/report.json" "$kind" "$taken")"
done <<'ROWS'
another program's file beside the product's in the system folder^m["removalEntries"] += [{"default": "<Sys>\\acmenote_other.dll", "nt": "<Sys32>\\acmenote_other.dll"}]^file^acmenote_other.dll
a whole Run key^m["registryList"][-1] = {"key": "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"}^value^CurrentVersion\Run;"
a whole Uninstall key^m["registryList"][2] = {"key": "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}^value^Uninstall;"
a vendor's group^m["programGroup"] = "Acme"^vendor^programGroup "Acme"
the vendor's folder^m["removalEntries"] += ["<ProgramFiles>\\Acme\\Another Product\\readme.txt"]^vendor^Another Product\readme.txt
another program's shortcut^m["desktopShortcuts"] += ["Another Program"]^shortcut^Another Program.lnk
a per-user shortcut on NT taking another user's^m["removalEntries"] += ["C:\\users\\Another User\\Desktop\\Notes.lnk"]^user^Another User\Desktop\Notes.lnk
ROWS

# DeleteFileA takes no pattern (under Wine as on Windows): a wildcard entry
# resists, the restart question comes, and the other program's file that
# the pattern matches stays.
with "$work/notes.json" "$work/row.json" 'm["removalEntries"] += [{"default": "<Sys>\\acmenote*.dll", "nt": "<Sys32>\\acmenote*.dll"}]'
"$UNINSTDAT" try "$work/row.json" --stage "$stage" --install-folder "$APP" --json >"$work/report.json" 2>/dev/null
check_eq "a wildcard in the system folder: exit 1, the pattern deferred, the file beside it kept" "1 acmenote*.dll none" \
  "$? $(json_of "$work/report.json" restart deferred | grep -o 'acmenote\*\.dll') $(json_of "$work/report.json" removed-unstaged path | grep -q . && echo some || echo none)"
echo "# a verb the product adds to a file type of Windows: its canaries lie beside it, never inside it"
verb=$work/verb
mkdir -p "$verb/files/C/Program Files/Widget"
echo exe >"$verb/files/C/Program Files/Widget/widget.exe"
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' '[HKEY_CLASSES_ROOT\txtfile\shell\Widget]' '@="Open with Widget"' '' \
  '[HKEY_CLASSES_ROOT\txtfile\shell\Widget\command]' '@="widget.exe %1"' >"$verb/registry.reg"
"$UNINSTDAT" scan "$verb" --install-folder 'C:\Program Files\Widget' -o "$work/verb.json" 2>/dev/null
texts "$work/verb.json"
with "$work/verb.json" "$work/verb.json" 'm["registryList"] = [{"key": "HKEY_CLASSES_ROOT\\txtfile\\shell\\Widget"}]'
"$UNINSTDAT" try "$work/verb.json" --stage "$verb" --install-folder 'C:\Program Files\Widget' --json >"$work/report.json" 2>/dev/null
check_eq "the whole verb removed: exit 0, another program's verb beside it kept, nothing taken" "0 1 none" \
  "$? $(json_of "$work/report.json" canaries value) $(json_of "$work/report.json" removed-unstaged path | grep -q . && echo some || echo none)"
finish
