#!/bin/bash
# Prints each RTF given on "Corvane PDF" (one folder each under $OUT) with a 120 s bound and
# reports exit status, time, peak memory, pages, page sizes, the number of words extracted and
# whether poppler read the PDF without complaint.
# Needs the environment of a test run (CUPS_SERVER, HOME, XDG_*, QT_QPA_PLATFORM=offscreen).
C=${CORVANE:-corvane}; OUT=${OUT:-/tmp/hostile-sections}
for f in "$@"; do
  n=$(basename "$f" .rtf); d=$OUT/$n; rm -rf "$d"; mkdir -p "$d"
  CORVANE_PDF_DIR=$d /usr/bin/time -f '%e s %M KB' -o "$d.time" timeout 120 "$C" SetPrinter "Corvane PDF" -- PrintRTFFile "$f" >"$d.out" 2>&1
  rc=$?; p=$(ls "$d"/*.pdf 2>/dev/null | head -1)
  if [ -n "$p" ]; then
    pages=$(pdfinfo "$p" | awk '/^Pages/{print $2}')
    sizes=$(pdfinfo -f 1 -l "$pages" "$p" | awk '/^Page.*size:/{print $4"x"$6}' | sort | uniq -c | tr -s ' \n' ' ')
    nw=$(pdftotext "$p" - 2>"$d.err" | wc -w); pdfinfo "$p" >/dev/null 2>>"$d.err"
    chk=$([ -s "$d.err" ] && echo "errors" || echo ok)
  else pages=-; sizes=-; nw=-; chk=-; fi
  echo "$n rc=$rc $(cat "$d.time" | tail -1) pages=$pages sizes=[$sizes] words=$nw poppler=$chk $(grep -v PrintComplete "$d.out" | head -2 | tr '\n' ' ')"
done
