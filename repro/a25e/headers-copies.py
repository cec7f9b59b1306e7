#!/usr/bin/env python3
"""The tall-header document (headers.py's 'tall-header': 120 body lines under an 8-line header,
44 lines a page, so 3 pages) with 1-3 copies on the direct writer, Qt's engine and the bordered
queue: 3 pages a copy, every body line once per copy, every header line once per page, text
top 148 pt on every page. Exit status 1 on a difference."""
import sys
from collections import Counter
from lib import *
from headers import CASES, tops
bad = 0
for path, printer, env in [('direct', 'Corvane PDF', {}), ('qt', 'Corvane PDF', {'CORVANE_QT_TEXT_ONLY': '1'}),
                           ('queue', os.environ['QUEUE'], {})]:
    for copies in (1, 2, 3):
        pdf, out, s, kb = run(CASES['tall-header'], f'hc-{path}-{copies}', printer=printer, env=env, copies=copies)
        pg = pages(pdf)
        c = Counter(w[0] for p in pg for w in p[2])
        faults = []
        if len(pg) != 3 * copies:
            faults.append(f'{len(pg)} pages, {3 * copies} expected')
        faults += [f'L{i:03d} x{c["L%03d" % i]}' for i in range(1, 121) if c['L%03d' % i] != copies][:3]
        faults += [f'Hx{i} x{c["Hx%d" % i]}' for i in range(1, 9) if c['Hx%d' % i] != 3 * copies][:3]
        faults += [f'page {n + 1} top {t[0]}' for n, t in enumerate(tops(pdf)) if t[0] != 148.0][:3]
        bad += bool(faults)
        print(f'{path} x{copies}: {out.strip()}; ' + ('; '.join(faults) if faults else 'as expected'))
sys.exit(1 if bad else 0)
