#!/usr/bin/env bash
# The Wine side of `uninstdat capture`: an author's installer run sealed, as
# `try` runs the uninstaller, and what it did written down from outside the
# sandbox. uninstdat reads the installer, chooses its command line and
# writes the stage; this script only runs Wine and records.
#
#   capture.sh bits
#     Prints "bits=32" or "bits=64": the Wine this host runs. Makes no
#     prefix, so that an installer this Wine cannot run is refused at once.
#
#   capture.sh run CACHE_PREFIX CACHE_HOME WORK TIMEOUT LANG MAX_FILES MAX_BYTES
#     WORK holds input/ (command.txt: the installer's command line, UTF-8;
#     installer/: the installer), and import.reg when the installer is to
#     see another Windows version than the prefix's own. On views of the
#     pristine prefix (CACHE_PREFIX, CACHE_HOME), each a sandbox of its own
#     with a display of its own (session.sh is the inside of each): the
#     import, if any; the run, which starts the installer and watches it,
#     pressing no button, at most TIMEOUT seconds; beside it the control
#     run, the same start of the prefix without the installer, so that
#     Wine's own changes can be told apart. For the installer's processes
#     Wine's wineboot is the runner, so that a restart it asks for is written
#     down, never carried out (runner.cpp, --watch).
#
#     Then, with every process of both sandboxes ended, from outside:
#     WORK/{before,after,control}.snap/ each hold files (NUL-separated
#     records: root, type, path, link target, as try's snapshots), hashes.ROOT
#     (sha256sum -z of the files the run or the control run touched, by
#     their status change time), and the three hives; after.files/ROOT/... and
#     before.files/ROOT/... hold copies of the files the run touched, as
#     they are after it and as they were before, for uninstdat to read.
#     When the touched files are more than MAX_FILES or MAX_BYTES, nothing is
#     copied and WORK/cap says which cap stopped it. WORK/run.out and
#     WORK/control.out hold the sessions' accounts, WORK/*.log Wine's own
#     messages.
#
# Every wait is bounded. Exit 0 when the runs happened, 3 when Wine or the
# sandbox cannot run here (with the reason).
set -u
source "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/prefix.sh"
tool_script capture

# The roots of a view: "C PATH" for drive C:, each other drive that the
# prefix links to a folder of its own, and "HOME PATH".
roots() {  # PREFIX HOME_DIR
  local link letter target
  echo "C $1/drive_c"
  for link in "$1"/dosdevices/?:; do
    [ -L "$link" ] || continue
    letter=$(basename "$link" | tr -d : | tr 'a-z' 'A-Z')
    target=$(readlink "$link")
    case $target in
      ../drive_[a-z]) [ "$letter" = C ] || [ ! -d "$1/${target#../}" ] || echo "$letter $1/${target#../}" ;;
    esac
  done
  echo "HOME $2"
}

# The listing of a view (links as links, never followed), the names of the
# files whose status changed since WORK/ref (a status change time no program
# can set) in WORK/NAME.touched.ROOT, and its hives. Nothing is read through
# a link, and only regular files are named.
listing() {  # NAME PREFIX HOME_DIR
  local out=$WORK/$1.snap root folder
  mkdir -p "$out"
  : >"$out/files"
  while read -r root folder; do
    find "$folder" -mindepth 1 -printf "$root\\0%y\\0%P\\0%l\\0" >>"$out/files"
    find "$folder" -mindepth 1 -type f -newercm "$WORK/ref" -printf '%P\0' >"$WORK/$1.touched.$root"
  done < <(roots "$2" "$3")
  for hive in system user userdef; do cp "$2/$hive.reg" "$out/$hive.reg" 2>/dev/null || : >"$out/$hive.reg"; done
}

# sha256sum -z of the files named in LIST (NUL-separated, relative to
# FOLDER) that are regular files there, into OUT.
hash_files() {  # FOLDER LIST OUT
  : >"$3"
  [ -s "$2" ] || return 0
  (cd "$1" && while IFS= read -r -d '' path; do
    [ -f "$path" ] && [ ! -L "$path" ] && printf '%s\0' "$path"
  done <"$2" | xargs -0 -r sha256sum -z --) >"$3"
}

# Copies the files named in LIST from FOLDER to DEST, keeping their paths.
copy_files() {  # FOLDER LIST DEST
  mkdir -p "$3"
  [ -s "$2" ] || return 0
  (cd "$1" && while IFS= read -r -d '' path; do
    [ -f "$path" ] && [ ! -L "$path" ] && printf '%s\0' "$path"
  done <"$2" | xargs -0 -r cp --no-dereference --parents -t "$3" --)
}

run() {
  local cache_prefix=$1 cache_home=$2 limit=$4 lang=$5 max_files=$6 max_bytes=$7
  WORK=$3
  # What each session reads besides the Wine helpers (see in_sandbox).
  SESSION_BINDS=("$WORK/input" "$SANDBOX_INPUT")
  export LANG=$lang LC_ALL=$lang
  cp "$RUNNER_EXE" "$WORK/input/runner.exe" || exit 3
  local stack_prefix=$cache_prefix stack_home=$cache_home

  if [ -s "$WORK/import.reg" ]; then
    progress "setting the Windows version the installer sees"
    cp "$WORK/import.reg" "$WORK/input/import.reg" || exit 3
    make_view "$WORK/import" "$stack_prefix" "$stack_home" || exit 3
    in_sandbox "$VIEW_PREFIX" "$VIEW_HOME" import import "$limit"
    unmount_view
    if [ "$VIEW_OVERLAY" = yes ]; then
      stack_prefix="$WORK/import/prefix.up:$stack_prefix"
      stack_home="$WORK/import/home.up:$stack_home"
    fi
  fi

  # Three views of one machine: before (never run: the pristine prefix
  # itself, only read, unless a Windows version was set), the run and the
  # control run. Copies where no overlay can be mounted.
  local name
  declare -A prefix_of home_of
  prefix_of[before]=$cache_prefix home_of[before]=$cache_home
  for name in before run control; do
    if [ $name = before ] && [ ! -d "$WORK/import" ]; then
      continue
    elif [ "$VIEW_OVERLAY" = no ] && [ -d "$WORK/import" ]; then
      cp -a "$WORK/import" "$WORK/$name" || exit 3
      VIEW_PREFIX=$WORK/$name/prefix VIEW_HOME=$WORK/$name/home
    else
      make_view "$WORK/$name" "$stack_prefix" "$stack_home" || exit 3
    fi
    prefix_of[$name]=$VIEW_PREFIX home_of[$name]=$VIEW_HOME
  done
  # Whatever changes from here on is the run's or the control run's: a
  # status change time is the kernel's, later than this file's time.
  sleep 0.1
  touch "$WORK/ref"
  sleep 0.1

  progress "running the installer (at most $limit s) and the control run"
  in_sandbox "${prefix_of[control]}" "${home_of[control]}" control control "$limit" none &
  local control_pid=$!
  in_sandbox "${prefix_of[run]}" "${home_of[run]}" run capture "$limit" "$((max_bytes / 1024 + 1))"
  wait $control_pid

  listing after "${prefix_of[run]}" "${home_of[run]}"
  listing control "${prefix_of[control]}" "${home_of[control]}"
  listing before "${prefix_of[before]}" "${home_of[before]}"
  local root folder count=0 bytes=0 size
  while read -r root folder; do
    [ -f "$WORK/control.touched.$root" ] || : >"$WORK/control.touched.$root"
    sort -z -u "$WORK/after.touched.$root" "$WORK/control.touched.$root" >"$WORK/touched.$root"
    hash_files "$folder" "$WORK/after.touched.$root" "$WORK/after.snap/hashes.$root"
    count=$((count + $(tr -cd '\0' <"$WORK/after.touched.$root" | wc -c)))
    if [ -s "$WORK/after.touched.$root" ]; then
      size=$(cd "$folder" && du -cb --files0-from="$WORK/after.touched.$root" 2>/dev/null | tail -n 1 | cut -f1)
      bytes=$((bytes + ${size:-0}))
    fi
  done < <(roots "${prefix_of[run]}" "${home_of[run]}")
  while read -r root folder; do
    hash_files "$folder" "$WORK/control.touched.$root" "$WORK/control.snap/hashes.$root"
  done < <(roots "${prefix_of[control]}" "${home_of[control]}")
  while read -r root folder; do
    [ -f "$WORK/touched.$root" ] && hash_files "$folder" "$WORK/touched.$root" "$WORK/before.snap/hashes.$root"
  done < <(roots "${prefix_of[before]}" "${home_of[before]}")

  if [ "$count" -gt "$max_files" ]; then
    echo "files $count $max_files" >"$WORK/cap"
  elif [ "$bytes" -gt "$max_bytes" ]; then
    echo "bytes $bytes $max_bytes" >"$WORK/cap"
  else
    while read -r root folder; do
      copy_files "$folder" "$WORK/after.touched.$root" "$WORK/after.files/$root"
    done < <(roots "${prefix_of[run]}" "${home_of[run]}")
    while read -r root folder; do
      [ -f "$WORK/after.touched.$root" ] && copy_files "$folder" "$WORK/after.touched.$root" "$WORK/before.files/$root"
    done < <(roots "${prefix_of[before]}" "${home_of[before]}")
  fi
  for name in before run control; do
    [ -d "$WORK/$name" ] && VIEW_PREFIX=$WORK/$name/prefix VIEW_HOME=$WORK/$name/home unmount_view
  done
  return 0
}

case ${1:-} in
  bits) echo "bits=$WINE_BITS" ;;
  run)
    shift
    # The views live in a private mount namespace, gone with this script.
    enter_mount_namespace "${BASH_SOURCE[0]}" run "$@"
    run "$@"
    ;;
  *) echo "usage: capture.sh bits | run CACHE_PREFIX CACHE_HOME WORK TIMEOUT LANG MAX_FILES MAX_BYTES" >&2; exit 2 ;;
esac
