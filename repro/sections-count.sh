#!/bin/bash
# Prints sections-columns-landscape.rtf (a header "Hd PAGE of NUMPAGES" and a footer "Ft"; two
# portrait pages; two landscape pages in two columns; a portrait page in three columns with a
# table and a footnote; every \column inside its paragraph) with 1 to 3 copies on "Corvane PDF"
# (the direct writer, and Qt's engine with CORVANE_QT_TEXT_ONLY=1) and on the CUPS queue named
# in $QUEUE (whose device file is $QUEUE_PDF), then checks each PDF: 5 pages a copy, the 3rd
# and 4th landscape (842x595) on the direct writer, the words of each page exactly those
# expected, in each copy.
# Needs the environment of a test run; CORVANE names the tool.
here=$(cd "$(dirname "$0")" && pwd); C=${CORVANE:-corvane}; OUT=${OUT:-/tmp/sections-count}
pages=(
"Hd 1 of 5 s1a alpha beta Ft"
"Hd 2 of 5 s1b gamma Ft"
"Hd 3 of 5 s2a delta s2b eps Ft"
"Hd 4 of 5 s2c zeta s2d eta Ft"
"Hd 5 of 5 t11 t12 t21 t22 s3a theta s3b iota1 1 fnone kappa s3c lambda Ft")
sorted() { tr -s ' \n\f' '\n\n\n' | grep . | sort | tr '\n' ' '; }
check() { # check LABEL PDF COPIES LANDSCAPE-BOXES
  local label=$1 p=$2 copies=$3 n fail=0
  n=$(pdfinfo "$p" 2>/dev/null | awk '/^Pages/{print $2}')
  [ "$n" == $((5 * copies)) ] || { echo "$label: FAIL $n pages, expected $((5 * copies))"; fail=1; }
  for ((i = 1; i <= ${n:-0} && i <= 15; i++)); do
    want=$(echo "${pages[(i - 1) % 5]}" | sorted); got=$(pdftotext -f $i -l $i "$p" - | sorted)
    [ "$want" == "$got" ] || { echo "$label: FAIL page $i: [$got] expected [$want]"; fail=1; }
    if [ "$4" == yes ]; then
      size=$(pdfinfo -f $i -l $i "$p" | awk '/^Page.*size:/{print $4"x"$6}'); exp=595x842
      [ $(((i - 1) % 5)) == 2 ] || [ $(((i - 1) % 5)) == 3 ] && exp=842x595
      [ "$size" == $exp ] || { echo "$label: FAIL page $i is $size, expected $exp"; fail=1; }
    fi
  done
  "$here/pdf-geometry.py" "$p" >/dev/null || { echo "$label: FAIL geometry: $("$here/pdf-geometry.py" "$p" | head -3)"; fail=1; }
  [ $fail == 0 ] && echo "$label: ok ($n pages)"
  return 0
}
for copies in 1 2 3; do
  for engine in direct qt; do
    d=$OUT/$engine$copies; rm -rf "$d"; mkdir -p "$d"
    if [ $engine == qt ]; then export CORVANE_QT_TEXT_ONLY=1; else unset CORVANE_QT_TEXT_ONLY; fi
    CORVANE_PDF_DIR=$d "$C" SetPrinter "Corvane PDF" -- PrintRTFFile "$here/sections-columns-landscape.rtf" \
      1440 1440 1440 1440 spOrientationPortrait spPaperA4 spPaperBinAuto spQualityMedium $copies 2>/dev/null
    check "Corvane PDF $engine copies=$copies" "$(ls "$d"/*.pdf | head -1)" $copies $([ $engine == direct ] && echo yes)
  done
  unset CORVANE_QT_TEXT_ONLY
  if [ -n "$QUEUE" ]; then
    rm -f "$QUEUE_PDF"
    "$C" SetPrinter "$QUEUE" -- PrintRTFFile "$here/sections-columns-landscape.rtf" \
      1440 1440 1440 1440 spOrientationPortrait spPaperA4 spPaperBinAuto spQualityMedium $copies 2>/dev/null
    for t in $(seq 60); do [ -s "$QUEUE_PDF" ] && break; sleep 1; done; sleep 2
    check "$QUEUE copies=$copies" "$QUEUE_PDF" $copies no
  fi
done
