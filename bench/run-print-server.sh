#!/usr/bin/env bash
# The print server's throughput (examples/print_server under gunicorn, 4 workers, 8 clients)
# for one-page text invoices and for one-page HTML invoices, beside the same jobs through the
# command-line tool spawned once per request (8 at a time).
#   bench/run-print-server.sh [REQUESTS]
set -euo pipefail
cd "$(dirname "$0")/.."
n=${1:-200}
scripts/setup.sh
scripts/build.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p -m 0700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" XDG_DATA_HOME="$work/data" HOME="$work" QT_QPA_PLATFORM=offscreen
for format in text html; do
  echo "print server, $format:"
  /usr/bin/python3 tests/examples/print_server_test.py . build/python "$n" 8 "$format" | sed 's/^/  /'
done
for format in text html; do
  export CORVANE_PDF_DIR="$work/cli-$format"
  mkdir -p "$CORVANE_PDF_DIR"
  start=$(date +%s.%N)
  seq 1 "$n" | xargs -P 8 -I{} sh -c '
    if [ "$0" = text ]; then
      build/bin/corvane SetPrinter "Corvane PDF" -- DocTitle="Invoice INV-{}" DocText="Widget 2 9.50" PrintDoc >/dev/null 2>&1
    else
      build/bin/corvane SetPrinter "Corvane PDF" -- PrintHTMLDocFromSource "<h1>Invoice INV-{}</h1><p>Widget 2 9.50</p>" >/dev/null 2>&1
    fi' "$format"
  end=$(date +%s.%N)
  pdfs=$(ls "$CORVANE_PDF_DIR" | wc -l)
  echo "command-line tool, $format: $n requests in $(echo "$end - $start" | bc) s ($(echo "scale=2; $n / ($end - $start)" | bc) per second), $pdfs PDFs"
done
