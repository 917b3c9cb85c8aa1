#!/usr/bin/env bash
# Starts or stops the Firebird server that tests needing a login use, on 127.0.0.1:3050.
#   scripts/fbserver.sh start   sets SYSDBA's password to $MORVANE_FB_PASSWORD (default "masterkey") and
#                               starts the server unless one already answers with that password
#   scripts/fbserver.sh stop    stops the server this script started
set -euo pipefail
password=${MORVANE_FB_PASSWORD:-masterkey}
pidfile=/tmp/morvane-fbserver.pid
lockdir=/tmp/morvane-fbserver-lock

# The server checks the password before it looks for the file, so a missing file tells a right
# password from a wrong one.
answers() {
  ! echo "quit;" | timeout 10 isql-fb -q -user SYSDBA -password "$password" "127.0.0.1:/nonexistent/morvane.fdb" 2>&1 |
    grep -q 28000
}

listening() { (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; }

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
  mkdir -p "$lockdir" && chown firebird:firebird "$lockdir"
  # Its own lock folder keeps the server apart from the embedded attachments of the tests.
  su -s /bin/sh firebird -c "FIREBIRD_LOCK=$lockdir exec /usr/sbin/firebird" >/tmp/morvane-fbserver.log 2>&1 &
  echo $! >"$pidfile"
  for _ in $(seq 1 50); do
    listening && break
    sleep 0.2
  done
  listening || { echo "fbserver: the server did not start" >&2; cat /tmp/morvane-fbserver.log >&2; exit 1; }
  echo "fbserver: started on 127.0.0.1:3050"
  ;;
stop)
  if [ -f "$pidfile" ]; then
    pid=$(cat "$pidfile")
    pkill -P "$pid" 2>/dev/null || true
    kill "$pid" 2>/dev/null || true
    pkill -u firebird -x firebird 2>/dev/null || true
    rm -f "$pidfile"
  fi
  ;;
*)
  echo "usage: $0 start|stop" >&2
  exit 2
  ;;
esac
