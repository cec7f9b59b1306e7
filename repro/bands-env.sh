#!/bin/bash
# Source: a private CUPS server in $A (default /tmp/a25d) with the queue Bordered (the generic PDF
# printer's PPD: A4 printable area 18,36 to 577,806 pt) writing to $A/cups/out/Bordered.pdf, and
# the environment a test run gives the tool. CORVANE names the tool.
export A=${A:-/tmp/a25d}; mkdir -p "$A"; chmod 755 "$A"
if ! kill -0 "$(cat "$A/cups/pid" 2>/dev/null)" 2>/dev/null; then
  /work/main/scripts/cups-server.sh start "$A/cups" >/dev/null 2>&1
  for t in $(seq 50); do [ -S "$A/cups/cups.sock" ] && break; sleep 0.2; done
fi
export CUPS_SERVER=$A/cups/cups.sock XDG_DATA_HOME=$A/data HOME=$A/home CORVANE_PDF_DIR=$A/pdf \
  QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$A/runtime
mkdir -p "$HOME" "$CORVANE_PDF_DIR"; mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
lpstat -p Bordered >/dev/null 2>&1 ||
  lpadmin -p Bordered -E -v "file://$A/cups/out/Bordered.pdf" -m lsb/usr/cupsfilters/Generic-PDF_Printer-PDF.ppd
export QUEUE=Bordered QUEUE_PDF=$A/cups/out/Bordered.pdf CORVANE=${CORVANE:-/work/main/build/bin/corvane}
