#!/usr/bin/env bash
# Fails when a source file includes a header of a layer it may not use, or when a file outside
# src/ui/ includes a Qt header. Dependencies point down this list only:
#   core, interfaces, driver, engine, data, ui, grid/support, grid, app
# The driver and the engine are loaded at run time and see only core and interfaces; the data layer
# reaches them through the interfaces, never through their sources.
#   scripts/check-layers.sh [SOURCE-ROOT]   (default: the project's src/)
set -euo pipefail
src=${1:-"$(dirname "$0")/../src"}
cd "$src"

# The layers a folder may include from, itself included.
allowed() {
  case "$1" in
    core) echo "core" ;;
    interfaces) echo "interfaces" ;;
    driver) echo "core interfaces driver" ;;
    engine) echo "core interfaces engine" ;;
    data) echo "core interfaces data" ;;
    ui) echo "core interfaces data ui" ;;
    grid/support) echo "core interfaces data ui grid/support" ;;
    grid) echo "core interfaces data ui grid/support grid" ;;
    app) echo "core interfaces data ui grid/support grid app" ;;
  esac
}

# The layer of a path relative to src/ (grid/support before grid).
layer_of() {
  case "$1" in
    grid/support/*) echo grid/support ;;
    *) echo "${1%%/*}" ;;
  esac
}

status=0
while IFS= read -r -d '' file; do
  file=${file#./}
  own=$(layer_of "$file")
  ok=$(allowed "$own")
  if [ -z "$ok" ]; then
    echo "check-layers: $file lies in no known layer" >&2
    status=1
    continue
  fi
  while IFS= read -r line; do
    inc=${line#*\"}
    inc=${inc%%\"*}
    target=$(layer_of "$inc")
    # A name without a folder is a header beside the including file.
    [ "$target" = "$inc" ] && continue
    case " $ok " in
      *" $target "*) ;;
      *)
        echo "check-layers: $file ($own) includes $inc ($target)" >&2
        status=1
        ;;
    esac
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
  if [ "$own" != ui ] && grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q[A-Za-z0-9_]*(/[^>]*)?>' "$file"; then
    echo "check-layers: $file includes a Qt header outside src/ui/" >&2
    status=1
  fi
done < <(find . -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
exit $status
