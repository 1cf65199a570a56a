#!/usr/bin/env bash
# No Wine run of the project reaches the user's display: an X server that
# logs every client (Xvfb -audit 4) stands for the author's desktop and is
# set as DISPLAY while `uninstdat try`, an end-to-end script and the demo
# run. A known client connects first, as the control that the log works;
# after it, no client may appear in the log. (Every client of a display can
# read and drive every other window on it: the author's terminal, and the
# boxes meant for the runner.)
# try, the script and the demo make their own sandboxes, so this script
# runs outside one.
source "$(dirname "$0")/lib.sh"
e2e_check_outside
UNINSTDAT=${UNINSTDAT:-$ROOT/build/host/uninstdat}
[ -x "$UNINSTDAT" ] || { echo "error: $UNINSTDAT is not built"; exit 1; }
command -v xdpyinfo >/dev/null || { echo "error: xdpyinfo (x11-utils) is missing; scripts/setup.sh installs it"; exit 1; }
work=$(mktemp -d)
xvfb=""
trap '[ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null; chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"; e2e_cleanup' EXIT
export TMPDIR=$work/tmp XDG_CACHE_HOME=$E2E_WORK/cache
mkdir -p "$TMPDIR"

# The author's display, on the first free number, logging its clients.
mkfifo "$work/ready"
Xvfb -displayfd 3 -audit 4 -nolisten tcp -screen 0 800x600x24 3>"$work/ready" 2>"$work/audit.log" &
xvfb=$!
read -r -t 60 number <"$work/ready" || { echo "error: the logging X server did not start"; exit 1; }
export DISPLAY=:$number
connections() { grep -c 'client [0-9]* connected' "$work/audit.log"; }

echo "# the control: a known client is logged"
DISPLAY=:$number xdpyinfo >/dev/null
sleep 0.5
check_eq "xdpyinfo's connection is in the log" 1 "$(connections)"

echo "# try of a product of one file"
stage=$work/stage
mkdir -p "$stage/files/C/Program Files/One"
echo one >"$stage/files/C/Program Files/One/one.exe"
printf '%s' '{"codePage": 1252, "removalEntries": ["one.exe"], "messageCaption": "One", "confirmPrompt": "Remove One?",
  "closingMessage": "One was removed.", "restartPrompt": "Restart now?"}' >"$work/one.json"
"$UNINSTDAT" try "$work/one.json" --stage "$stage" --install-folder 'C:\Program Files\One' >"$work/try.out" 2>&1
check_eq "try ran and was clean" 0 $?
check_eq "no client of try connected" 1 "$(connections)"

echo "# an end-to-end script"
bash "$ROOT/tests/e2e/test_sandbox.sh" >"$work/script.out" 2>&1
check_eq "test_sandbox.sh passed" 0 $?
check_eq "no client of the script connected" 1 "$(connections)"

echo "# the demo"
(cd "$ROOT" && ./demo.sh) >"$work/demo.out" 2>&1
check_eq "the demo ran" 0 $?
check_eq "no client of the demo connected" 1 "$(connections)"
[ "$failures" -eq 0 ] || { echo "--- the audit log:"; cat "$work/audit.log"; tail -n 20 "$work/try.out" "$work/script.out" "$work/demo.out"; }
finish
