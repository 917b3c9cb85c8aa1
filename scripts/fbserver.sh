#!/usr/bin/env bash
# Starts or stops the Firebird server that tests needing a login use, on 127.0.0.1:3050.
#   scripts/fbserver.sh start   sets SYSDBA's password to $MORVANE_FB_PASSWORD (default "masterkey") and
#                               starts the server unless one already answers with that password
#   scripts/fbserver.sh stop    stops the server this script started, and nothing else
#
# The start records the server's own process id with the process's start time (an id the system
# gave to another process since has another start time). The stop signals that process only, after
# checking it still is the one recorded; it never looks for processes by name or by user, so a server
# someone else started, and every other process of the firebird user, is left alone.
#
# Sourced (`. scripts/fbserver.sh`), it only defines its functions: tests run the process keeping
# with a harmless stand-in for the server, in places of their own:
#   MORVANE_FB_RECORD   the record of the started server (default /tmp/morvane-fbserver.pid)
#   MORVANE_FB_LOCK     the server's lock folder, owned by firebird (default /tmp/morvane-fbserver-lock)
#   MORVANE_FB_SERVER   the server's command line (default /usr/sbin/firebird)
set -euo pipefail
password=${MORVANE_FB_PASSWORD:-masterkey}
record=${MORVANE_FB_RECORD:-/tmp/morvane-fbserver.pid}
lockdir=${MORVANE_FB_LOCK:-/tmp/morvane-fbserver-lock}
server=${MORVANE_FB_SERVER:-/usr/sbin/firebird}
log=/tmp/morvane-fbserver.log

# The server checks the password before it looks for the file, so a missing file tells a right
# password from a wrong one.
answers() {
  ! echo "quit;" | timeout 10 isql-fb -q -user SYSDBA -password "$password" "127.0.0.1:/nonexistent/morvane.fdb" 2>&1 |
    grep -q 28000
}

listening() { (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; }

# Fields of /proc/PID/stat after the command name (which may hold blanks and parentheses): the
# parent's id is the 2nd, the start time (clock ticks after boot) the 20th. Empty when PID is gone.
stat_field() { sed -E 's/^.*\) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f"$2"; }
start_time() { stat_field "$1" 20; }
parent_of() { stat_field "$1" 2; }

# Starts the server as the firebird user and records its id. The shell that su runs writes its own
# id and then becomes the server (exec), so the id written is the server's; it is taken only from a
# child of the su this function started.
launch_server() {
  mkdir -p "$lockdir" && chown firebird:firebird "$lockdir"
  local idfile=$lockdir/server.pid launcher pid=""
  rm -f "$idfile"
  # Its own lock folder keeps the server apart from the embedded attachments of the tests.
  su -s /bin/sh firebird -c "echo \$\$ >'$idfile' && FIREBIRD_LOCK='$lockdir' exec $server" >"$log" 2>&1 &
  launcher=$!
  for _ in $(seq 1 100); do
    pid=$(cat "$idfile" 2>/dev/null || true)
    [ -n "$pid" ] && break
    sleep 0.1
  done
  if [ -z "$pid" ] || [ "$(parent_of "$pid")" != "$launcher" ]; then
    echo "fbserver: the server's process id could not be learnt; nothing recorded" >&2
    return 1
  fi
  rm -f "$record"
  printf '%s %s\n' "$pid" "$(start_time "$pid")" >"$record"
}

# Stops the recorded server: SIGTERM, then SIGKILL when it has not ended after 20 seconds.
stop_server() {
  [ -f "$record" ] || return 0
  local pid started
  read -r pid started <"$record" || true
  if ! [[ "$pid" =~ ^[0-9]+$ && "$started" =~ ^[0-9]+$ ]]; then
    echo "fbserver: $record is not a record this script wrote; it stays, and no process is signalled" >&2
    return 0
  fi
  rm -f "$record"
  if [ "$(start_time "$pid")" != "$started" ]; then
    echo "fbserver: the recorded server (process $pid) has ended already"
    return 0
  fi
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 1 200); do
    [ "$(start_time "$pid")" = "$started" ] || { echo "fbserver: stopped (process $pid)"; return 0; }
    sleep 0.1
  done
  echo "fbserver: process $pid did not end on SIGTERM; killing it" >&2
  kill -KILL "$pid" 2>/dev/null || true
}

main() {
  case "${1:-}" in
  start)
    if listening; then
      if answers; then
        echo "fbserver: a server already runs on 127.0.0.1:3050 and takes the password"
        exit 0
      fi
      echo "fbserver: a server already runs on 127.0.0.1:3050 but refuses the password; stop it first" >&2
      exit 1
    fi
    # The password goes in through an embedded attachment to the security database while no server holds it.
    echo "ALTER USER SYSDBA PASSWORD '$password'; COMMIT;" |
      isql-fb -q -user SYSDBA /var/lib/firebird/3.0/system/security3.fdb >/dev/null
    launch_server
    for _ in $(seq 1 50); do
      listening && break
      sleep 0.2
    done
    listening || { echo "fbserver: the server did not start" >&2; cat "$log" >&2; stop_server; exit 1; }
    echo "fbserver: started on 127.0.0.1:3050"
    ;;
  stop)
    stop_server
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
  esac
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  main "$@"
fi
