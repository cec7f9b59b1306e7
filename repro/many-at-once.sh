#!/bin/bash
# Eight corvane processes print eight different RTF documents (three columns, some 100 pages
# each, every word of document k "kN_MMMMMM") into one folder at once; then each PDF must hold
# exactly the words of one document, in order, and every document must be there once.
# Needs the environment of a test run; CORVANE names the tool.
C=${CORVANE:-corvane}; OUT=${OUT:-/tmp/many-at-once}; N=${WORDS:-50000}
rm -rf "$OUT"; mkdir -p "$OUT/pdf"
for k in 1 2 3 4 5 6 7 8; do
  python3 - "$OUT/doc$k.rtf" $k $N <<'PY'
import sys
path, k, n = sys.argv[1], sys.argv[2], int(sys.argv[3])
out = [r'{\rtf1\ansi\deff0{\fonttbl{\f0 Times New Roman;}}\f0\fs20\sectd\cols3\colsx360 ']
for p in range(0, n, 50):
    out.append(r'\pard ' + ' '.join(f'k{k}_{i:06d}' for i in range(p, min(n, p + 50))) + r'\par' + '\n')
open(path, 'w').write(''.join(out) + '}')
PY
done
for k in 1 2 3 4 5 6 7 8; do
  CORVANE_PDF_DIR=$OUT/pdf "$C" SetPrinter "Corvane PDF" -- PrintRTFFile "$OUT/doc$k.rtf" >"$OUT/log$k" 2>&1 &
done
wait
grep -L PrintComplete "$OUT"/log* | sed 's/^/no PrintComplete: /'
python3 - "$OUT" $N <<'PY'
import glob, subprocess, sys
out, n = sys.argv[1], int(sys.argv[2])
seen = {}
for pdf in sorted(glob.glob(out + '/pdf/*.pdf')):
    words = subprocess.run(['pdftotext', pdf, '-'], capture_output=True, text=True).stdout.split()
    k = words[0].split('_')[0] if words else '?'
    want = [f'{k}_{i:06d}' for i in range(n)]
    seen[k] = seen.get(k, 0) + 1
    print(pdf.rsplit('/', 1)[1], k, len(words), 'words', 'ok' if words == want else 'WRONG')
print('documents', sorted(seen), 'each once' if len(seen) == 8 and set(seen.values()) == {1} else 'NOT each once')
PY
