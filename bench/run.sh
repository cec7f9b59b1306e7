#!/usr/bin/env bash
# Text printing speed and memory: Corvane's PrintDoc (every decoration, to the built-in PDF
# printer) beside CUPS's text filter, GNU enscript + ps2pdf and paps + ps2pdf, on the same
# generated prose of 1,000, 20,000 and 100,000 lines. Prints a table of pages, seconds, pages
# per second and peak resident memory for each.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh enscript paps ghostscript time cups-filters bc
scripts/build.sh

work=$(mktemp -d /tmp/corvane-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export CORVANE_PDF_DIR="$work/pdf" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=offscreen
mkdir -p "$CORVANE_PDF_DIR"

# measure NAME OUTPUT.pdf COMMAND...: runs the command under /usr/bin/time, prints one row.
measure() {
  local name=$1 out=$2; shift 2
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || { echo "$name failed: $(tail -3 "$work/stderr")"; return; }
  read -r secs kb < "$work/time"
  local pages
  pages=$(pdfinfo "$out" 2>/dev/null | awk '/^Pages:/ {print $2}')
  awk -v n="$name" -v l="$lines" -v p="$pages" -v s="$secs" -v m="$kb" \
    'BEGIN { printf "| %-22s | %7d | %6d | %7.2f | %8.0f | %8.1f |\n", n, l, p, s, (s > 0 ? p / s : 0), m / 1024 }'
}

echo "| tool                   |   lines |  pages |       s |  pages/s | peak MiB |"
echo "|------------------------|---------|--------|---------|----------|----------|"
for lines in 1000 20000 100000; do
  input="$work/prose-$lines.txt"
  build/bin/generate_prose "$lines" > "$input"
  rm -f "$CORVANE_PDF_DIR"/*.pdf
  measure "Corvane PrintDoc" "$CORVANE_PDF_DIR/latest.pdf" bash -c '
    build/bin/corvane DocTitle="Benchmark" DocHeader="Header" DocFooter="Footer" PrintBorder=True \
      LineBelowHeader=True LineAboveFooter=True PrintPageNumber=True IncludeDateTime=True \
      FileName="$1" PrintDoc "Corvane PDF" 2>/dev/null && ln -sf "$(ls "$CORVANE_PDF_DIR"/Corvane-*.pdf | tail -1)" "$CORVANE_PDF_DIR/latest.pdf"' _ "$input"
  measure "cupsfilter prettyprint" "$work/cups.pdf" bash -c 'cupsfilter -m application/pdf -o prettyprint "$1" > "$2" 2>/dev/null' _ "$input" "$work/cups.pdf"
  measure "enscript + ps2pdf" "$work/enscript.pdf" bash -c 'enscript -q -p - "$1" | ps2pdf - "$2"' _ "$input" "$work/enscript.pdf"
  measure "paps + ps2pdf" "$work/paps.pdf" bash -c 'paps "$1" | ps2pdf - "$2"' _ "$input" "$work/paps.pdf"
  echo "  (input: $(stat -c %s "$input") bytes)"
done
