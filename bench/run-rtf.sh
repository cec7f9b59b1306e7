#!/usr/bin/env bash
# Rich-text printing speed and memory: Corvane's PrintRTFFile to the built-in PDF printer
# beside LibreOffice's headless conversion to PDF, on generated RTF of about 50 KB, 1 MB and
# 5 MB; then Corvane alone on some 10,000 pages (35 MB, which LibreOffice takes too long over),
# and on one table of 5,000 and of 20,000 rows, with the ratio of their times (linear is 4).
# Prints pages, seconds (the median of RUNS runs, 3 by default), pages per second and peak
# resident memory for each.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh libreoffice-writer-nogui time
scripts/build.sh

work=$(mktemp -d /tmp/corvane-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export CORVANE_PDF_DIR="$work/pdf" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=offscreen HOME="$work/home"
mkdir -p "$CORVANE_PDF_DIR" "$HOME"

# timed COMMAND...: runs the command $runs times (this machine's timings vary by a third from
# run to run) and leaves the median seconds and the largest peak memory in $work/time.
runs=${RUNS:-3}
timed() {
  : > "$work/times"
  for _ in $(seq "$runs"); do
    settle
    /usr/bin/time -f '%e %M' -o "$work/one" "$@" >/dev/null 2>&1 || true
    cat "$work/one" >> "$work/times"
  done
  sort -n "$work/times" | awk '{ s[NR] = $1; if ($2 > m) m = $2 } END { print s[int((NR + 1) / 2)], m }' > "$work/time"
}

row() { # name bytes pdf
  read -r secs kb < "$work/time"
  local pages
  pages=$(pdfinfo "$3" 2>/dev/null | awk '/^Pages:/ {print $2}')
  awk -v n="$1" -v b="$2" -v p="${pages:-0}" -v s="$secs" -v m="$kb" \
    'BEGIN { printf "| %-22s | %9d | %6d | %7.2f | %8.1f | %8.1f |\n", n, b, p, s, (s > 0 ? p / s : 0), m / 1024 }'
}

# LibreOffice's processes may still be exiting after a conversion: let them go before timing.
settle() {
  for _ in $(seq 100); do pgrep -f soffice.bin >/dev/null || return 0; sleep 0.1; done
}

echo "| tool                   |     bytes |  pages |       s |  pages/s | peak MiB |"
echo "|------------------------|-----------|--------|---------|----------|----------|"
for size in 50000 1000000 5000000; do
  input="$work/doc-$size.rtf"
  build/bin/generate_rtf "$size" > "$input"
  bytes=$(stat -c %s "$input")
  rm -f "$CORVANE_PDF_DIR"/*.pdf
  timed build/bin/corvane PrintRTFFile "$input"
  row "Corvane PrintRTFFile" "$bytes" "$(ls "$CORVANE_PDF_DIR"/*.pdf | tail -1)"
  timed soffice --headless --convert-to pdf --outdir "$work" "$input"
  row "LibreOffice headless" "$bytes" "$work/doc-$size.pdf"
done

input="$work/doc-10000-pages.rtf"
build/bin/generate_rtf 35500000 > "$input"
rm -f "$CORVANE_PDF_DIR"/*.pdf
timed build/bin/corvane PrintRTFFile "$input"
row "Corvane 10,000 pages" "$(stat -c %s "$input")" "$(ls "$CORVANE_PDF_DIR"/*.pdf | tail -1)"

for rows in 5000 20000; do
  input="$work/table-$rows.rtf"
  build/bin/generate_rtf table "$rows" > "$input"
  rm -f "$CORVANE_PDF_DIR"/*.pdf
  timed build/bin/corvane PrintRTFFile "$input"
  cp "$work/time" "$work/time-$rows"
  row "Corvane $rows-row table" "$(stat -c %s "$input")" "$(ls "$CORVANE_PDF_DIR"/*.pdf | tail -1)"
done
awk 'NR == FNR { a = $1; next } { printf "20,000 rows take %.2f times as long as 5,000 rows\n", (a > 0 ? $1 / a : 0) }' \
  "$work/time-5000" "$work/time-20000"
