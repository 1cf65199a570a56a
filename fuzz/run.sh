#!/usr/bin/env bash
# Runs one fuzz target over its seed corpus for a number of runs (or, with
# --seconds S, for S seconds), keeping new inputs out of the repository.
# A crash leaves its input in the current folder as crash-*; keep it in the
# target's corpus as a regression case once it is fixed.
set -u
target=$1 corpus=$2 limit=${3:-20000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "${4:-}" = "--seconds" ]; then bound=(-max_total_time="$limit"); else bound=(-runs="$limit"); fi
"$target" "${bound[@]}" -seed=1 -print_final_stats=1 "$work" "$corpus" >"$work.log" 2>&1
status=$?
grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|Done' "$work.log" | tail -n 5
[ $status -eq 0 ] || tail -n 40 "$work.log"
rm -f "$work.log"
exit $status
