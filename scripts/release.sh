#!/usr/bin/env bash
# Makes the release bundle: builds the shipped 32-bit uninst.exe, uninstdat
# for Windows and for Linux, and what `uninstdat try` needs beside them, from
# the checkout as it is, in folders of their own under build/release, and
# packs them with the schema, the examples, the README, release notes and
# SHA256SUMS into uninst-VERSION.zip.
#   scripts/release.sh [--out DIR] [--no-setup] [--prebuilt WIN32 WIN64 LINUX]
#   (default DIR: build/release)
# --prebuilt packs the programs of build folders that exist already (the
# win32 and win64 presets' and a host build's uninstdat) instead of building
# them: the release test checks the packing on the test builds, whose
# uninst.exe it shows reproducible on its own.
# The version is the project's CMake version; when HEAD carries a tag, it
# must be that version (vX.Y.Z or X.Y.Z). SOURCE_DATE_EPOCH, when not given,
# is the time of HEAD's commit: it is the Windows programs' PE time stamp and
# every date in the zip, so the same commit gives the same programs and zip.
# Exit 0 with the zip's path on the last line; 1 when a check of the bundle
# fails; 2 for a wrong tag or usage.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/release
setup=yes prebuilt=()
usage() { echo "usage: scripts/release.sh [--out DIR] [--no-setup] [--prebuilt WIN32 WIN64 LINUX]" >&2; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
    --out) [ $# -ge 2 ] || usage; out=$(mkdir -p "$2" && cd "$2" && pwd); shift 2 ;;
    --no-setup) setup=no; shift ;;
    --prebuilt) [ $# -ge 4 ] || usage; prebuilt=("$2" "$3" "$4"); setup=no; shift 4 ;;
    *) usage ;;
  esac
done
cd "$root"
say() { echo "release: $*" >&2; }

version=$(sed -n 's/^project(uninst VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt's project()" >&2; exit 2; }
commit=unknown tag="" dirty=""
if git rev-parse --git-dir >/dev/null 2>&1; then
  commit=$(git rev-parse HEAD)
  tag=$(git describe --tags --exact-match HEAD 2>/dev/null || true)
  [ -z "$(git status --porcelain 2>/dev/null)" ] || dirty=yes
  : "${SOURCE_DATE_EPOCH:=$(git log -1 --format=%ct)}"
fi
if [ -n "$tag" ] && [ "$tag" != "v$version" ] && [ "$tag" != "$version" ]; then
  echo "release: HEAD is tagged $tag, but CMakeLists.txt says version $version; mend one of them" >&2
  exit 2
fi
: "${SOURCE_DATE_EPOCH:=0}"
export SOURCE_DATE_EPOCH
date=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC')
say "version $version, commit $commit${tag:+ (tag $tag)}${dirty:+ with uncommitted changes}, dated $date"

[ $setup = no ] || ./scripts/setup.sh
builds=$out/builds
if [ ${#prebuilt[@]} -eq 3 ]; then
  win32=${prebuilt[0]} win64=${prebuilt[1]} linux=${prebuilt[2]}
  say "packing the programs of $win32, $win64 and $linux"
else
  win32=$builds/win32 win64=$builds/win64 linux=$builds/linux
  for preset in win32 win64; do
    say "building the $preset programs"
    cmake --preset $preset -B "$builds/$preset" >/dev/null
    cmake --build "$builds/$preset" -j2 >"$builds/$preset.log" 2>&1 || { tail -n 30 "$builds/$preset.log" >&2; exit 1; }
  done
  # uninstdat for Linux: the C++ runtime linked in (the CMake project does
  # that), the C library (with its iconv modules) the system's, so that it
  # runs wherever that C library is as new as the one it was built with.
  say "building uninstdat for Linux"
  cmake --preset host -B "$builds/linux" -DCMAKE_BUILD_TYPE=Release -DUNINST_E2E=OFF >/dev/null
  cmake --build "$builds/linux" -j2 --target uninstdat >"$builds/linux.log" 2>&1 || { tail -n 30 "$builds/linux.log" >&2; exit 1; }
fi
for program in "$win32/uninst.exe" "$win32/wine_runner.exe" "$win64/uninst.exe" "$win64/wine_runner.exe" \
  "$win64/uninstdat.exe" "$linux/uninstdat"; do
  [ -f "$program" ] || { echo "release: $program is missing" >&2; exit 1; }
done

name=uninst-$version
bundle=$out/$name
rm -rf "$bundle" "$out/$name.zip"
mkdir -p "$bundle/wine" "$bundle/examples"
cp "$win32/uninst.exe" "$bundle/uninst.exe"
cp "$win64/uninstdat.exe" "$bundle/uninstdat.exe"
strip -o "$bundle/uninstdat" "$linux/uninstdat"
cp tools/wine/try.sh tools/wine/capture.sh tools/wine/session.sh tools/wine/prefix.sh tools/wine/sandbox.sh scripts/host.sh "$bundle/wine/"
cp "$win32/wine_runner.exe" "$bundle/wine/runner32.exe"
cp "$win64/wine_runner.exe" "$bundle/wine/runner64.exe"
# The 64-bit build runs try where only 64-bit Wine can: a test vehicle that
# no product may ship, and named so.
cp "$win64/uninst.exe" "$bundle/wine/uninst-x64-TEST-ONLY-never-ship.exe"
cp tools/uninstdat/schema/manifest.schema.json "$bundle/"
cp examples/*.json "$bundle/examples/"
cp README.md "$bundle/"

glibc=$(objdump -T "$bundle/uninstdat" | grep -o 'GLIBC_[0-9.]*' | sort -u -V | tail -n 1)
uninst_sha=$(sha256sum <"$bundle/uninst.exe" | cut -d' ' -f1)
cat >"$bundle/RELEASE-NOTES.md" <<NOTES
# uninst $version

Built from commit $commit${tag:+, tag $tag}, with SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH ($date).${dirty:+

**Built from a working tree with changes that are not in that commit: a
snapshot for testing, not a release, and not rebuilt bit for bit from the
commit.**}

The uninstaller to ship, \`uninst.exe\` (32-bit, $(stat -c %s "$bundle/uninst.exe") bytes), has the SHA-256

    $uninst_sha

Anyone can rebuild it bit for bit from this commit with Debian 12's MinGW-w64
(\`g++-mingw-w64-i686\`):

    git checkout $commit
    SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH cmake --preset win32 -B build/check
    cmake --build build/check --target uninst
    sha256sum build/check/uninst.exe

| File | What it is |
|---|---|
| \`uninst.exe\` | the uninstaller that installers ship beside \`uninst.dat\` |
| \`uninstdat.exe\` | the authors' tool for 64-bit Windows (build, show, lint, plan, scan) |
| \`uninstdat\` | the same tool for Linux x86-64, with \`try\`; needs the GNU C library $glibc or later with its iconv modules (Debian 12 and later: package libc6), and for \`try\` Wine, bubblewrap and Xvfb |
| \`wine/\` | what \`try\` and \`capture\` run beside the tool: their scripts, the box-answering runners, and \`uninst-x64-TEST-ONLY-never-ship.exe\`, the 64-bit build that \`try\` runs where only 64-bit Wine can (never ship it) |
| \`manifest.schema.json\`, \`examples/\` | the manifest's JSON Schema and sample manifests |
| \`SHA256SUMS\` | the SHA-256 of every other file: \`sha256sum -c SHA256SUMS\` |
NOTES

(cd "$bundle" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
  xargs -d '\n' sha256sum >SHA256SUMS)
(cd "$out" && find "$name" -type f | LC_ALL=C sort | xargs -d '\n' \
  cmake -E tar cf "$name.zip" --format=zip "--mtime=$date" --)
cp "$bundle/RELEASE-NOTES.md" "$out/$name-RELEASE-NOTES.md"

# The bundle is checked as a user would check it.
(cd "$bundle" && sha256sum --quiet -c SHA256SUMS) || { echo "release: SHA256SUMS does not verify" >&2; exit 1; }
bash tests/size/check_uninst.sh "$bundle/uninst.exe" --max-bytes 16384 >&2 || { echo "release: uninst.exe fails the size or import check" >&2; exit 1; }
"$bundle/uninstdat" --version | grep -qx "uninstdat $version" || { echo "release: uninstdat --version is not $version" >&2; exit 1; }
say "uninst.exe sha256 $uninst_sha"
echo "$out/$name.zip"
