#!/usr/bin/env bash
# From an author's installer to a proven uninstall. Real installers made by
# makensis and wixl, each captured sealed by uninstdat capture: every kind of
# item with its stage, its report line and the exit code; an installer
# without its silent switch; one that reaches for host files and asks for a
# restart; an MSI package; and the chain an author runs: capture, scan (its
# options from capture.json), build, try on every family. The installers are
# 32-bit where 32-bit Wine runs, else 64-bit (a 32-bit one is then refused);
# nothing is skipped on either kind of host. capture makes its own
# sandboxes, so this script runs outside one; nothing outside its work
# folder may change.
source "$(dirname "$0")/lib.sh"
e2e_check_outside
UNINSTDAT=${UNINSTDAT:-$ROOT/build/host/uninstdat}
[ -x "$UNINSTDAT" ] || { echo "error: $UNINSTDAT is not built"; exit 1; }
for tool in makensis wixl; do
  command -v $tool >/dev/null && continue
  [ "${E2E_REQUIRED:-0}" = 1 ] && { echo "error: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
  echo "SKIPPED: $tool is missing (scripts/setup.sh installs it)"
  exit 77
done
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"; e2e_cleanup' EXIT
export TMPDIR=$work/tmp XDG_CACHE_HOME=$E2E_WORK/cache
mkdir -p "$TMPDIR"
started=$(date +%s)

# Victims outside capture's work folder, and a HOME of files named like the
# installers' shortcuts: none of them may change.
victims=$work/victims
mkdir -p "$victims/folder" "$work/home/Desktop" "$work/home/Documents"
for f in a.txt b.txt c.txt d.txt folder/e.txt; do echo "victim $f" >"$victims/$f"; done
for f in 'Acme Notes.lnk' 'Desktop/Acme Notes.lnk' Documents/notes.txt; do echo "mine: $f" >"$work/home/$f"; done
export HOME=$work/home
host_state() {
  (cd "$work" && find victims home -printf '%y %p %s %m %l\n' | sort && find victims home -type f -exec md5sum {} + | sort)
}
host_before=$(host_state)
json_of() {  # FILE RECORD FIELD: that field of every such record, one a line
  python3 -c 'import json,sys
for r in map(json.loads, open(sys.argv[1])):
    if r["record"] == sys.argv[2]:
        v = r.get(sys.argv[3], "")
        print(json.dumps(v) if isinstance(v, (list, dict, bool)) else v)' "$@"
}
left_out() {  # FILE REASON: "kind path[ value]" of each record left out for REASON
  python3 -c 'import json,sys
for r in map(json.loads, open(sys.argv[1])):
    if r["record"] in ("left-out", "note") and r["reason"] == sys.argv[2]:
        print(r["kind"], r.get("path", r.get("key")) + (" " + r["value"] if "value" in r else ""))' "$@"
}

# This host's installers: 32-bit where 32-bit Wine runs, else 64-bit.
PF=$WIN_PROGRAM_FILES  # where such an installer's $PROGRAMFILES lies in the prefix
if [ "$WINE_BITS" = 64 ]; then NSIS_TARGET=amd64-unicode WIXL_ARCH=x64 PF_ID=ProgramFiles64Folder WIN64=yes
else NSIS_TARGET=x86-unicode WIXL_ARCH=x86 PF_ID=ProgramFilesFolder WIN64=no; fi
src=$work/src
mkdir -p "$src"
for f in notes.exe license.txt default.acn guide.txt acmesans.ttf acmenote.dll twain.txt evil.txt readme.txt; do
  echo "Acme $f" >"$src/$f"
done
cp "$UNINST_EXE" "$src/uninst.exe"
printf '\0\0\0\0' >"$src/uninst.dat"
nsis() {  # NAME TARGET: builds $src/NAME.nsi for TARGET into $src/NAME.exe
  (cd "$src" && makensis -V2 -DTARGET="$2" -DOUT="$1.exe" "$1.nsi") || { echo "error: makensis $1"; exit 1; }
}

# The example: every kind of item an installer leaves. Four files and two
# folders in its folder, a font, a library in the system folder, a program
# group with two shortcuts, an all-users Desktop shortcut and a per-user
# SendTo one; keys and values of every type in HKLM, HKCU and HKCR (a QWORD
# through the registry's own call); values added to keys Windows owns (App
# Paths, Uninstall, Run, Fonts, Environment); a RunOnce value; a line added
# to win.ini; a file of Windows replaced and one deleted; and the
# uninstaller itself.
cat >"$src/notes.nsi" <<'NSI'
Unicode true
Target ${TARGET}
Name "Acme Notes"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES\Acme Notes"
RequestExecutionLevel admin
Page directory
Page instfiles
Section
  SetOutPath "$INSTDIR"
  File notes.exe
  File license.txt
  File uninst.exe
  File uninst.dat
  SetOutPath "$INSTDIR\data"
  File default.acn
  SetOutPath "$INSTDIR\help"
  File guide.txt
  File "/oname=$FONTS\acmesans.ttf" acmesans.ttf
  File "/oname=$SYSDIR\acmenote.dll" acmenote.dll
  File "/oname=$WINDIR\twain_32.dll" twain.txt
  Delete "$WINDIR\winhelp.exe"
  WriteINIStr "$WINDIR\win.ini" "Acme Notes" "Shown" "1"
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Acme Notes"
  CreateShortcut "$SMPROGRAMS\Acme Notes\Acme Notes.lnk" "$INSTDIR\notes.exe"
  CreateShortcut "$SMPROGRAMS\Acme Notes\Read Me.lnk" "$INSTDIR\license.txt"
  CreateShortcut "$DESKTOP\Acme Notes.lnk" "$INSTDIR\notes.exe"
  SetShellVarContext current
  CreateShortcut "$SENDTO\Acme Notes.lnk" "$INSTDIR\notes.exe"
  WriteRegStr HKLM "Software\Acme\Notes" "Name" "Acme Notes"
  WriteRegExpandStr HKLM "Software\Acme\Notes" "Path" "%ProgramFiles%\Acme Notes"
  WriteRegDWORD HKLM "Software\Acme\Notes" "Count" 3
  WriteRegBin HKLM "Software\Acme\Notes" "Blob" 0102ff
  WriteRegMultiStr /REGEDIT5 HKLM "Software\Acme\Notes" "Languages" 65,00,6e,00,00,00,64,00,65,00,00,00,00,00
  WriteRegStr HKLM "Software\Acme\Notes\Recent" "" ""
  System::Call 'advapi32::RegCreateKeyExW(p 0x80000002, w "Software\Acme\Notes", i 0, p 0, i 0, i 0x20006, p 0, *p .r1, p 0) i .r0'
  System::Call 'advapi32::RegSetValueExW(p r1, w "Size", i 0, i 11, *l 1234567890123, i 8) i .r0'
  System::Call 'advapi32::RegCloseKey(p r1)'
  WriteRegStr HKCU "Software\Acme\Notes" "Theme" "dark"
  WriteRegDWORD HKCU "Software\Acme\Notes" "Zoom" 120
  System::Call 'advapi32::RegCreateKeyExW(p 0x80000001, w "Software\Acme\Notes", i 0, p 0, i 0, i 0x20006, p 0, *p .r1, p 0) i .r0'
  System::Call 'advapi32::RegSetValueExW(p r1, w "Opened", i 0, i 11, *l 42, i 8) i .r0'
  System::Call 'advapi32::RegCloseKey(p r1)'
  WriteRegStr HKCR ".acn" "" "AcmeNotes.Document"
  WriteRegStr HKCR "AcmeNotes.Document" "" "Acme Notes document"
  WriteRegDWORD HKCR "AcmeNotes.Document" "EditFlags" 0
  WriteRegExpandStr HKCR "AcmeNotes.Document\shell\open\command" "" '"%ProgramFiles%\Acme Notes\notes.exe" "%1"'
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\notes.exe" "" "$INSTDIR\notes.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\AcmeNotes" "DisplayName" "Acme Notes"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\AcmeNotes" "UninstallString" '"$INSTDIR\uninst.exe"'
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Run" "Acme Notes Tray" '"$INSTDIR\notes.exe" /tray'
  WriteRegStr HKLM "Software\Microsoft\Windows NT\CurrentVersion\Fonts" "Acme Sans (TrueType)" "acmesans.ttf"
  WriteRegExpandStr HKLM "SYSTEM\CurrentControlSet\Control\Session Manager\Environment" "ACME_NOTES" "%ProgramFiles%\Acme Notes"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\RunOnce" "Acme Notes Setup" '"$INSTDIR\notes.exe" /firstrun'
SectionEnd
NSI
nsis notes $NSIS_TARGET

echo "# the example: every kind of item, captured or left out for its reason"
stage=$work/stage
seconds() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }
start=$(date +%s.%N)
"$UNINSTDAT" capture "$src/notes.exe" -o "$stage" --args /S --json >"$work/notes.json" 2>"$work/notes.err"
check_eq "exit 1: something to read" 1 $?
echo "     (capture of the example: $(seconds "$start") s$(grep -q 'making the pristine' "$work/notes.err" && echo ', the pristine prefix made first'))"
check_eq "the stage: the product's files, the font, the library, the shortcuts; no uninstaller" \
  "capture.json
files/C/Program Files/Acme Notes/data/default.acn
files/C/Program Files/Acme Notes/help/guide.txt
files/C/Program Files/Acme Notes/license.txt
files/C/Program Files/Acme Notes/notes.exe
files/C/Windows/Fonts/acmesans.ttf
files/C/Windows/System32/acmenote.dll
registry.reg
shell/Desktop/Acme Notes.lnk
shell/Programs/Acme Notes/Acme Notes.lnk
shell/Programs/Acme Notes/Read Me.lnk
shell/SendTo/Acme Notes.lnk" "$(cd "$stage" && find . -type f -printf '%P\n' | LC_ALL=C sort)"
check_eq "contents copied, never linked" "Acme notes.exe" "$(cat "$stage/files/C/Program Files/Acme Notes/notes.exe")"
check_eq "the stage's folders" "files/C/Program Files/Acme Notes/data|files/C/Program Files/Acme Notes/help|shell/Programs/Acme Notes" \
  "$(json_of "$work/notes.json" captured stage | grep -E '/(data|help)$|Programs/Acme Notes$' | LC_ALL=C sort | tr '\n' '|' | sed 's/|$//')"
pf_reg=${PF//\\/\\\\}
expected_reg="Windows Registry Editor Version 5.00

[HKEY_CLASSES_ROOT\\.acn]
@=\"AcmeNotes.Document\"

[HKEY_CLASSES_ROOT\\AcmeNotes.Document]
@=\"Acme Notes document\"
\"EditFlags\"=dword:00000000

[HKEY_CLASSES_ROOT\\AcmeNotes.Document\\shell]

[HKEY_CLASSES_ROOT\\AcmeNotes.Document\\shell\\open]

[HKEY_CLASSES_ROOT\\AcmeNotes.Document\\shell\\open\\command]
@=hex(2):22,00,25,00,50,00,72,00,6f,00,67,00,72,00,61,00,6d,00,46,00,69,00,6c,\\
  00,65,00,73,00,25,00,5c,00,41,00,63,00,6d,00,65,00,20,00,4e,00,6f,00,74,00,\\
  65,00,73,00,5c,00,6e,00,6f,00,74,00,65,00,73,00,2e,00,65,00,78,00,65,00,22,\\
  00,20,00,22,00,25,00,31,00,22,00,00,00

[HKEY_CURRENT_USER\\Software\\Acme]

[HKEY_CURRENT_USER\\Software\\Acme\\Notes]
\"Opened\"=hex(b):2a,00,00,00,00,00,00,00
\"Theme\"=\"dark\"
\"Zoom\"=dword:00000078

[HKEY_LOCAL_MACHINE\\Software\\Acme]

[HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes]
\"Blob\"=hex:01,02,ff
\"Count\"=dword:00000003
\"Languages\"=hex(7):65,00,6e,00,00,00,64,00,65,00,00,00,00,00
\"Name\"=\"Acme Notes\"
\"Path\"=hex(2):25,00,50,00,72,00,6f,00,67,00,72,00,61,00,6d,00,46,00,69,00,6c,\\
  00,65,00,73,00,25,00,5c,00,41,00,63,00,6d,00,65,00,20,00,4e,00,6f,00,74,00,\\
  65,00,73,00,00,00
\"Size\"=hex(b):cb,04,fb,71,1f,01,00,00

[HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes\\Recent]
@=\"\"

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]
\"Acme Sans (TrueType)\"=\"acmesans.ttf\"

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\notes.exe]
@=\"$pf_reg\\\\Acme Notes\\\\notes.exe\"

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]
\"Acme Notes Tray\"=\"\\\"$pf_reg\\\\Acme Notes\\\\notes.exe\\\" /tray\"

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\AcmeNotes]
\"DisplayName\"=\"Acme Notes\"
\"UninstallString\"=\"\\\"$pf_reg\\\\Acme Notes\\\\uninst.exe\\\"\"

[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager\\Environment]
\"ACME_NOTES\"=hex(2):25,00,50,00,72,00,6f,00,67,00,72,00,61,00,6d,00,46,00,69,\\
  00,6c,00,65,00,73,00,25,00,5c,00,41,00,63,00,6d,00,65,00,20,00,4e,00,6f,00,\\
  74,00,65,00,73,00,00,00"
check_eq "registry.reg: every key and value as a 32-bit program names it, each type exact, no RunOnce" \
  "$expected_reg" "$(tr -d '\r' <"$stage/registry.reg")"
check_eq "registry.reg: UTF-8 with CR LF line ends" "$(grep -c '' "$stage/registry.reg")" "$(grep -c $'\r$' "$stage/registry.reg")"
check_eq "capture.json: the install folder from its uninst.exe, shortcuts for all users" \
  'C:\Program Files\Acme Notes|True|nt|/S' \
  "$(python3 -c 'import json,sys; c=json.load(open(sys.argv[1])); print(c["installFolder"], c["allUsers"], c["family"], c["arguments"], sep="|")' "$stage/capture.json")"
check_eq "changed, reported with the lines it added: win.ini and a file of Windows" \
  "file C:\\windows\\twain_32.dll|file C:\\windows\\win.ini" "$(left_out "$work/notes.json" changed | tr '\n' '|' | sed 's/|$//')"
check_eq "win.ini's added lines" '["[Acme Notes]", "Shown=1"]' \
  "$(python3 -c 'import json,sys
for r in map(json.loads, open(sys.argv[1])):
    if r.get("path", "").endswith("win.ini"): print(json.dumps(r.get("linesAdded")))' "$work/notes.json")"
check_eq "deleted, reported" 'file C:\windows\winhelp.exe' "$(left_out "$work/notes.json" deleted)"
check_eq "RunOnce: scheduled, reported, never in the stage" \
  'value HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\RunOnce Acme Notes Setup' "$(left_out "$work/notes.json" scheduled)"
check_eq "the uninstaller and its data file: notes" "file $PF\\Acme Notes\\uninst.dat|file $PF\\Acme Notes\\uninst.exe" \
  "$(left_out "$work/notes.json" uninstaller | tr '\n' '|' | sed 's/|$//')"
check_eq "nothing else left out" 6 "$(python3 -c 'import json,sys; print(sum(r["record"] in ("left-out", "note") for r in map(json.loads, open(sys.argv[1]))))' "$work/notes.json")"
check_eq "the summary: captured, left out, notes, exit" "46 4 2 1" \
  "$(json_of "$work/notes.json" summary captured) $(json_of "$work/notes.json" summary leftOut) $(json_of "$work/notes.json" summary notes) $(json_of "$work/notes.json" summary exit)"
check_eq "the scan command to run" "uninstdat scan $stage -o manifest.json" "$(json_of "$work/notes.json" summary next)"
start=$(date +%s.%N)
"$UNINSTDAT" capture "$src/notes.exe" -o "$work/again" --args /S >/dev/null 2>&1
echo "     (the same capture on a warm cache: $(seconds "$start") s)"
diff -r "$stage" "$work/again" >"$work/diff" 2>&1
check_eq "the same installer gives the same bytes" "" "$(cat "$work/diff")"

echo "# the chain: scan with capture.json's options, build, try on every family"
"$UNINSTDAT" scan "$stage" -o "$work/notes-manifest.json" 2>"$work/scan.err"
check_eq "scan exits 0, without options" 0 $?
check_eq "scan's notes name the file association it cannot list alone" yes \
  "$(grep -q 'the default value of HKEY_CLASSES_ROOT\\.acn cannot be listed alone' "$work/scan.err" && echo yes)"
# As the README advises, the system folder's library through the alternates
# that name it on every family (Wine's GetSystemDirectory names System32 for
# Windows 95 and 98 too, where a real machine has System).
python3 - "$work/notes-manifest.json" "$work/notes-fixed.json" <<'PY'
import json, sys
m = json.load(open(sys.argv[1]))
m["removalEntries"] = [{"default": "<Sys>\\acmenote.dll", "nt": "<Sys32>\\acmenote.dll"} if e == "<Autosys>\\acmenote.dll" else e
                       for e in m["removalEntries"]]
json.dump(m, open(sys.argv[2], "w"), indent=2)
PY
check_eq "scan named the library through <Autosys>" yes \
  "$(grep -q 'Sys32' "$work/notes-fixed.json" && echo yes)"
"$UNINSTDAT" build "$work/notes-fixed.json" -o "$work/notes.dat"
check_eq "build exits 0" 0 $?
folder=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["installFolder"])' "$stage/capture.json")
"$UNINSTDAT" try "$work/notes.dat" --stage "$stage" --install-folder "$folder" --family nt,98,95 --json \
  >"$work/try.json" 2>"$work/try.err"
status=$?
check_eq "try ends with a report (exit 0 or 1)" yes "$([ $status -le 1 ] && echo yes || { tail -n 5 "$work/try.err"; echo no; })"
check_eq "try: three families, no safety finding, no error, the uninstaller gone" "nt 0 0 0|98 0 0 0|95 0 0 0" \
  "$(python3 -c 'import json,sys; print("|".join(r["family"] + " " + str(r["removedUnstaged"]) + " " + str(r["errors"]) + " " + str(r["uninstallerLeft"]) for r in map(json.loads, open(sys.argv[1])) if r["record"] == "summary"))' "$work/try.json")"
check_eq "try: what is left is what scan's notes name (the .acn key and its default value)" "" \
  "$(python3 -c 'import json,sys
for r in map(json.loads, open(sys.argv[1])):
    if r["record"] in ("left", "left-empty") and not r["path"].endswith("\\.acn"): print(r["family"], r["path"])' "$work/try.json")"

echo "# an installer without its silent switch"
"$UNINSTDAT" capture "$src/notes.exe" -o "$work/waited" --timeout 10 --json >"$work/waited.json" 2>/dev/null
check_eq "exit 1" 1 $?
check_eq "no stage of an installation that did not finish" absent "$([ -e "$work/waited" ] && echo present || echo absent)"
check_eq "the report names its open window" yes \
  "$(json_of "$work/waited.json" timeout windows | grep -q 'Acme Notes Setup' && echo yes || json_of "$work/waited.json" timeout windows)"
check_eq "and the silent switch of its kind" /S "$(json_of "$work/waited.json" timeout silentSwitch)"

echo "# a hostile installer: host files through Z: and \\\\?\\unix\\, a RunOnce that deletes one, a restart, a program left running"
V=${victims//\//\\}
cat >"$src/evil.nsi" <<NSI
Unicode true
Target \${TARGET}
Name "Evil"
OutFile "\${OUT}"
InstallDir "\$PROGRAMFILES\\Evil"
RequestExecutionLevel admin
Section
  SetOutPath "\$INSTDIR"
  File evil.txt
  Exec '"\$WINDIR\\notepad.exe"'
  Delete "Z:$V\\a.txt"
  Delete "\\\\?\\unix$V\\b.txt"
  RMDir /r "Z:$V\\folder"
  Rename "Z:$V\\c.txt" "C:\\stolen.txt"
  System::Call 'kernel32::GetVersion() i .r0'
  WriteRegDWORD HKCU "Software\\Evil" "Version" \$0
  WriteRegStr HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce" "evil" 'cmd /c del Z:$V\\d.txt'
  Reboot
SectionEnd
NSI
nsis evil $NSIS_TARGET
"$UNINSTDAT" capture "$src/evil.exe" -o "$work/evil" --args /S --family 98 --timeout 15 --json >"$work/evil.json" 2>/dev/null
check_eq "exit 1" 1 $?
check_eq "the program it started and left running: ended at the timeout, named" notepad.exe \
  "$(json_of "$work/evil.json" outlived process | cut -d' ' -f1)"
check_eq "victims outside the work folder and HOME are as they were" "$host_before" "$(host_state)"
check_eq "the restart it asked for: reported, refused" true "$(json_of "$work/evil.json" restart asked)"
check_eq "what it scheduled: reported, not carried out" \
  '["HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce \"evil\""]' "$(json_of "$work/evil.json" restart scheduled)"
check_eq "the installer saw Windows 98 (GetVersion's high bit)" yes \
  "$(grep -q '"Version"=dword:c' "$work/evil/registry.reg" && echo yes || cat "$work/evil/registry.reg")"
check_eq "its own file captured" "files/C/Program Files/Evil/evil.txt" \
  "$(cd "$work/evil" && find files -type f)"

echo "# an MSI package"
if [ "$WINE_BITS" = 64 ]; then PF_ID=ProgramFiles64Folder; fi
cat >"$src/tools.wxs" <<WXS
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="11111111-2222-3333-4444-555555555555" Name="Acme Tools" Language="1033" Version="1.0.0" Manufacturer="Acme"
           UpgradeCode="8d3c3b52-52a4-4bd2-9bd3-2a4a1f4d9c11">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"/>
    <Media Id="1" Cabinet="tools.cab" EmbedCab="yes"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="$PF_ID">
        <Directory Id="INSTALLDIR" Name="Acme Tools">
          <Component Id="Main" Guid="2f1e1b3c-1111-4a6b-9c2d-0a1b2c3d4e5f" Win64="$WIN64">
            <File Id="Readme" Name="readme.txt" Source="readme.txt" KeyPath="yes"/>
            <RegistryValue Root="HKLM" Key="Software\\Acme\\Tools" Name="Version" Type="string" Value="1.0"/>
            <RegistryValue Root="HKLM" Key="Software\\Acme\\Tools" Name="Count" Type="integer" Value="3"/>
          </Component>
        </Directory>
      </Directory>
      <Directory Id="ProgramMenuFolder">
        <Directory Id="ToolsMenu" Name="Acme Tools">
          <Component Id="Menu" Guid="3f1e1b3c-1111-4a6b-9c2d-0a1b2c3d4e5f" Win64="$WIN64">
            <Shortcut Id="ReadmeShortcut" Name="Read Me" Target="[INSTALLDIR]readme.txt" WorkingDirectory="INSTALLDIR"/>
            <RemoveFolder Id="ToolsMenu" On="uninstall"/>
            <RegistryValue Root="HKCU" Key="Software\\Acme\\Tools" Name="Menu" Type="integer" Value="1" KeyPath="yes"/>
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="All" Level="1"><ComponentRef Id="Main"/><ComponentRef Id="Menu"/></Feature>
  </Product>
</Wix>
WXS
(cd "$src" && wixl -a $WIXL_ARCH -o tools.msi tools.wxs) || { echo "error: wixl"; exit 1; }
"$UNINSTDAT" capture "$src/tools.msi" -o "$work/tools" --json >"$work/tools.json" 2>/dev/null
check_eq "exit 0: Windows Installer's records are notes" 0 $?
check_eq "the stage: its file and its shortcut" \
  "files/C/Program Files/Acme Tools/readme.txt|shell/Programs/Acme Tools/Read Me.lnk" \
  "$(cd "$work/tools" && find files shell -type f | LC_ALL=C sort | tr '\n' '|' | sed 's/|$//')"
check_eq "its keys and values, none of Windows Installer's" \
  "[HKEY_CURRENT_USER\\Software\\Acme]|[HKEY_CURRENT_USER\\Software\\Acme\\Tools]|\"Menu\"=dword:00000001|[HKEY_LOCAL_MACHINE\\Software\\Acme]|[HKEY_LOCAL_MACHINE\\Software\\Acme\\Tools]|\"Count\"=dword:00000003|\"Version\"=\"1.0\"" \
  "$(tr -d '\r' <"$work/tools/registry.reg" | grep -v -e '^$' -e '^Windows' | tr '\n' '|' | sed 's/|$//')"
left_out "$work/tools.json" windows-installer >"$work/installer-notes"
check_eq "Windows Installer's cache and keys: notes" yes \
  "$(grep -q '^folder C:\\windows\\Installer$' "$work/installer-notes" &&
     grep -q '^key HKEY_CLASSES_ROOT\\Installer$' "$work/installer-notes" &&
     grep -q 'Uninstall\\{' "$work/installer-notes" && echo yes)"
check_eq "the install folder below Program Files" 'C:\Program Files\Acme Tools' \
  "$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["installFolder"])' "$work/tools/capture.json")"

echo "# where only 64-bit Wine runs, a 32-bit installer is refused"
nsis evil x86-unicode
UNINST_WINE=64 "$UNINSTDAT" capture "$src/evil.exe" -o "$work/refused" --args /S >/dev/null 2>"$work/refused.err"
check_eq "exit 3" 3 $?
check_eq "with the reason" yes "$(grep -q 'is a 32-bit program, and only 64-bit Wine runs here' "$work/refused.err" && echo yes || cat "$work/refused.err")"
check_eq "and nothing written" absent "$([ -e "$work/refused" ] && echo present || echo absent)"

check_eq "no work folder was left" "" "$(ls "$TMPDIR")"
check_eq "victims and HOME, at the end" "$host_before" "$(host_state)"
echo "     (this script: $(( $(date +%s) - started )) s)"
finish
