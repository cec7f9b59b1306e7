#!/bin/bash
# Source: the environment of a run against a build (CORVANE, by default /work/main's): a private CUPS server in
# /tmp/a34cups with the queue Bordered (generic PDF printer PPD, output /tmp/a34cups/out/Bordered.pdf),
# PDFs in /tmp/a34pdf, CORVANE naming the tool, A=/tmp/a34 for the scripts' output.
export A=${A:-/tmp/a34}
mkdir -p "$A"; chmod 755 "$A"
if ! [ -S /tmp/a34cups/cups.sock ] || ! lpstat -h /tmp/a34cups/cups.sock -r >/dev/null 2>&1; then
  "$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/cups-server.sh" start /tmp/a34cups >/dev/null 2>&1
  for t in $(seq 50); do [ -S /tmp/a34cups/cups.sock ] && break; sleep 0.2; done
fi
export CUPS_SERVER=/tmp/a34cups/cups.sock QT_QPA_PLATFORM=offscreen CORVANE_PDF_DIR=/tmp/a34pdf \
  HOME=/tmp/a34home XDG_RUNTIME_DIR=/tmp/a34run XDG_DATA_HOME=/tmp/a34home/data
mkdir -p "$HOME" "$CORVANE_PDF_DIR"; mkdir -p -m 0700 "$XDG_RUNTIME_DIR"; chmod 700 "$XDG_RUNTIME_DIR"
lpstat -p Bordered >/dev/null 2>&1 ||
  lpadmin -p Bordered -E -v "file:///tmp/a34cups/out/Bordered.pdf" -m lsb/usr/cupsfilters/Generic-PDF_Printer-PDF.ppd
export QUEUE=Bordered QUEUE_PDF=/tmp/a34cups/out/Bordered.pdf CORVANE=${CORVANE:-/work/main/build/bin/corvane}
