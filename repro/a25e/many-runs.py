#!/usr/bin/env python3
"""Documents of many runs, alternately bold Latin and plain Arabic (every Arabic run marked for
shaping before the layout), against the same with plain Latin in place of the Arabic: time, peak
memory, pages at K and 4K paragraphs. Usage: many-runs.py K"""
import sys
from lib import *
k = int(sys.argv[1]) if len(sys.argv) > 1 else 2000
ar = u('مرحبا بالعالم')
for n in (k, 4 * k):
    for kind, other in [('arabic', ar), ('latin', 'hello world')]:
        para = ' '.join(r'{\b w%d} %s' % (j, other) for j in range(10))
        rtf = HEAD + ''.join(r'\pard P%d %s\par ' % (i, para) for i in range(n)) + '}'
        pdf, out, s, kb = run(rtf, f'runs-{kind}-{n}', timeout=600)
        print(f'{n} paragraphs {kind}: {len(rtf) // 1024} kB, {out.strip()[-40:]}, {s} s, {kb} kB peak, '
              f'{len(pages(pdf)) if pdf else 0} pages', flush=True)
