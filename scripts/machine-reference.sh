#!/usr/bin/env bash
# Regenerates the fresh-machine reference that uninstdat's scan and lint read
# (tools/uninstdat/reference/fresh-keys.txt and fresh-folders.txt): the
# registry keys and the folders of a Wine prefix that nothing has touched yet.
# scan and lint never run Wine themselves; they read these checked-in lists,
# so that what they write never depends on the machine that runs them.
#
#   scripts/machine-reference.sh
#
# The prefix is made by 64-bit Wine (every host can run it; its prefix holds
# the 32-bit side too) inside a bubblewrap sandbox: only /usr and /etc read-only,
# the prefix and a HOME of its own under build/reference read-write, no
# network, its own process tree. Nothing outside build/reference is written.
# Run it again after a Wine upgrade and review the difference.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$ROOT/tools/uninstdat/reference
WORK=$ROOT/build/reference
WINE64=/usr/lib/wine/wine64
WINESERVER64=/usr/lib/wine/wineserver64
for tool in bwrap "$WINE64" "$WINESERVER64" python3; do
  command -v "$tool" >/dev/null || { echo "error: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

rm -rf "$WORK/prefix" "$WORK/home"
mkdir -p "$WORK/prefix" "$WORK/home"

# The sandbox: Wine maps Z: to / and links the profile's folders to $HOME, so
# both must be the sandbox's own. The user name is fixed, so that the
# profile folder has the same name on every machine.
sealed() {
  local link args=()
  for link in lib lib32 lib64 bin sbin; do
    [ -L "/$link" ] && args+=(--symlink "$(readlink "/$link")" "/$link")
  done
  env -i PATH=/usr/bin:/bin bwrap --ro-bind /usr /usr --ro-bind /etc /etc "${args[@]}" \
    --dev /dev --proc /proc --tmpfs /tmp \
    --bind "$WORK/prefix" "$WORK/prefix" --bind "$WORK/home" "$WORK/home" --chdir "$WORK/home" \
    --setenv HOME "$WORK/home" --setenv USER user --setenv LOGNAME user \
    --setenv WINEPREFIX "$WORK/prefix" --setenv WINEDEBUG -all \
    --setenv WINEDLLOVERRIDES "mscoree,mshtml=" --setenv WINELOADER "$WINE64" \
    --unshare-net --unshare-pid --die-with-parent "$@"
}
echo "making a fresh prefix in $WORK/prefix (about 20 s)"
sealed sh -c "$WINE64 wineboot -i >/dev/null 2>&1; $WINESERVER64 -w"
[ -f "$WORK/prefix/system.reg" ] && [ -d "$WORK/prefix/drive_c/windows" ] ||
  { echo "error: wineboot made no prefix in $WORK/prefix" >&2; exit 1; }

version=$("$WINE64" --version)
python3 - "$WORK/prefix" "$OUT" "$version" <<'PY'
import os, re, sys
prefix, out, version = sys.argv[1:4]

def unescape(name):
    # Wine's registry files write "\\" for a backslash and \xHHHH for each
    # UTF-16 unit outside printable ASCII (a pair of them for an emoji).
    units = re.sub(r'\\(x[0-9a-fA-F]{1,4}|.)',
                   lambda m: chr(int(m.group(1)[1:], 16)) if m.group(1)[0] == 'x' else m.group(1), name)
    return units.encode("utf-16-le", "surrogatepass").decode("utf-16-le")

# The views a program sees: HKEY_CLASSES_ROOT merges the classes of the
# machine and of the user, and a 32-bit program's HKLM\Software is the
# 64-bit prefix's Software\Wow6432Node.
folds = [("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE\\CLASSES\\", "HKEY_CLASSES_ROOT\\"),
         ("HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\", "HKEY_CLASSES_ROOT\\"),
         ("HKEY_CURRENT_USER\\SOFTWARE\\CLASSES\\", "HKEY_CLASSES_ROOT\\"),
         ("HKEY_CLASSES_ROOT\\WOW6432NODE\\", "HKEY_CLASSES_ROOT\\"),
         ("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE\\", "HKEY_LOCAL_MACHINE\\SOFTWARE\\")]
def fold(key):
    for before, after in folds:
        if key.upper().startswith(before):
            return fold(after + key[len(before):])
    return key

keys = {}
for name, root in (("system.reg", "HKEY_LOCAL_MACHINE"), ("user.reg", "HKEY_CURRENT_USER"),
                   ("userdef.reg", "HKEY_USERS\\.DEFAULT")):
    for line in open(os.path.join(prefix, name), encoding="utf-8", errors="surrogateescape"):
        if not line.startswith("["):
            continue
        parts = fold(root + "\\" + unescape(line[1:line.rindex("]")])).split("\\")
        # Below HKEY_CLASSES_ROOT two levels say all (a class, or a CLSID,
        # Interface, TypeLib or AppID entry): a key is judged with its
        # ancestors, and the deeper keys of these 14,000 add nothing.
        if parts[0] == "HKEY_CLASSES_ROOT":
            parts = parts[:3]
        for depth in range(2, len(parts) + 1):
            key = "\\".join(parts[:depth])
            keys.setdefault(key.upper(), key)

folders = {}
drive_c = os.path.join(prefix, "drive_c")
macros = [("C:\\windows", "<Win>"), ("C:\\Program Files (x86)\\Common Files", "<CommonFiles>"),
          ("C:\\Program Files (x86)", "<ProgramFiles>"), ("C:\\users\\user", "<Profile>")]
for top, dirs, files in os.walk(drive_c):
    for d in dirs:  # links (the profile's Desktop, Documents, ...) are listed, never followed
        path = "C:\\" + os.path.relpath(os.path.join(top, d), drive_c).replace("/", "\\")
        for folder, macro in macros:
            if path.upper() == folder.upper() or path.upper().startswith(folder.upper() + "\\"):
                path = macro + path[len(folder):]
                break
        folders.setdefault(path.upper(), path)

header = ("# Generated by scripts/machine-reference.sh from a fresh 64-bit prefix of %s;\n"
          "# do not edit: run the script again. %s\n")
def write(name, what, entries):
    with open(os.path.join(out, name), "w", encoding="utf-8", newline="\n") as f:
        f.write(header % (version, what))
        for upper in sorted(entries):
            f.write(entries[upper] + "\n")
write("fresh-keys.txt", "The registry keys a program sees there,\n"
      "# HKEY_CLASSES_ROOT to two levels below it.", keys)
write("fresh-folders.txt", "Its folders, through <Win>, <ProgramFiles>,\n"
      "# <CommonFiles> and <Profile> (the user's profile folder) where they lie in those.", folders)
print("%d keys, %d folders written to %s" % (len(keys), len(folders), out))
PY
