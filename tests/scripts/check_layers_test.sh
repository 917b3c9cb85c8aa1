#!/usr/bin/env bash
# The layer check passes on the tree as it is and fails on a copy with a planted upward include and
# on a copy with a Qt header outside the framework.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
check=$root/scripts/check-layers.sh
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

bash "$check" "$root/src" || { echo "FAIL: the tree itself does not pass"; exit 1; }

expect_failure() {
  local what=$1 file=$2 line=$3
  rm -rf "$tmp/src" && cp -r "$root/src" "$tmp/src"
  mkdir -p "$(dirname "$tmp/src/$file")"
  echo "$line" >>"$tmp/src/$file"
  if bash "$check" "$tmp/src" 2>/dev/null; then
    echo "FAIL: $what passed the check"
    exit 1
  fi
}
expect_failure "data including ui" data/Field.h '#include "ui/Canvas.h"'
expect_failure "core including data" core/Format.cpp '#include "data/Field.h"'
expect_failure "grid support including grid" grid/support/Planted.h '#include "grid/KxDBGrid.h"'
expect_failure "data including the driver" data/DataSet.cpp '#include "driver/FbClient.h"'
expect_failure "a Qt header in the grid" grid/Planted.cpp '#include <QWidget>'
expect_failure "a Qt module header in the data layer" data/DataSet.cpp '#include <QtCore/QString>'
echo "check-layers: every planted fault was found"
