#!/usr/bin/env bash
# A real IPP Everywhere printer for the tests: ippeveprinter, keeping every document it receives
# in DIR/spool. It needs a DNS-SD responder, so it runs in a mount namespace of its own with a
# private D-Bus system bus and avahi-daemon, leaving the machine's own services alone.
#   scripts/ipp-printer.sh start DIR PORT NAME   starts it on PORT (all addresses); waits until it answers
#   scripts/ipp-printer.sh stop DIR              ends everything it started
# Needs root (for the namespace), avahi-daemon, dbus and cups-ipp-utils.
set -euo pipefail
cmd=${1:?start or stop}
D=${2:?folder}

stop() {
  for name in ipp avahi dbus; do
    if [ -f "$D/$name.pid" ]; then
      pid=$(cat "$D/$name.pid")
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -9 "$pid" 2>/dev/null || true
      rm -f "$D/$name.pid"
    fi
  done
}

case "$cmd" in
start)
  PORT=${3:?port}
  NAME=${4:?printer name}
  mkdir -p "$D/spool"
  D=$(cd "$D" && pwd)
  cat > "$D/namespace.sh" <<SCRIPT
set -e
mkdir -p /run/dbus /run/avahi-daemon
mount -t tmpfs tmpfs /run/dbus
mount -t tmpfs tmpfs /run/avahi-daemon
dbus-daemon --system --fork --print-pid > "$D/dbus.pid"
avahi-daemon --no-chroot --no-drop-root -D
for _ in \$(seq 50); do [ -s /run/avahi-daemon/pid ] && break; sleep 0.1; done
cp /run/avahi-daemon/pid "$D/avahi.pid"
ippeveprinter -k -c /bin/true -d "$D/spool" -p "$PORT" -f application/pdf "$NAME" > "$D/ippeveprinter.log" 2>&1 &
echo \$! > "$D/ipp.pid"
SCRIPT
  if ! unshare -m --propagation private bash "$D/namespace.sh" > "$D/namespace.log" 2>&1; then
    echo "ipp-printer: could not start (needs root for its namespace); see $D/namespace.log" >&2
    stop; exit 1
  fi
  for _ in $(seq 100); do
    if ipptool -q "ipp://127.0.0.1:$PORT/ipp/print" get-printer-attributes.test 2>/dev/null; then exit 0; fi
    sleep 0.1
  done
  echo "ipp-printer: ippeveprinter does not answer on port $PORT; see $D/ippeveprinter.log" >&2
  stop; exit 1
  ;;
stop) stop ;;
*) echo "usage: $0 start DIR PORT NAME | stop DIR" >&2; exit 2 ;;
esac
