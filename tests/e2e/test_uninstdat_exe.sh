#!/usr/bin/env bash
# uninstdat.exe, the build for installer authors on Windows, under 64-bit
# Wine: it writes the same bytes as the Linux build for every example and a
# code page 932 manifest, reads them back byte for byte, and lints and plans
# them the same way; its code pages come from the system's converter there,
# iconv's here. try and capture say that they are a Linux feature.
source "$(dirname "$0")/lib.sh"
e2e_setup
EXE=${WIN64_BUILD_DIR:-$ROOT/build/win64}/uninstdat.exe
UNINSTDAT=${UNINSTDAT:-$ROOT/build/host/uninstdat}
for file in "$EXE" "$UNINSTDAT"; do [ -f "$file" ] || { echo "error: $file is not built"; exit 1; }; done
work=$(mktemp -d)
trap 'rm -rf "$work"; e2e_cleanup' EXIT
win() { printf 'Z:%s' "${1//\//\\}"; }
exe() { wine_by /usr/lib/wine/wine64 "$EXE" "$@" 2>/dev/null | tr -d '\r'; }

printf '{"codePage": 932, "removalEntries": ["ソフト\\\\表示.txt", "<Win>\\\\サポート.ini"], "desktopShortcuts": ["ソフト"], "messageCaption": "表示", "restartPrompt": "再起動しますか?"}' >"$work/jp.json"
for manifest in "$ROOT"/examples/widget*.json "$ROOT/examples/worked-example.json" "$work/jp.json"; do
  name=$(basename "$manifest" .json)
  "$UNINSTDAT" build "$manifest" -o "$work/$name.linux.dat"
  exe build "$(win "$manifest")" -o "$(win "$work/$name.exe.dat")" >/dev/null
  check_eq "$name: the same bytes as the Linux build" same \
    "$(cmp -s "$work/$name.linux.dat" "$work/$name.exe.dat" && echo same || echo different)"
  exe show "$(win "$work/$name.exe.dat")" >"$work/$name.exe.json"
  "$UNINSTDAT" show "$work/$name.linux.dat" >"$work/$name.linux.json" 2>/dev/null
  check_eq "$name: show reads it as the Linux build does" "$(cat "$work/$name.linux.json")" "$(cat "$work/$name.exe.json")"
  exe build "$(win "$work/$name.exe.json")" -o "$(win "$work/$name.again.dat")" >/dev/null
  check_eq "$name: show, then build, is byte-exact" same \
    "$(cmp -s "$work/$name.exe.dat" "$work/$name.again.dat" && echo same || echo different)"
  codepage=1252
  [ "$name" = jp ] && codepage=932
  for command in lint plan; do
    check_eq "$name: $command says what the Linux build says" \
      "$("$UNINSTDAT" $command "$work/$name.linux.dat" --codepage $codepage 2>/dev/null)" \
      "$(exe $command "$(win "$work/$name.exe.dat")" --codepage $codepage)"
  done
  check_eq "$name: lint --format sarif of the manifest says what the Linux build says, but for the file's URI" \
    "$("$UNINSTDAT" lint "$manifest" --format sarif 2>/dev/null | grep -v '"uri"')" \
    "$(exe lint "$(win "$manifest")" --format sarif | grep -v '"uri"')"
done
wine_by /usr/lib/wine/wine64 "$EXE" show "$(win "$work/jp.exe.dat")" 2>&1 >/dev/null | tr -d '\r' >"$work/note"
check_eq "a 932 file read without --codepage: the note names 932" yes \
  "$(grep -q 'run again with --codepage 932' "$work/note" && echo yes || echo no)"
# Bytes that code page 1252 leaves undefined are shown as hex by both builds.
printf '\0\0\0\0\x81\x8d|a\x90b|\0\0\0\0\0\0\0Caption \x9d\0\0\0\0\0\0' >"$work/odd.dat"
check_eq "undefined bytes of 1252: show agrees" "$("$UNINSTDAT" show "$work/odd.dat" 2>/dev/null)" \
  "$(exe show "$(win "$work/odd.dat")")"
wine_by /usr/lib/wine/wine64 "$EXE" try "$(win "$work/jp.json")" --stage 'Z:\tmp' --install-folder 'C:\x' >/dev/null 2>"$work/err"
check_eq "try: usage error on Windows" 2 $?
check_eq "try: says it is a Linux feature" yes "$(grep -q 'Linux feature' "$work/err" && echo yes || echo no)"
wine_by /usr/lib/wine/wine64 "$EXE" capture 'Z:\tmp\setup.exe' -o 'Z:\tmp\stage' >/dev/null 2>"$work/err"
check_eq "capture: usage error on Windows" 2 $?
check_eq "capture: says it is a Linux feature" yes "$(grep -q 'Linux feature' "$work/err" && echo yes || echo no)"
finish
