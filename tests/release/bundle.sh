#!/usr/bin/env bash
# The release command gives a zip that an installer author can take: it
# unpacks, its SHA256SUMS verify, its uninst.exe passes the size check (at
# most 16,384 bytes) with the allowed imports and the release notes name its
# SHA-256, the 64-bit test build is named so that nobody ships it, and the
# tools say the version. The release packs the programs the tests built
# (--prebuilt), so that the suite compiles them once; reproducible.sh shows
# that a build in another folder gives uninst.exe's bytes.
#   bundle.sh SOURCE_DIR WIN32_BUILD_DIR WIN64_BUILD_DIR LINUX_BUILD_DIR
set -u
src=$1 win32=$2 win64=$3 linux=$4
work=$(mktemp -d "${TMPDIR:-/tmp}/bundle.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # NAME, then the command that must succeed
  local name=$1
  shift
  checks=$((checks + 1))
  if "$@"; then echo "ok   $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}
checks=0
if ! zip=$(SOURCE_DATE_EPOCH=0 "$src/scripts/release.sh" --prebuilt "$win32" "$win64" "$linux" --out "$work/out" \
  2>"$work/release.log" | tail -n 1); then
  echo "FAIL scripts/release.sh failed:"; tail -n 30 "$work/release.log"; exit 1
fi
version=$(sed -n 's/^project(uninst VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
check "the zip is named with the version" [ "$(basename "$zip")" = "uninst-$version.zip" ]
mkdir -p "$work/unpacked" && (cd "$work/unpacked" && cmake -E tar xf "$zip")
b=$work/unpacked/uninst-$version
check "every file of the bundle is in SHA256SUMS and verifies" \
  bash -c 'cd "$1" && sha256sum --quiet -c SHA256SUMS &&
    [ "$(find . -type f ! -name SHA256SUMS | wc -l)" = "$(wc -l <SHA256SUMS)" ]' _ "$b"
check "uninst.exe passes the size and import check" bash "$src/tests/size/check_uninst.sh" "$b/uninst.exe" --max-bytes 16384
check "the release notes name uninst.exe's SHA-256" grep -q "$(sha256sum <"$b/uninst.exe" | cut -d' ' -f1)" "$b/RELEASE-NOTES.md"
check "the 64-bit build is named as a test vehicle" [ -f "$b/wine/uninst-x64-TEST-ONLY-never-ship.exe" ]
check "the 64-bit build is not the shipped one" bash -c '! cmp -s "$1/uninst.exe" "$1/wine/uninst-x64-TEST-ONLY-never-ship.exe"' _ "$b"
check "try's Wine side lies beside the tool" [ -f "$b/wine/try.sh" -a -f "$b/wine/session.sh" -a -f "$b/wine/prefix.sh" -a -f "$b/wine/sandbox.sh" -a -f "$b/wine/host.sh" ]
check "capture's Wine side lies beside it" [ -f "$b/wine/capture.sh" ]
check "uninstdat --version says $version" [ "$("$b/uninstdat" --version)" = "uninstdat $version" ]
check "the Linux uninstdat needs no C++ runtime of the system" bash -c '! objdump -p "$1" | grep -q "NEEDED.*libstdc++"' _ "$b/uninstdat"
check "the schema and the examples are there" [ -f "$b/manifest.schema.json" -a -f "$b/examples/widget.json" ]
echo "$(( checks - failures )) passed, $failures failed"
[ $failures -eq 0 ]
