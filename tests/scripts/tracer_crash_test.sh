#!/usr/bin/env bash
# scripts/tracer-crash.sh on a ctest log with one program per case: only a program whose tests all
# passed and whose one error is LeakSanitizer's tracer crash at exit counts as the tracer's crash.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
log=$tmp/LastTest.log

n=0
entry() {  # NAME, then the output lines on stdin
  n=$((n + 1))
  {
    echo "$n/9 Testing: $1"
    echo "$n/9 Test: $1"
    echo "Command: \"/build/bin/$1\""
    echo "Output:"
    echo "----------------------------------------------------------"
    cat
    echo "<end of output>"
    echo "Test time =   1.00 sec"
    echo "----------------------------------------------------------"
    echo "Test Failed."
    echo "----------------------------------------------------------"
    echo
  } >>"$log"
}
passed='[==========] 12 tests from 3 test suites ran. (80 ms total)
[  PASSED  ] 12 tests.'
tracer='Tracer caught signal 11: addr=0x0 pc=0x4a1b2c sp=0x7f00deadbeef
==4711==LeakSanitizer has encountered a fatal error.
==4711==HINT: For debugging, try setting environment variable LSAN_OPTIONS=verbosity=1:log_threads=1'

printf '%s\n%s\n' "$passed" "$tracer" | entry tracer_only
printf '%s\n%s\n' "$passed" "$(head -1 <<<"$tracer")" | entry tracer_line_only
printf '[  FAILED  ] Grid.Something\n[  PASSED  ] 11 tests.\n[  FAILED  ] 1 test, listed below:\n%s\n' "$tracer" |
  entry a_test_failed
printf '%s\n==4711==ERROR: LeakSanitizer: detected memory leaks\nSUMMARY: AddressSanitizer: 64 byte(s) leaked\n' \
  "$passed" | entry leaks
printf '%s\n/src/ui/CustomGrid.cpp:12:3: runtime error: signed integer overflow\n%s\n' "$passed" "$tracer" |
  entry undefined_behaviour
printf '[ RUN      ] Grid.Paints\n%s\n' "$tracer" | entry crashed_midway
printf '%s\nSegmentation fault\n' "$passed" | entry other_crash
printf '%s\n%s\n' "$passed" "$tracer" | entry tracer_only_too

check() {  # NAME EXPECTED-EXIT
  local got=0
  bash "$root/scripts/tracer-crash.sh" "$log" "$1" || got=$?
  if [ "$got" != "$2" ]; then
    echo "FAIL: $1 answered $got, expected $2"
    exit 1
  fi
}
check tracer_only 0
check tracer_line_only 0
check tracer_only_too 0
check a_test_failed 1
check leaks 1
check undefined_behaviour 1
check crashed_midway 1
check other_crash 1
check not_in_the_log 1
check tracer 1  # a name that is only the beginning of another's
echo "tracer-crash: only the tracer's own crash after passing tests is told apart"
