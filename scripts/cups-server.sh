#!/usr/bin/env bash
# A private CUPS server for the integration tests: its own configuration, spool and socket in
# a folder of its own, so nothing of the machine's CUPS is touched.
#   scripts/cups-server.sh start DIR [PORT]   starts it (prints nothing; CUPS_SERVER=DIR/cups.sock);
#                                             with PORT it also listens on 127.0.0.1:PORT, a print
#                                             server for other machines, its queues shared
#   scripts/cups-server.sh stop DIR           stops it
set -euo pipefail
cmd=${1:?start or stop}
D=${2:?folder}

case "$cmd" in
start)
  mkdir -p "$D"/{root,spool/tmp,cache,state,log,out}
  chmod 1777 "$D/spool/tmp"
  chmod 777 "$D/out"
  # cupsd runs its filters as lp: the folders on the way to the output must be reachable.
  chmod o+x "$D" "$(dirname "$D")" 2>/dev/null || true
  tcp=
  if [ -n "${3:-}" ]; then
    tcp="Listen 127.0.0.1:$3
ServerAlias *
DefaultShared Yes"
  fi
  cat > "$D/cupsd.conf" <<CONF
Listen $D/cups.sock
$tcp
Browsing No
WebInterface No
DefaultAuthType None
MaxJobs 0
PreserveJobFiles No
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
CONF
  cat > "$D/cups-files.conf" <<CONF
ServerRoot $D/root
RequestRoot $D/spool
TempDir $D/spool/tmp
CacheDir $D/cache
StateDir $D/state
AccessLog $D/log/access_log
ErrorLog $D/log/error_log
PageLog $D/log/page_log
DataDir /usr/share/cups
ServerBin /usr/lib/cups
DocumentRoot /usr/share/cups/doc-root
FileDevice Yes
User lp
Group lp
SystemGroup root
Sandboxing Relaxed
CONF
  /usr/sbin/cupsd -f -c "$D/cupsd.conf" -s "$D/cups-files.conf" >"$D/log/cupsd.out" 2>&1 &
  echo $! > "$D/pid"
  export CUPS_SERVER="$D/cups.sock"
  for _ in $(seq 100); do
    lpstat -r 2>/dev/null | grep -q 'is running' && exit 0
    sleep 0.1
  done
  echo "cups-server: cupsd did not start; see $D/log" >&2
  exit 1
  ;;
stop)
  if [ -f "$D/pid" ]; then
    kill "$(cat "$D/pid")" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$(cat "$D/pid")" 2>/dev/null || break; sleep 0.1; done
    rm -f "$D/pid"
  fi
  ;;
*)
  echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
