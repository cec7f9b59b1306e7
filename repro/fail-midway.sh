#!/bin/bash
# A 3-column RTF of some 1000 pages printed on "Corvane PDF" (a) with the file size limited to
# 256 KB (ulimit -f 256): the job must end in PrintError 61 and leave no PDF; (b) into a folder
# it cannot write: PrintError and no PDF; (c) 3 copies: three times every word, in order.
# Needs the environment of a test run; CORVANE names the tool. Run as a user the folder's mode
# binds (as root, (b) is skipped).
C=${CORVANE:-corvane}; OUT=${OUT:-/tmp/fail-midway}
rm -rf "$OUT"; mkdir -p "$OUT"
python3 - "$OUT/doc.rtf" <<'PY'
import sys
out = [r'{\rtf1\ansi\deff0{\fonttbl{\f0 Times New Roman;}}\f0\fs20\sectd\cols3\colsx360 ']
for p in range(0, 500000, 50):
    out.append(r'\pard ' + ' '.join(f'w{i:06d}' for i in range(p, p + 50)) + r'\par' + '\n')
open(sys.argv[1], 'w').write(''.join(out) + '}')
PY
mkdir -p "$OUT/a"
(ulimit -f 256; CORVANE_PDF_DIR=$OUT/a "$C" SetPrinter "Corvane PDF" -- PrintRTFFile "$OUT/doc.rtf" >"$OUT/a.log" 2>&1); echo "(a) rc=$? $(tr '\n' ' ' <"$OUT/a.log") files: $(ls -A "$OUT/a" | tr '\n' ' ')"
if [ "$(id -u)" != 0 ]; then
  mkdir -p "$OUT/b"; chmod 555 "$OUT/b"
  CORVANE_PDF_DIR=$OUT/b "$C" SetPrinter "Corvane PDF" -- PrintRTFFile "$OUT/doc.rtf" >"$OUT/b.log" 2>&1; echo "(b) rc=$? $(tr '\n' ' ' <"$OUT/b.log") files: $(ls -A "$OUT/b" | tr '\n' ' ')"
fi
mkdir -p "$OUT/c"
/usr/bin/time -f '%e s %M KB' -o "$OUT/c.time" env CORVANE_PDF_DIR=$OUT/c "$C" SetPrinter "Corvane PDF" -- PrintRTFFile "$OUT/doc.rtf" \
  1440 1440 1440 1440 spOrientationPortrait spPaperA4 spPaperBinAuto spQualityMedium 3 >"$OUT/c.log" 2>&1
p=$(ls "$OUT"/c/*.pdf); echo "(c) rc=$? $(tr '\n' ' ' <"$OUT/c.log") $(cat "$OUT/c.time") pages=$(pdfinfo "$p" | awk '/^Pages/{print $2}')"
pdftotext "$p" - | python3 -c "
import sys
w = sys.stdin.read().split(); want = [f'w{i:06d}' for i in range(500000)] * 3
print('(c) words', len(w), 'three copies in order' if w == want else 'WRONG')"
