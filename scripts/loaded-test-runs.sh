#!/usr/bin/env bash
# Runs the whole test suite N times in a row on a loaded machine: two runs at once, each with
# `ctest -j2`, in two build folders (each has its own throwaway PostgreSQL cluster), and counts
# the runs in which any test failed. A test that fails even once here is a broken test.
#
#   scripts/loaded-test-runs.sh N BUILD_A BUILD_B
#
# The failing tests of each run are listed in BUILD_*/loaded-runs.log.
set -uo pipefail
[ $# -eq 3 ] || { echo "usage: $0 N BUILD_A BUILD_B" >&2; exit 2; }
runs=$1; a=$2; b=$3
failed=0
: > "$a/loaded-runs.log"; : > "$b/loaded-runs.log"
for i in $(seq 1 "$runs"); do
  ctest --test-dir "$a" -j2 --timeout 600 > "$a/loaded-run.out" 2>&1 & pa=$!
  ctest --test-dir "$b" -j2 --timeout 600 > "$b/loaded-run.out" 2>&1 & pb=$!
  wait $pa; ra=$?; wait $pb; rb=$?
  for d in "$a" "$b"; do
    { echo "== run $i"; grep -E "tests passed|\(Failed\)|\(Timeout\)|Not Run|\*\*\*" "$d/loaded-run.out"; } >> "$d/loaded-runs.log"
  done
  [ $ra -eq 0 ] || failed=$((failed + 1))
  [ $rb -eq 0 ] || failed=$((failed + 1))
  echo "run $i: $( [ $ra -eq 0 ] && echo pass || echo FAIL ) / $( [ $rb -eq 0 ] && echo pass || echo FAIL )"
done
echo "$((2 * runs)) suite runs, $failed with a failure"
[ $failed -eq 0 ]
