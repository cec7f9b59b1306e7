#!/usr/bin/env bash
# Load on a central print server: PROCS processes (8) each print JOBS one-page text jobs (50)
# through PrintDoc to a queue of a second cupsd, listening on 127.0.0.1 as a print server of an
# office does, which drives a real IPP Everywhere printer (ippeveprinter, keeping what it gets).
# Prints the jobs per second as the callers saw them (each PrintComplete: the server has the
# whole job) and as the printer received them, and checks the printer's side: every job once.
# Needs root (the printer runs in a mount namespace of its own).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
procs=${PROCS:-8}
jobs=${JOBS:-50}

work=$(mktemp -d /tmp/corvane-ipp-bench.XXXXXX)
chmod 755 "$work"
cleanup() {
  scripts/cups-server.sh stop "$work/server" || true
  scripts/ipp-printer.sh stop "$work/printer" || true
  rm -rf "$work"
}
trap cleanup EXIT
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
printer_port=$(free_port)
server_port=$(free_port)
scripts/ipp-printer.sh start "$work/printer" "$printer_port" Office
scripts/cups-server.sh start "$work/server" "$server_port"
lpadmin -h "127.0.0.1:$server_port" -p Office -E -v "ipp://127.0.0.1:$printer_port/ipp/print" -m everywhere \
  -o printer-is-shared=true

export CUPS_SERVER="127.0.0.1:$server_port" QT_QPA_PLATFORM=offscreen
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" && mkdir -p -m 0700 "$XDG_RUNTIME_DIR"

# One process: one object, the queue chosen once, then its jobs one after the other, each a
# page with a word of its own ("Load-P-J").
client() {
  local p=$1 args=(SetPrinter Office --)
  for j in $(seq "$jobs"); do args+=("DocText=Load-$p-$j on a page of its own" PrintDoc --); done
  build/bin/corvane "${args[@]}" 2> "$work/client-$p.err" || true
}

start=$(date +%s.%N)
for p in $(seq "$procs"); do client "$p" & done
wait
taken=$(date +%s.%N)
total=$((procs * jobs))
completed=$(cat "$work"/client-*.err | grep -c '^PrintComplete$' || true)
errors=$(cat "$work"/client-*.err | grep -c '^PrintError' || true)

# The printer's side: wait (30 minutes at most) until it has a document for every job taken.
spool="$work/printer/spool"
for _ in $(seq 18000); do
  [ "$(find "$spool" -name '*.pdf' | wc -l)" -ge "$completed" ] && break
  sleep 0.1
done
printed=$(date +%s.%N)
words="$work/words"
: > "$words"
for f in "$spool"/*.pdf; do pdftotext "$f" - 2>/dev/null | grep -o 'Load-[0-9]*-[0-9]*' >> "$words" || true; done
distinct=$(sort -u "$words" | wc -l)
duplicates=$(sort "$words" | uniq -d | wc -l)

awk -v n="$total" -v c="$completed" -v e="$errors" -v s="$start" -v t="$taken" -v p="$printed" \
    -v d="$distinct" -v u="$duplicates" -v procs="$procs" 'BEGIN {
  printf "| processes | jobs | PrintComplete | PrintError | taken in s | jobs/s taken | at the printer | jobs/s printed | twice |\n"
  printf "|-----------|------|---------------|------------|------------|--------------|----------------|----------------|-------|\n"
  printf "| %9d | %4d | %13d | %10d | %10.1f | %12.1f | %14d | %14.1f | %5d |\n", procs, n, c, e, t - s, c / (t - s), d, d / (p - s), u
}'
[ "$completed" -eq "$total" ] && [ "$distinct" -eq "$total" ] && [ "$duplicates" -eq 0 ]
