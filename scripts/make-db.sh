#!/usr/bin/env bash
# Creates a shop database: scripts/make-db.sh FILE [demo|large [LINES [CUSTOMERS]]]
#   demo   the schema with a few bills and 48 customers (the default)
#   large  the schema with 1,000,000 bill lines and 100,000 customers, for benchmarks; LINES (a
#          multiple of 100, bills of 100 lines each) gives another number of bill lines, CUSTOMERS
#          (1 to 9,999,999; codes G0000001 on) another number of customers
# Text is converted from the scripts' UTF-8 to Big5 bytes on the way in.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
file=$1
kind=${2:-demo}
lines=${3:-1000000}
customers=${4:-100000}
case "$kind" in
demo) data=$root/db/demo.sql ;;
large) data=$root/db/generate.sql ;;
*) echo "usage: $0 FILE [demo|large [LINES [CUSTOMERS]]]" >&2; exit 2 ;;
esac
if ! [[ "$lines" =~ ^[1-9][0-9]*00$ ]]; then
  echo "make-db: LINES must be a positive multiple of 100, not '$lines'" >&2
  exit 2
fi
# A customer's code holds seven digits.
if ! [[ "$customers" =~ ^[1-9][0-9]{0,6}$ ]]; then
  echo "make-db: CUSTOMERS must be a number from 1 to 9999999, not '$customers'" >&2
  exit 2
fi
[ -e "$file" ] && { echo "make-db: $file exists already" >&2; exit 1; }
mkdir -p "$(dirname "$file")"
file=$(cd "$(dirname "$file")" && pwd)/$(basename "$file")
script=$(mktemp --suffix=.sql)
trap 'rm -f "$script"' EXIT
{
  echo "CREATE DATABASE '$file' USER 'SYSDBA' PASSWORD 'x' DEFAULT CHARACTER SET NONE;"
  cat "$root/db/schema.sql"
  sed -e "s/DECLARE bills INTEGER = 10000;/DECLARE bills INTEGER = $((lines / 100));/" \
      -e "s/DECLARE customers INTEGER = 100000;/DECLARE customers INTEGER = $customers;/" "$data"
  echo "COMMIT;"
} | iconv -f UTF-8 -t BIG5 >"$script"
# isql reads bytes above 127 faithfully from a file, not from a pipe.
isql-fb -q -b -user SYSDBA -password x -i "$script"
# The server, running as its own user, may open the file too.
chmod 666 "$file"
if [ "$kind" = large ]; then kind="large, $lines bill lines, $customers customers"; fi
echo "make-db: created $file ($kind)"
