#!/usr/bin/env bash
# Runs COMMAND with a view of a prefix and of a HOME at DIR/prefix and
# DIR/home: overlays of the lower folders (colon-separated, top first) whose
# upper folders DIR/prefix.up and DIR/home.up keep what the command changed,
# in a private mount namespace that ends with the command; where no overlay
# can be mounted, copies. The lower folders are only ever read. Exits with
# COMMAND's exit status, 1 when the view cannot be made.
#   view.sh DIR LOWER_PREFIXES LOWER_HOMES COMMAND...
set -u
source "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/prefix.sh"
enter_mount_namespace "${BASH_SOURCE[0]}" "$@"
dir=$1 lower_prefixes=$2 lower_homes=$3
shift 3
make_view "$dir" "$lower_prefixes" "$lower_homes" || { echo "error: cannot make the view in $dir" >&2; exit 1; }
status=0
"$@" || status=$?
unmount_view
exit $status
