#!/usr/bin/env bash
# Every example manifest on a stage of what its installer puts on the
# machine, through try with canaries, on the NT family: each gets the exit
# code it should, and the same report on every run.
# try makes its own sandboxes, so this script runs outside one.
source "$(dirname "$0")/lib.sh"
e2e_check_outside
UNINSTDAT=${UNINSTDAT:-$ROOT/build/host/uninstdat}
[ -x "$UNINSTDAT" ] || { echo "error: $UNINSTDAT is not built"; exit 1; }
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"; e2e_cleanup' EXIT
export TMPDIR=$work/tmp XDG_CACHE_HOME=$E2E_WORK/cache HOME=$work/home
mkdir -p "$TMPDIR" "$work/home"
APP='C:\Program Files\Widget'

# Widget 3.2 as its installer lays it out: the program and its data, an INI
# file in the Windows folder, a program group, shortcuts, its key below its
# vendor's, and its tray program under the Run key.
widget=$work/widget
mkdir -p "$widget/files/C/Program Files/Widget/data" "$widget/files/C/Windows" "$widget/shell/Programs/Widget" \
  "$widget/shell/Desktop" "$widget/shell/SendTo" "$widget/shell/StartMenu" "$widget/shell/Startup"
for f in widget.exe widget.hlp data/settings.ini data/cache.bin; do echo "$f" >"$widget/files/C/Program Files/Widget/$f"; done
echo '[widget]' >"$widget/files/C/Windows/widget.ini"
for f in 'Programs/Widget/Widget.lnk' 'Programs/Widget/Widget Help.lnk' Desktop/Widget.lnk SendTo/Widget.lnk \
  StartMenu/Widget.lnk 'Startup/Widget Tray.lnk'; do echo lnk >"$widget/shell/$f"; done
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' '[HKEY_CURRENT_USER\Software\Widget Co]' '' \
  '[HKEY_CURRENT_USER\Software\Widget Co\Widget]' '"Version"="3.2"' '' \
  '[HKEY_CURRENT_USER\Software\Widget Co\Widget\Recent]' '"File1"="C:\\doc.wdg"' '' \
  '[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]' '"Widget Tray"="widget.exe /tray"' \
  >"$widget/registry.reg"
# Widget 3.3 ships no help file and no tray program.
widget33=$work/widget-3.3
cp -r "$widget" "$widget33"
rm "$widget33/files/C/Program Files/Widget/widget.hlp" "$widget33/shell/Startup/Widget Tray.lnk"
head -n 8 "$widget/registry.reg" >"$widget33/registry.reg"
# The held library's version adds a library in its data folder.
held=$work/widget-held
cp -r "$widget" "$held"
echo lib >"$held/files/C/Program Files/Widget/data/widget.dll"
# The worked example, for all users: files in the system, Windows and
# fonts folders and on drive D:.
worked=$work/worked
mkdir -p "$worked/files/C/Program Files/Widget/help" "$worked/files/C/Windows/System32" "$worked/files/C/Windows/Fonts" \
  "$worked/files/D/Shared" "$worked/shell/Programs/Widget" "$worked/shell/Desktop" "$worked/shell/StartMenu"
for f in widget.exe help/widget.hlp; do echo "$f" >"$worked/files/C/Program Files/Widget/$f"; done
echo lib >"$worked/files/C/Windows/System32/wdgt.dll"
echo ini >"$worked/files/C/Windows/wdgt.ini"
echo font >"$worked/files/C/Windows/Fonts/wdgt.ttf"
echo ini >"$worked/files/D/Shared/widget.ini"
for f in Programs/Widget/Widget.lnk Desktop/Widget.lnk StartMenu/Widget.lnk 'StartMenu/Widget Help.lnk'; do
  echo lnk >"$worked/shell/$f"
done

echo "# each example: its exit code, with canaries"
while IFS='^' read -r example stage expected why options; do
  eval "set -- $options"
  "$UNINSTDAT" try "$ROOT/examples/$example" --stage "$stage" --install-folder "$APP" --json "$@" \
    >"$work/$example.report" 2>"$work/$example.err"
  got=$?
  check_eq "$example: exit $expected ($why)" "$expected" "$got"
  [ "$got" = "$expected" ] || grep -v '"box"' "$work/$example.report" | head -n 20
done <<ROWS
widget.json^$widget^0^clean, the vendor's key a note^
widget-3.3.json^$widget33^0^clean on the stage of 3.3^
widget-folder-first.json^$widget^1^the folder listed before its contents resists: the restart question^
widget-held-library.json^$held^1^a held library: the restart question, Yes deletes it^--hold 'C:\Program Files\Widget\data\widget.dll' --restart yes
worked-example.json^$worked^1^the Windows folder listed: it resists, the restart question^
ROWS
check_eq "widget.json: the vendor's key left empty is a note, nothing else" 'HKEY_CURRENT_USER\Software\Widget Co' \
  "$(python3 -c 'import json,sys
print("|".join(r["path"] for r in map(json.loads, open(sys.argv[1])) if r["record"] in ("note", "left", "left-empty", "removed-unstaged")))' "$work/widget.json.report")"
check_eq "widget-held-library.json: Yes deleted the held library at the restart" "" \
  "$(grep '"record": *"left"' "$work/widget-held-library.json.report" | grep -i widget.dll)"

echo "# the same report on every run"
"$UNINSTDAT" try "$ROOT/examples/widget.json" --stage "$widget" --install-folder "$APP" --json \
  >"$work/again.report" 2>/dev/null
check_eq "widget.json again: the same records, byte for byte" same \
  "$(cmp -s "$work/widget.json.report" "$work/again.report" && echo same || { diff "$work/widget.json.report" "$work/again.report" | head -n 5; echo different; })"
finish
