#!/bin/bash
# Time and peak memory of landscape pages on "Corvane PDF": N pages of one line each (a \page
# after each), and flowing text of W words on landscape pages, against the same in portrait.
# Each doubling of the landscape pages should about double the time, as it does in portrait.
# Needs the environment of a test run; CORVANE names the tool.
C=${CORVANE:-corvane}; OUT=${OUT:-/tmp/landscape-pages-time}
rm -rf "$OUT"; mkdir -p "$OUT"
run() { # run NAME: prints the PDF of $OUT/NAME.rtf and reports its time, memory and pages
  mkdir -p "$OUT/$1"
  CORVANE_PDF_DIR=$OUT/$1 /usr/bin/time -f '%e s %M KB' -o "$OUT/$1.time" timeout 600 "$C" SetPrinter "Corvane PDF" -- PrintRTFFile "$OUT/$1.rtf" >/dev/null 2>&1
  echo "$1: $(tail -1 "$OUT/$1.time") pages=$(pdfinfo "$OUT/$1"/*.pdf 2>/dev/null | awk '/^Pages/{print $2}') words=$(pdftotext "$OUT/$1"/*.pdf - 2>/dev/null | wc -w)"
}
for n in 1000 2000 4000; do
  for o in portrait landscape; do
    python3 -c "
import sys
n, o = int(sys.argv[1]), sys.argv[2]
s = r'{\rtf1\ansi\deff0{\fonttbl{\f0 Times New Roman;}}\f0\fs24\sectd' + (r'\lndscpsxn ' if o == 'landscape' else ' ')
open(sys.argv[3], 'w').write(s + ''.join(r'\pard z%05d\par\page ' % i for i in range(n)) + '}')" $n $o "$OUT/$o$n.rtf"
    run $o$n
  done
done
for w in 125000 250000; do
  for o in portrait landscape; do
    python3 -c "
import sys
n, o = int(sys.argv[1]), sys.argv[2]
out = [r'{\rtf1\ansi\deff0{\fonttbl{\f0 Times New Roman;}}\f0\fs20\sectd' + (r'\lndscpsxn ' if o == 'landscape' else ' ')]
for p in range(0, n, 40):
    out.append(r'\pard ' + ' '.join(f'w{i:07d}' for i in range(p, min(n, p + 40))) + r'\par' + '\n')
open(sys.argv[3], 'w').write(''.join(out) + '}')" $w $o "$OUT/flow$o$w.rtf"
    run flow$o$w
  done
done
