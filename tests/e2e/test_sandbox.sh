#!/usr/bin/env bash
# The sandbox every Wine run happens in, probed under Wine: Z:\ shows only
# the sandbox; a data file that names host files through Z:\, \\?\unix\ and
# the user's Documents deletes none of them, though the same paths do reach
# the sandbox's own files; HOME is the sandbox's; there is no network and no
# secret of /etc; and no process outlives the sandbox.
source "$(dirname "$0")/lib.sh"
# Two runs of this script may overlap (test_display runs it beside the
# suite's own run): each has its own victims and its own lingering process,
# so that neither's outside check sees the other's.
if [ -z "${E2E_SANDBOXED:-}" ]; then
  E2E_RUN_TAG=$(( $$ * 100000 + RANDOM ))
  E2E_PASS=(E2E_RUN_TAG)
fi
VICTIMS=$E2E_WORK/sandbox-victims.$E2E_RUN_TAG
LINGER="sleep 4242.$E2E_RUN_TAG"
if [ -z "${E2E_SANDBOXED:-}" ]; then
  rm -rf "$VICTIMS"
  mkdir -p "$VICTIMS/folder"
  for f in a.txt b.txt folder/c.txt; do echo victim >"$VICTIMS/$f"; done
  # From outside, once the sandbox has ended.
  e2e_after_sandbox() {
    local missing="" f
    for f in a.txt b.txt folder/c.txt; do [ -f "$VICTIMS/$f" ] || missing+=" $f"; done
    check_eq "outside: every host file the data file named is still there" "" "$missing"
    check_eq "outside: no process of the sandbox outlived it" "" "$(pgrep -f -x "$LINGER" || true)"
    rm -rf "$VICTIMS"
  }
fi
e2e_setup
set_windows_version win10

echo "# what Wine sees of the host"
listing=$(cd "$DRIVE_C" && wine cmd /c dir /b 'Z:\' 2>/dev/null | tr -d '\r' | sort | tr '\n' ' ')
# The system folders, the sandbox, and the read-only way to this test's
# scripts and builds (the first folder of their path).
top=$(printf '%s' "$ROOT" | cut -d/ -f2)
check_eq "Z:\\ holds only the sandbox's folders" "" \
  "$(printf '%s\n' $listing | grep -v -x -E "bin|dev|etc|lib|lib32|lib64|libx32|proc|sandbox|sbin|tmp|usr|$top")"
check_eq "Z:\\sandbox holds HOME (Wine does not show its own prefix)" home \
  "$(cd "$DRIVE_C" && wine cmd /c dir /b /a 'Z:\sandbox' 2>/dev/null | tr -d '\r' | sort | tr '\n' ' ' | sed 's/ $//')"
check_eq "HOME is the sandbox's" /sandbox/home "$(printenv HOME)"
check_eq "the Desktop leads into it" /sandbox/home/Desktop "$(readlink "$DRIVE_C/users/$WINE_USER/Desktop")"
check_eq "no network but the loopback" lo "$(tail -n +3 /proc/net/dev | cut -d: -f1 | tr -d ' ' | tr '\n' ' ' | sed 's/ $//')"
check_eq "no shadow files of /etc" absent "$([ -e /etc/shadow ] && echo present || echo absent)"

echo "# a data file that names the host's files"
APP='C:\apps\Widget'
install_uninstaller "$APP"
zv=${VICTIMS//\//\\}
mkdir -p /tmp/inside/folder "$SANDBOX_HOME/Documents"
for f in a.txt b.txt; do echo mine >/tmp/inside/$f; done
echo mine >"$SANDBOX_HOME/Documents/notes.txt"
write_dat "$(unix_path "$APP\\uninst.dat")" '\0\0\0\0' \
  "Z:$zv\\a.txt|\\\\?\\unix$zv\\b.txt|Z:$zv\\folder\\c.txt|Z:$zv\\folder|Z:\\tmp\\inside\\a.txt|\\\\?\\unix\\tmp\\inside\\b.txt|Z:\\tmp\\inside\\folder|C:\\users\\$WINE_USER\\Documents\\notes.txt|"
run_uninstaller "$APP\\uninst.exe"
check_eq "the run ends" "exit: 0" "$(exit_line)"
check_eq "the same paths reach the sandbox's own files" "gone gone gone" \
  "$(for p in /tmp/inside/a.txt /tmp/inside/b.txt /tmp/inside/folder; do [ -e "$p" ] && printf 'there ' || printf 'gone '; done | sed 's/ $//')"
check_eq "Documents is the sandbox's HOME, not the user's" gone \
  "$([ -e "$SANDBOX_HOME/Documents/notes.txt" ] && echo there || echo gone)"

echo "# no process outlives the sandbox"
setsid nohup $LINGER >/dev/null 2>&1 &
for _ in $(seq 1 50); do pgrep -f -x "$LINGER" >/dev/null && break; sleep 0.1; done
check_eq "a process left running as the script ends" yes "$(pgrep -f -x "$LINGER" >/dev/null && echo yes || echo no)"
finish
