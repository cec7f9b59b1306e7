#!/usr/bin/env python3
"""A header line that holds a four-digit NUMPAGES but not a five-digit one (the room for headers is
measured with 8888), on a document of 10,001 pages (one short paragraph and a page break each),
with the header's distance set so that one header line just fits above the text: when the total
wraps to a second line, that line must not overlap the text. Prints page 1's header and first
body words, and geometry faults of the first pages."""
import sys
from lib import *

def header(n_i):
    return r'\headery1100{\header\pard\qj ' + 'i' * n_i + r' {\field{\*\fldinst NUMPAGES}{\fldrslt 1}}\par}'

# find the number of i's whose line just holds "8888"
best = None
for n_i in range(110, 140):
    rtf = HEAD + header(n_i) + r'\pard x\par}'
    pdf, out, s, kb = run(rtf, 'npw-probe')
    ws = pages(pdf)[0][2]
    hdr = [w for w in ws if w[2] < 72]
    lines = sorted({round(w[2]) for w in hdr})
    if len(lines) == 1 and 523.3 - 24 < max(w[3] for w in hdr) <= 523.3 - 18:  # '1' printed: 3 digits more fit, 4 do not
        best = n_i
        print('i count', n_i, 'header line ends at', round(max(w[3] for w in hdr), 1))
        break
if best is None:
    sys.exit('no width found')
pages_n = int(sys.argv[1]) if len(sys.argv) > 1 else 10001
rtf = HEAD + header(best) + r'\pard x1\par ' + r'\page x\par ' * (pages_n - 1) + '}'
pdf, out, s, kb = run(rtf, 'npw', timeout=900)
print(out.strip(), s, 's', kb, 'kB')
pg = pages(pdf)
print('pages', len(pg))
for n in (0, len(pg) - 1):
    ws = pg[n][2]
    print(f'page {n + 1}:', [(w[0][:12], round(w[2], 1), round(w[4], 1)) for w in ws[:5]])
print('geometry faults', geometry_faults(pg[:3] + pg[-3:])[:5])
