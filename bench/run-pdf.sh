#!/usr/bin/env bash
# PrintPDFFile's peak memory against the size of the PDF handed over: the file is streamed to
# the built-in printer's folder, so the peak stays the same from 8 MB to 512 MB.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh time
scripts/build.sh

work=$(mktemp -d /tmp/corvane-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export CORVANE_PDF_DIR="$work/pdf" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=offscreen
mkdir -p "$CORVANE_PDF_DIR"

echo "|  PDF MiB | s per job | peak MiB |"
echo "|----------|-----------|----------|"
for mib in 8 64 512; do
  # A PDF header and mebibyte-long comment lines: all the shell route looks at is the header.
  { printf '%%PDF-1.4\n'; head -c $((mib * 1024 * 1024)) /dev/zero | tr '\0' 'x' | fold -w 1048575 | sed 's/^/%/'; printf '%%%%EOF\n'; } > "$work/in.pdf"
  /usr/bin/time -f '%e %M' -o "$work/time" build/bin/corvane PrintPDFFile "$work/in.pdf" 2>/dev/null
  read -r secs kb < "$work/time"
  printf "| %8d | %9s | %8.1f |\n" "$mib" "$secs" "$(echo "$kb / 1024" | bc -l)"
  rm -f "$CORVANE_PDF_DIR"/*.pdf
done
