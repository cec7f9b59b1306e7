#!/bin/bash
# Source: the environment of a run against /work/a33's build: a private CUPS server in
# /tmp/a33cups with the queue Bordered (generic PDF printer PPD, output $A/cups/out/Bordered.pdf),
# PDFs in /tmp/a33pdf, CORVANE naming the tool.
export A=${A:-/tmp/a33}
mkdir -p "$A"; chmod 755 "$A"
if ! [ -S /tmp/a33cups/cups.sock ] || ! lpstat -h /tmp/a33cups/cups.sock -r >/dev/null 2>&1; then
  /work/main/scripts/cups-server.sh start /tmp/a33cups >/dev/null 2>&1
  for t in $(seq 50); do [ -S /tmp/a33cups/cups.sock ] && break; sleep 0.2; done
fi
export CUPS_SERVER=/tmp/a33cups/cups.sock QT_QPA_PLATFORM=offscreen CORVANE_PDF_DIR=/tmp/a33pdf \
  HOME=/tmp/a33home XDG_RUNTIME_DIR=/tmp/a33run XDG_DATA_HOME=/tmp/a33home/data
mkdir -p "$HOME" "$CORVANE_PDF_DIR"; mkdir -p -m 0700 "$XDG_RUNTIME_DIR"; chmod 700 "$XDG_RUNTIME_DIR"
lpstat -p Bordered >/dev/null 2>&1 ||
  lpadmin -p Bordered -E -v "file:///tmp/a33cups/out/Bordered.pdf" -m lsb/usr/cupsfilters/Generic-PDF_Printer-PDF.ppd
export QUEUE=Bordered QUEUE_PDF=/tmp/a33cups/out/Bordered.pdf CORVANE=${CORVANE_BUILD:-/work/main/build}/bin/corvane
