#!/bin/bash
# Time, peak memory, pages and words of the benchmark document at 5 MB and 50 MB on "Corvane PDF".
# Usage: bench.sh   (source env.sh first)
set -u
cd "$A" || exit 1
for size in 5000000 50000000; do
  /work/main/build/bin/generate_rtf $size > bench-$size.rtf
  rm -rf bench-$size; mkdir -p bench-$size
  CORVANE_PDF_DIR=$A/bench-$size /usr/bin/time -f "%e s %M kB" timeout 900 $CORVANE SetPrinter "Corvane PDF" -- PrintRTFFile $A/bench-$size.rtf 2>&1 | tail -2
  f=$(ls bench-$size/*.pdf); echo "$size bytes: $(pdfinfo "$f" | grep Pages) words $(pdftotext "$f" - | wc -w)"
done
