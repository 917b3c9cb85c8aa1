#!/usr/bin/env bash
# Tells a test program that failed only because LeakSanitizer's own tracer crashed at its exit (seen
# now and then on a loaded machine: "Tracer caught signal 11", then "LeakSanitizer has encountered a
# fatal error") from a real failure.
#   scripts/tracer-crash.sh LOG NAME
# LOG is ctest's Testing/Temporary/LastTest.log; NAME a test in it. Exits 0 when that test's output
# shows every test passed, the tracer's crash, and no other error: no failed test, no leak report, no
# address or undefined-behaviour report. Exits 1 otherwise (also when the test is not in the log).
set -euo pipefail
log=$1
name=$2

# The test's output: the lines after "Output:" and its rule, up to "<end of output>".
output=$(awk -v name="$name" '
  $0 ~ "^[0-9]+/[0-9]+ Test: " && substr($0, index($0, "Test: ") + 6) == name { found = 1; next }
  found && $0 == "Output:" { getline; take = 1; next }
  take && $0 == "<end of output>" { exit }
  take { print }
' "$log")
[ -n "$output" ] || exit 1

has() { grep -q -e "$1" <<<"$output"; }
has 'Tracer caught signal' || has 'LeakSanitizer has encountered a fatal error' || exit 1
# Every test of the program ran and passed (GoogleTest's summary), and none failed.
has '^\[  PASSED  \] [0-9][0-9]* test' || exit 1
has '^\[  FAILED  \]' && exit 1
# No report of a real fault beside the tracer's crash.
for fault in 'ERROR: AddressSanitizer' 'ERROR: LeakSanitizer' 'detected memory leaks' 'runtime error:' \
  'SUMMARY: AddressSanitizer' 'SUMMARY: UndefinedBehaviorSanitizer' 'SUMMARY: LeakSanitizer'; do
  has "$fault" && exit 1
done
exit 0
