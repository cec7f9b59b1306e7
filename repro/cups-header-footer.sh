#!/bin/bash
# A header and a footer (\headery and \footery not named: 720 twips, half an inch, from the
# sheet's edges) printed on "Corvane PDF" and on the CUPS queue $QUEUE (device file $QUEUE_PDF)
# whose PPD gives A4 a printable area of "18 36 577 806" (the generic PDF printer's). On the
# built-in printer the header's box starts 36 pt down and the footer's ends 36 pt above the
# bottom (806 pt); on the queue both move inwards by the printable area's margins: the header
# lands on the first body line (72 pt) and the footer 36 pt higher (770 pt).
# Needs the environment of a test run; CORVANE names the tool.
C=${CORVANE:-corvane}; OUT=${OUT:-/tmp/cups-header-footer}
rm -rf "$OUT"; mkdir -p "$OUT/pdf"
printf '%s' '{\rtf1\ansi\deff0{\fonttbl{\f0 Times New Roman;}}\f0\fs24 {\header\pard Hd\par}{\footer\pard Ft\par}\pard body text\par}' >"$OUT/doc.rtf"
show() { pdftotext -bbox "$1" - | awk -F'"' '/<word/{printf "%s top=%.1f bottom=%.1f  ", substr($9, 2, index($9, "<") - 2), $4, $8} END{print ""}'; }
CORVANE_PDF_DIR=$OUT/pdf "$C" SetPrinter "Corvane PDF" -- PrintRTFFile "$OUT/doc.rtf" 2>/dev/null
echo "Corvane PDF: $(show "$(ls "$OUT"/pdf/*.pdf)")"
rm -f "$QUEUE_PDF"
"$C" SetPrinter "$QUEUE" -- PrintRTFFile "$OUT/doc.rtf" 2>/dev/null
for t in $(seq 60); do [ -s "$QUEUE_PDF" ] && break; sleep 1; done; sleep 2
echo "$QUEUE: $(show "$QUEUE_PDF")"
