#!/usr/bin/env bash
# The process keeping of scripts/fbserver.sh, with `sleep` standing in for the Firebird server and
# with a record and lock folder of its own, so a real server (and its record) is never touched: the
# stop ends the process the start recorded and no other process of the firebird user, also not one
# running the same program; a stale record (an id now given to another process) signals nothing.
# Needs root and the firebird user (su); skipped (77) without them.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ "$(id -u)" != 0 ] || ! id firebird >/dev/null 2>&1; then
  echo "fbserver_test: needs root and the firebird user; skipped"
  exit 77
fi
tmp=$(mktemp -d)
chmod 755 "$tmp"  # the firebird user writes below it
decoy=""
cleanup() {
  # Only the processes this test started, by their ids.
  [ -n "$decoy" ] && kill "$decoy" 2>/dev/null || true
  if [ -f "$tmp/record" ]; then
    read -r pid _ <"$tmp/record" && kill "$pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT

export MORVANE_FB_RECORD=$tmp/record MORVANE_FB_LOCK=$tmp/lock MORVANE_FB_SERVER="sleep 300"
. "$root/scripts/fbserver.sh"
fail() {
  echo "FAIL: $*"
  exit 1
}
alive() { [ -d "/proc/$1" ] && [ "$(stat_field "$1" 20)" = "$2" ]; }

# Another process of the firebird user running the same program: it must outlive every stop.
mkdir -p "$tmp/decoy" && chown firebird:firebird "$tmp/decoy"
su -s /bin/sh firebird -c "echo \$\$ >'$tmp/decoy/pid' && exec sleep 300" >/dev/null 2>&1 &
for _ in $(seq 1 50); do
  decoy=$(cat "$tmp/decoy/pid" 2>/dev/null || true)
  [ -n "$decoy" ] && break
  sleep 0.1
done
[ -n "$decoy" ] || fail "the decoy did not start"
decoy_started=$(start_time "$decoy")

launch_server
read -r pid started <"$tmp/record"
[ "$pid" != "$decoy" ] || fail "the decoy was recorded"
[ "$(stat -c %U "/proc/$pid")" = firebird ] || fail "the recorded process does not run as firebird"
[ "$(readlink "/proc/$pid/exe")" = "$(readlink -f "$(command -v sleep)")" ] || fail "the recorded process is not the server"
[ "$(start_time "$pid")" = "$started" ] || fail "the start time recorded is not the process's"

stop_server
for _ in $(seq 1 50); do
  alive "$pid" "$started" || break
  sleep 0.1
done
alive "$pid" "$started" && fail "the recorded server still runs after stop"
alive "$decoy" "$decoy_started" || fail "stop ended another process of the firebird user"
[ -f "$tmp/record" ] && fail "the record stays after stop"

# A record whose id now belongs to another process (the decoy, with another start time): nothing
# is signalled and the record goes.
printf '%s %s\n' "$decoy" $((decoy_started + 1)) >"$tmp/record"
stop_server
sleep 0.3
alive "$decoy" "$decoy_started" || fail "a stale record ended the process that has its id now"
[ -f "$tmp/record" ] && fail "the stale record stays"

# A record the script did not write (a bare id, as an earlier version wrote) is left as it is.
echo "$decoy" >"$tmp/record"
stop_server 2>/dev/null
sleep 0.3
alive "$decoy" "$decoy_started" || fail "a foreign record made stop signal a process"
[ -f "$tmp/record" ] || fail "a foreign record was removed"
rm -f "$tmp/record"

# Stopping with no record does nothing.
stop_server
alive "$decoy" "$decoy_started" || fail "a stop without a record ended a process"
echo "fbserver: the stop ends only the recorded server"
