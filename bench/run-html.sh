#!/usr/bin/env bash
# HTML printing time and memory: Corvane's PrintHTMLDocument to the built-in PDF printer (the
# first job, which starts the browser engine, and the following jobs on the warm engine) beside
# a fresh `chromium --headless --print-to-pdf` and `wkhtmltopdf`, on generated pages of about
# 10 KB, 200 KB and 2 MB; then 20 requests of the 10 KB page asked at once in one process.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh chromium wkhtmltopdf time bc
scripts/build.sh

work=$(mktemp -d /tmp/corvane-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export CORVANE_PDF_DIR="$work/pdf" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=offscreen
mkdir -p "$CORVANE_PDF_DIR"

pages() { pdfinfo "$1" 2>/dev/null | awk '/^Pages:/ {print $2}'; }

echo "| tool                      |     bytes | pages | s per job | peak MiB |"
echo "|---------------------------|-----------|-------|-----------|----------|"
for size in 10000 200000 2000000; do
  input="$work/page-$size.html"
  build/bin/generate_html "$size" > "$input"
  bytes=$(stat -c %s "$input")
  rm -f "$CORVANE_PDF_DIR"/*.pdf
  /usr/bin/time -f '%M' -o "$work/mem" build/bin/bench_html "$input" 3 > "$work/jobs" 2>/dev/null
  p=$(pages "$(ls "$CORVANE_PDF_DIR"/*.pdf | head -1)")
  mem=$(awk '{printf "%.1f", $1 / 1024}' "$work/mem")
  first=$(awk '$2 == 1 {print $3}' "$work/jobs")
  warm=$(awk '$2 > 1 {s += $3; n++} END {printf "%.3f", s / n}' "$work/jobs")
  printf "| %-25s | %9d | %5s | %9s | %8s |\n" "Corvane, first job" "$bytes" "$p" "$first" "$mem"
  printf "| %-25s | %9d | %5s | %9s | %8s |\n" "Corvane, warm job" "$bytes" "$p" "$warm" ""
  /usr/bin/time -f '%e %M' -o "$work/time" chromium --headless --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --user-data-dir="$work/chromium" \
    --print-to-pdf="$work/chromium.pdf" "file://$input" >/dev/null 2>&1 || true
  read -r secs kb < "$work/time"
  printf "| %-25s | %9d | %5s | %9s | %8.1f |\n" "chromium --print-to-pdf" "$bytes" "$(pages "$work/chromium.pdf")" "$secs" "$(echo "$kb / 1024" | bc -l)"
  /usr/bin/time -f '%e %M' -o "$work/time" wkhtmltopdf -q "$input" "$work/wk.pdf" >/dev/null 2>&1 || true
  read -r secs kb < "$work/time"
  printf "| %-25s | %9d | %5s | %9s | %8.1f |\n" "wkhtmltopdf" "$bytes" "$(pages "$work/wk.pdf")" "$secs" "$(echo "$kb / 1024" | bc -l)"
done

# 20 requests queued in one process on the warm engine: each prints, in turn.
input="$work/page-10000.html"
rm -f "$CORVANE_PDF_DIR"/*.pdf
build/bin/bench_html "$input" 21 queued > "$work/queued" 2>/dev/null
read -r _ count secs < "$work/queued"
echo
echo "20 queued requests of the 10 KB page: $(ls "$CORVANE_PDF_DIR"/*.pdf | wc -l) PDFs (21 with the warm-up) in $secs s, $(echo "$count / $secs" | bc -l | xargs printf "%.1f") documents of 4 pages per second"
