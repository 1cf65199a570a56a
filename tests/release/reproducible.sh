#!/usr/bin/env bash
# uninst.exe is the same bytes whatever the folder of its sources and build
# and the time of the build: the sources are copied to another folder, built
# there at another time, and uninst.exe of both families is compared byte
# for byte with the main build's; and SOURCE_DATE_EPOCH is its time stamp.
# (uninstdat.exe is built by the same rules, without a path or a time in
# it; the suite builds it once, and its second build is a release's.)
#   reproducible.sh SOURCE_DIR WIN32_BUILD_DIR WIN64_BUILD_DIR
set -u
src=$1 win32=$2 win64=$3
for f in "$win32/uninst.exe" "$win64/uninst.exe"; do
  if [ ! -f "$f" ]; then
    echo "SKIPPED: $f missing (./test.sh builds it)"
    [ "${E2E_REQUIRED:-0}" = 1 ] && exit 1
    exit 77
  fi
done
work=$(mktemp -d "${TMPDIR:-/tmp}/reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
other="$work/another place/src"
mkdir -p "$other"
# The sources (tracked or not ignored), never a build folder.
(cd "$src" && git ls-files -z --cached --others --exclude-standard 2>/dev/null | xargs -0 cp --parents -t "$other" 2>/dev/null) ||
  (cd "$src" && tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$other")
failures=0
for preset in win32 win64; do
  targets=(uninst)
  if ! (cd "$other" && cmake --preset $preset >/dev/null &&
        cmake --build --preset $preset -j2 --target "${targets[@]}" >"$work/$preset.log" 2>&1); then
    echo "FAIL the second build of $preset failed:"; tail -n 20 "$work/$preset.log"; exit 1
  fi
  main=$win32; [ $preset = win64 ] && main=$win64
  for t in "${targets[@]}"; do
    if cmp -s "$main/$t.exe" "$other/build/$preset/$t.exe"; then
      echo "ok   $preset/$t.exe: the same $(stat -c %s "$main/$t.exe") bytes, sha256 $(sha256sum <"$main/$t.exe" | cut -c1-16)..."
    else
      echo "FAIL $preset/$t.exe differs between $main and $other/build/$preset:"
      cmp -l "$main/$t.exe" "$other/build/$preset/$t.exe" | head -n 8 | sed 's/^/       /'
      failures=$((failures + 1))
    fi
  done
done
# SOURCE_DATE_EPOCH, as given when a folder is configured, is the time stamp.
if (cd "$other" && SOURCE_DATE_EPOCH=1700000000 cmake -S . -B "$work/dated" --preset win32 >/dev/null &&
    cmake --build "$work/dated" -j2 --target uninst >"$work/dated.log" 2>&1); then
  stamp=$(TZ=UTC ${OBJDUMP:-i686-w64-mingw32-objdump} -p "$work/dated/uninst.exe" | awk '/^Time\/Date/ {$1 = ""; print}' | xargs)
  if [ "$(date -u -d "$stamp" +%s 2>/dev/null)" = 1700000000 ]; then
    echo "ok   SOURCE_DATE_EPOCH=1700000000 is the PE time stamp ($stamp)"
  else
    echo "FAIL SOURCE_DATE_EPOCH=1700000000 gave the PE time stamp '$stamp'"; failures=$((failures + 1))
  fi
else
  echo "FAIL the dated build failed:"; tail -n 20 "$work/dated.log"; failures=$((failures + 1))
fi
[ $failures -eq 0 ]
