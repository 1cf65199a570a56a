#!/usr/bin/env bash
# Runs two builds of uninstdat on the same inputs and reports every case
# where their exit code, standard output, standard error or written file
# differ: the proof that a reshaping of the tool changed nothing it was not
# meant to change. The inputs: the examples, the hostile data files of the
# end-to-end tests, the fuzzing seeds, the data files the old tool builds
# from them, and stages this script lays out (plain, a vendor's key and
# group, values a stage must refuse, a name a stage refuses). The commands:
# every one that needs no Wine (show, build, lint in each format, plan,
# diff, scan, help) with the options that change decisions.
#   scripts/compare-tool.sh [--old REV | --old-bin PATH] [--new-bin PATH] [--keep]
#     --old REV       build uninstdat at this commit (default: HEAD) in a
#                     temporary folder (host preset, the uninstdat target)
#     --old-bin PATH  take this build instead
#     --new-bin PATH  the new build (default: build/host/uninstdat)
# Exit status: 0 when every case is the same, 1 when one differs (each is
# listed with the first lines of its difference), 2 on a usage error or a
# build that fails.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
old_rev=HEAD old_bin="" new_bin=$root/build/host/uninstdat keep=no
while [ $# -gt 0 ]; do
  case $1 in
    --old) old_rev=$2; shift 2 ;;
    --old-bin) old_bin=$2; shift 2 ;;
    --new-bin) new_bin=$2; shift 2 ;;
    --keep) keep=yes; shift ;;
    *) echo "usage: scripts/compare-tool.sh [--old REV | --old-bin PATH] [--new-bin PATH] [--keep]" >&2; exit 2 ;;
  esac
done
[ -x "$new_bin" ] || { echo "no new build: $new_bin" >&2; exit 2; }
new_bin=$(readlink -f "$new_bin")
[ -z "$old_bin" ] || old_bin=$(readlink -f "$old_bin")
work=$(mktemp -d "${TMPDIR:-/tmp}/compare-tool.XXXXXX")
if [ $keep = no ]; then trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT; else echo "work: $work"; fi

if [ -z "$old_bin" ]; then
  echo "== building uninstdat at $old_rev"
  mkdir -p "$work/old-src"
  (cd "$root" && git archive "$old_rev") | tar -xf - -C "$work/old-src" || { echo "no such commit: $old_rev" >&2; exit 2; }
  (cd "$work/old-src" && cmake --preset host && cmake --build build/host --target uninstdat -j2) \
    >"$work/old-build.log" 2>&1 || { tail -20 "$work/old-build.log"; echo "the old tool does not build" >&2; exit 2; }
  old_bin=$work/old-src/build/host/uninstdat
fi

# The stages, laid out once and read by both tools.
stages=$work/stages
lay() { mkdir -p "$(dirname "$1")" && printf '%s' "${2:-x}" >"$1"; }
reg() { local file=$1; shift; printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' "$@" >"$file"; }
lay "$stages/plain/files/C/Program Files/W/w.exe"
lay "$stages/plain/files/C/Program Files/W/data/d.txt"
lay "$stages/vendor/files/C/Program Files/Acme/Notes/notes.exe"
lay "$stages/vendor/shell/Programs/Acme/Notes/Notes.lnk"
lay "$stages/vendor/shell/Desktop/Notes.lnk"
reg "$stages/vendor/registry.reg" '[HKEY_LOCAL_MACHINE\Software\Acme]' '"Shared"="1"' '' \
  '[HKEY_LOCAL_MACHINE\Software\Acme\Notes]' '"Path"="C:\\Program Files\\Acme\\Notes"' '' \
  '[HKEY_CURRENT_USER\Software\Acme\Notes\Settings]' '"Size"=dword:00000001' '' \
  '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Notes]' '"DisplayName"="Notes"' ''
lay "$stages/refused/files/C/Program Files/R/r.exe"
reg "$stages/refused/registry.reg" '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\RunOnce]' \
  '"R"="C:\\Program Files\\R\\r.exe"' '' '[HKEY_CURRENT_USER\Software\Wine]' '"R"="1"' ''
lay "$stages/names/files/C/Program Files/N/con.txt"
lay "$stages/names/files/C/Program Files/N/ok.txt"

cases=0
run_case() {  # NAME TOOL-ARGS...: runs both tools; {out} in an argument is a file each writes
  local name=$1 side tool dir arg
  shift
  cases=$((cases + 1))
  for side in old new; do
    [ $side = old ] && tool=$old_bin || tool=$new_bin
    dir=$work/$side/$name
    mkdir -p "$dir"
    local args=()
    for arg in "$@"; do args+=("${arg//\{out\}/$dir/out}"); done
    (cd "$work" && timeout 60 "$tool" "${args[@]}" >"$dir/stdout" 2>"$dir/stderr" </dev/null)
    echo $? >"$dir/exit"
    # The written file's own folder is the side's: name it the same in both.
    sed -i "s#$work/$side/#SIDE/#g; s#$work/#WORK/#g" "$dir/stdout" "$dir/stderr"
  done
}

manifests=("$root"/examples/widget*.json "$root/examples/worked-example.json" "$root"/fuzz/corpus/manifest/*)
machine=$root/examples/worked-example-machine.json
for m in "${manifests[@]}"; do
  n=m-$(basename "$m")
  run_case "$n.lint" lint "$m"
  run_case "$n.lint-strict" lint --strict "$m"
  run_case "$n.lint-json" lint --format json "$m"
  run_case "$n.lint-sarif" lint --format sarif "$m"
  run_case "$n.lint-machine" lint --strict --machine "$machine" "$m"
  run_case "$n.plan" plan "$m"
  run_case "$n.plan-json" plan --json --family 95,98,nt "$m"
  run_case "$n.build" build "$m" -o '{out}'
  run_case "$n.build-strict" build --strict "$m" -o '{out}'
  run_case "$n.diff" diff "$root/examples/widget.json" "$m"
  run_case "$n.diff-json" diff --json "$m" "$root/examples/widget-3.3.json"
done

# Data files: the hostile ones, the seeds, and what the old tool built above.
datas=("$root"/tests/e2e/hostile/*.dat "$root"/fuzz/corpus/data_file/*)
for f in "$work"/old/m-*.build/out; do [ -f "$f" ] && datas+=("$f"); done
for d in "${datas[@]}"; do
  n=d-$(basename "$(dirname "$d")")-$(basename "$d")
  run_case "$n.show" show "$d"
  run_case "$n.show-force" show --force "$d"
  run_case "$n.lint" lint --format json "$d"
  run_case "$n.plan" plan --json "$d"
  run_case "$n.plan-text" plan --family 98 "$d"
done

for s in "$stages"/*; do
  n=s-$(basename "$s")
  run_case "$n.scan" scan "$s" --install-folder 'C:\Program Files\W' -o '{out}'
  run_case "$n.scan-vendor" scan "$s" --install-folder 'C:\Program Files\Acme\Notes' --all-users -o '{out}'
  run_case "$n.scan-95" scan "$s" --install-folder 'C:\Program Files\W' --family 95 -o '{out}'
done

# Inputs that fail: manifests and machine descriptions that are no JSON
# (line ends LF, CR LF and lone CR, letters of several bytes before the
# fault), manifests with several errors, bad machine folders, allow rules,
# code pages and families, and the stages scan refuses.
bad=$work/bad
mkdir -p "$bad"
printf '{\n  "programGroup": "G",\n  "removalEntries": [x]\n}\n' >"$bad/syntax-lf.json"
printf '{\r\n  "programGroup": "G",\r\n  "removalEntries": [x]\r\n}\r\n' >"$bad/syntax-crlf.json"
printf '{\r  "programGroup": "G",\r  "removalEntries": [x]\r}\r' >"$bad/syntax-cr.json"
printf '{"programGroup": "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "removalEntries": [x]}' >"$bad/syntax-utf8.json"
printf '\xef\xbb\xbf{"programGroup": "G",\n "removalEntries": x}' >"$bad/syntax-bom.json"
printf '{"programGroup": "a\nb"}' >"$bad/syntax-lf-in-text.json"
printf '{"programGroup" 1\n}' >"$bad/syntax-newline-after-number.json"
printf '{"programGroup": "G",\r\n' >"$bad/syntax-end.json"
printf '{"programGroup": "G" "x": 1}' >"$bad/syntax-no-comma.json"
printf '{"a": 1e400}' >"$bad/out-of-range.json"
printf '{"a": 1,\r "a": 2}' >"$bad/duplicate.json"
printf '{"programGroup": 1, "removalEntrys": [], "a\\nb": 2, "registryList": [{"value": "v"}]}' >"$bad/errors.json"
printf '{"lintAllow": ["no-such-code", "listed-twice"], "removalEntries": ["a.txt"]}' >"$bad/lint-allow.json"
printf '{"removalEntries": ["a.txt", "a.txt"]}' >"$bad/findings.json"
printf '{"windowsDir": "C:\\\\W",\r "tempDir": x}' >"$bad/machine-syntax-cr.json"
printf '{"windowsDir": 1}' >"$bad/machine-not-text.json"
printf '{"shellFolders": {"nowhere": "C:\\\\N"}}' >"$bad/machine-folder.json"
printf '{"windowsDir": "C:\\\\\xe4\xb8\x80"}' >"$bad/machine-page.json"
printf '[1]' >"$bad/machine-list.json"
lay "$stages/cjk/files/C/Program Files/W/$(printf '\xe4\xb8\x80').txt"
lay "$stages/capture-list/files/C/Program Files/W/w.exe"
lay "$stages/capture-list/capture.json" '[1]'
lay "$stages/capture-folder/files/C/Program Files/W/w.exe"
lay "$stages/capture-folder/capture.json" '{"allUsers": true}'
widget=$root/examples/widget.json
cp "$work/old/m-widget.json.build/out" "$work/widget.dat"
for f in "$bad"/*.json; do
  n=b-$(basename "$f")
  run_case "$n.lint" lint "$f"
  run_case "$n.build" build "$f" -o '{out}'
  run_case "$n.lint-machine" lint --machine "$f" "$widget"
done
run_case b-lint-allow-strict lint --strict "$bad/lint-allow.json"
run_case b-build-allow build --strict --allow listed-twice "$bad/findings.json" -o '{out}'
run_case b-build-strict build --strict "$bad/findings.json" -o '{out}'
run_case b-build-over-itself build "$widget" -o "$widget"
run_case b-build-data build "$work/widget.dat" -o '{out}'
run_case b-show-manifest show "$widget"
run_case b-missing lint "$work/no-such-file"
run_case b-allow-code lint --allow no-such-code "$widget"
run_case b-allow-text lint --allow "listed-twice=$(printf '\xe4\xb8\x80')" "$widget"
run_case b-allow-text-932 lint --codepage 932 --allow "listed-twice=$(printf '\xe4\xb8\x80')" "$widget"
run_case b-codepage lint --codepage 1234 "$widget"
run_case b-codepage-build build --codepage 65001 "$widget" -o '{out}'
run_case b-family lint --family 99 "$widget"
run_case b-family-plan plan --family nt,xp "$widget"
run_case b-format lint --json --format sarif "$widget"
run_case b-diff-stdin diff - -
run_case b-diff-pages diff --codepage 932 "$widget" "$work/widget.dat"
run_case b-exe-folder plan --exe-folder "C:\\$(printf '\xe4\xb8\x80')" "$widget"
run_case b-exe-folder-long lint --exe-folder "C:\\$(printf 'a%.0s' {1..300})" "$widget"
run_case b-machine-missing plan --machine "$work/no-such-machine.json" "$widget"
for s in machine-syntax-cr machine-not-text machine-folder machine-page machine-list; do
  run_case "b-scan-$s" scan "$stages/plain" --install-folder 'C:\Program Files\W' --machine "$bad/$s.json"
  run_case "b-diff-$s" diff --machine "$bad/$s.json" "$widget" "$widget"
done
run_case b-scan-families scan "$stages/plain" --install-folder 'C:\Program Files\W' --family nt,95
run_case b-scan-family scan "$stages/plain" --install-folder 'C:\Program Files\W' --family 97
run_case b-scan-no-folder scan "$stages/plain"
run_case b-scan-capture-list scan "$stages/capture-list"
run_case b-scan-capture-folder scan "$stages/capture-folder"
run_case b-scan-cjk scan "$stages/cjk" --install-folder 'C:\Program Files\W'
run_case b-scan-cjk-932 scan "$stages/cjk" --install-folder 'C:\Program Files\W' --codepage 932

for c in "" build show lint plan diff scan try capture help; do
  run_case "help-$c" help $c
done
run_case help-option --help
run_case version --version
run_case no-args
run_case bad-command frobnicate

differ=0
for dir in "$work"/old/*; do
  name=$(basename "$dir")
  if ! diff -r "$dir" "$work/new/$name" >"$work/diff.txt" 2>&1; then
    differ=$((differ + 1))
    echo "-- differs: $name"
    head -n 12 "$work/diff.txt" | sed 's/^/   /'
  fi
done
echo "== $cases cases, $differ differ (old: $old_bin, new: $new_bin)"
[ $differ -eq 0 ]
