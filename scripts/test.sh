#!/usr/bin/env bash
# Installs what is missing, builds, starts the Firebird server the login tests use, runs every test,
# then builds again with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
echo "== layer check"
bash scripts/check-layers.sh

export MORVANE_FB_PASSWORD=${MORVANE_FB_PASSWORD:-masterkey}
started=0
if ! (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; then
  started=1
fi
bash scripts/fbserver.sh start
cleanup() {
  if [ "$started" = 1 ]; then bash "$root/scripts/fbserver.sh" stop; fi
}
trap cleanup EXIT

jobs=$(nproc)
run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DMORVANE_WERROR=ON "$@" >/dev/null
  ninja -C "$dir" -j "$jobs"
  # The log keeps both ends of a long output: the tests' summary and a sanitizer's last words.
  (cd "$dir" && ctest --output-on-failure -j 1 --test-output-size-failed 1048576 --test-output-truncation middle) &&
    return 0
  rerun_tracer_crashes "$dir"
}

# LeakSanitizer's own tracer crashes at a program's exit now and then on a loaded machine. A program
# of the last ctest run in DIR whose tests all passed and whose only error is that crash runs once
# more; any other failure stays a failure.
rerun_tracer_crashes() {
  local dir=$1 temp=$1/Testing/Temporary names=() name
  [ -f "$temp/LastTestsFailed.log" ] || return 1
  while IFS=: read -r _ name; do names+=("$name"); done <"$temp/LastTestsFailed.log"
  for name in "${names[@]}"; do
    if ! bash "$root/scripts/tracer-crash.sh" "$temp/LastTest.log" "$name"; then
      echo "== $name failed"
      return 1
    fi
  done
  for name in "${names[@]}"; do
    echo "== $name: every test passed and only LeakSanitizer's tracer crashed at exit; running $name once more"
    (cd "$dir" && ctest --output-on-failure -R "^${name}\$") || return 1
  done
}

echo "== build and test"
run_suite build
echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
# Leaks inside the Firebird client and Qt's platform plugins are theirs, not ours.
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_suite build-asan -DMORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
echo "== all tests passed"
