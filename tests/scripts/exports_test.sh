#!/usr/bin/env bash
# The driver and engine libraries export their entry points and nothing else (what the program finds
# with dlsym), so their core code and the standard library code inside them never meet another copy.
#   exports_test.sh LIBSQLDRVFB LIBDSENGINE
set -euo pipefail
fail=0
check() {
  local lib=$1
  shift
  local want got
  want=$(printf '%s\n' "$@" | sort)
  got=$(nm -D --defined-only "$lib" | awk '{print $NF}' | sort)
  if [ "$got" != "$want" ]; then
    echo "FAIL: $(basename "$lib") exports $(echo "$got" | wc -l) symbols, expected only: $*"
    echo "$got" | head -20
    fail=1
  fi
}
check "$1" getSQLDriverFIREBIRD
check "$2" DllGetClassObject
[ "$fail" = 0 ] && echo "exports: only the entry points"
exit "$fail"
