#!/usr/bin/env bash
# The inside of one sandbox of `uninstdat try` (and of making the pristine
# prefix): try.sh starts it in a sandbox of sandbox.sh, with this folder at
# /sandbox/tools and the session's inputs, read-only, in /sandbox/input
# (runner.exe, import.reg, listed.txt).
#
#   session.sh make-prefix
#   session.sh import LIMIT
#   session.sh run LIMIT ANSWER PROGRAM [HOLD]
#   session.sh control LIMIT none|restart
#   session.sh capture LIMIT FILE_KIB
#
# make-prefix makes a pristine prefix. import imports the registry
# (/sandbox/input/import.reg). run runs PROGRAM (a Windows path) through the
# runner, which answers every box OK and the restart question ANSWER (Yes or
# No); with HOLD, the runner holds that file open until it answers the
# restart question, and lets it go first (release:ANSWER), as every process
# of a real machine has ended before Windows deletes at its restart. control
# takes the same path without the uninstaller, with the restart or none.
# capture is the run of `uninstdat capture` (capture.sh): the runner starts
# the command line of /sandbox/input/command.txt and watches it, pressing no
# button, at most LIMIT seconds (runner.cpp, --watch); no file the sandbox
# writes may grow beyond FILE_KIB KiB; then the prefix has at most 60 s to
# end.
#
# Each prints its account on standard output only once every process of the
# sandbox has ended, so that nothing a Windows program writes (the batch's
# cmd echoes its lines) can fall into it: the runner's lines (see
# runner.cpp), then an "error: ..." line for each wait that ran out, naming
# what was still alive. Every wait is bounded by LIMIT seconds. Wine's own
# messages go to standard error.
set -u
source "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/sandbox.sh"
INPUT=$SANDBOX_INPUT
ERRORS=()

# Waits for every process of the prefix, at most LIMIT seconds; on time out
# names what still ran and ends it.
wait_for_prefix() {  # LIMIT
  timeout "$1" "$WINESERVER" -w && return 0
  local alive
  alive=$(sandbox_processes | tr '\n' ';' | sed 's/;$//; s/;/; /g')
  "$WINESERVER" -k
  ERRORS+=("timeout: processes of the prefix still ran after $1 s${alive:+ ($alive)}; they were ended")
}

# Runs the runner with ARGS, its account in /tmp/account, at most LIMIT
# seconds (the runner keeps its own, shorter, time limit and reports it; this
# one only ends a runner that hangs itself). Wine's chatter to standard error.
runner() {  # LIMIT ARGS...
  local limit=$1 status=0 alive
  shift
  rm -f /tmp/account
  timeout "$limit" "$WINELOADER" "Z:${INPUT//\//\\}\\runner.exe" --report 'Z:\tmp\account' "$@" >&2 || status=$?
  if [ $status = 124 ]; then
    alive=$(sandbox_processes | tr '\n' ';' | sed 's/;$//; s/;/; /g')
    ERRORS+=("the runner did not end within $limit s${alive:+; still running: $alive}")
  elif [ ! -s /tmp/account ]; then
    ERRORS+=("the runner did not start (exit $status)")
  fi
}

# The account: the runner's lines, then this session's errors.
account() {
  [ -f /tmp/account ] && tr -d '\r' </tmp/account
  local error
  for error in "${ERRORS[@]}"; do echo "error: $error"; done
}

case ${1:-} in
  make-prefix)
    sandbox_make_prefix
    ;;
  import)
    limit=$2 status=0
    timeout "$limit" "$WINELOADER" regedit /S "Z:${INPUT//\//\\}\\import.reg" >&2 || status=$?
    if [ $status = 124 ]; then ERRORS+=("the import did not end within $limit s")
    elif [ $status != 0 ]; then ERRORS+=("the import failed (regedit's exit code $status)"); fi
    wait_for_prefix "$limit"
    account
    ;;
  run)
    limit=$2 answer=$3 program=$4 hold=${5:-}
    if sandbox_start_display; then
      options=(--yes-no "$answer")
      [ -n "$hold" ] && options=(--hold "$hold" --yes-no "release:$answer")
      runner $((limit + 30)) "${options[@]}" --timeout "$limit" --check "Z:${INPUT//\//\\}\\listed.txt" \
        --cwd 'C:\' "$program"
      wait_for_prefix "$limit"
    else
      ERRORS+=("the sandbox's own X display did not start")
    fi
    account
    ;;
  control)
    limit=$2 kind=$3
    if sandbox_start_display; then
      runner "$limit" --control "$kind"
      wait_for_prefix "$limit"
    else
      ERRORS+=("the sandbox's own X display did not start")
    fi
    account
    ;;
  capture)
    limit=$2 kib=$3
    if sandbox_start_display; then
      ulimit -f "$kib"
      runner $((limit + 30)) --watch --timeout "$limit" --cwd 'C:\' --command-file "Z:${INPUT//\//\\}\\command.txt"
      wait_for_prefix 60
    else
      ERRORS+=("the sandbox's own X display did not start")
    fi
    account
    ;;
  *)
    echo "usage: session.sh make-prefix | import LIMIT | run LIMIT ANSWER PROGRAM [HOLD] | control LIMIT none|restart | capture LIMIT FILE_KIB" >&2
    exit 2
    ;;
esac
