#!/bin/bash
# PrintText and PrintTextFile of mixed scripts (Latin with ligature pairs, Greek, Cyrillic, Arabic,
# Hebrew, CJK, combining accents) in Calibri 11 and Courier New 10 on "Corvane PDF": result and
# pdftotext of each PDF, to set beside the input. (source env.sh first)
set -u
D=$A/printtext; rm -rf "$D"; mkdir -p "$D/pdf"
T='office fluffy Ελληνικά Кириллица مرحبا بالعالم שלום 中文 café'
printf '%s\n' "$T" > "$D/in.txt"
for font in "Calibri,11,0,0,0" "Courier New,10,1,1,0"; do
  CORVANE_PDF_DIR=$D/pdf $CORVANE SetPrinter "Corvane PDF" -- PrintText "$T" "$font" 2>&1 | tr '\n' ' '
  CORVANE_PDF_DIR=$D/pdf $CORVANE SetPrinter "Corvane PDF" -- PrintTextFile "$D/in.txt" "$font" 2>&1 | tr '\n' ' '
done
echo
echo "input: $T"
for f in "$D"/pdf/*.pdf; do echo "$(basename "$f"): $(pdftotext "$f" - | tr -d '\f\n' | sed 's/\xe2\x80[\xab\xac]//g')"; done
