#!/usr/bin/env python3
"""A tall header on the first page only (\\titlepg, 10 lines) or on left pages only (\\facingp,
10 lines), one line on the others, 1-inch margins, \\headery720: a page whose own header fits
above the margin keeps its text at the margin, 72 pt (LibreOffice: 71.8); a page with the tall
header has its text below it (LibreOffice: 173.8). Prints every page's text top for the direct
writer, Qt's engine and the bordered queue; exit status 1 on a page more than 2 pt off."""
import sys
from lib import *
from headers import CASES, tops
# page -> the text top expected (LibreOffice's, in points)
WANT = {'titlepg': {1: 173.8, 2: 71.8, 3: 71.8}, 'facingp': {1: 71.8, 2: 173.8, 3: 71.8, 4: 173.8}}
bad = 0
for name in WANT:
    for path, printer, env in [('direct', 'Corvane PDF', {}), ('qt', 'Corvane PDF', {'CORVANE_QT_TEXT_ONLY': '1'}),
                               ('queue', os.environ['QUEUE'], {})]:
        pdf, out, s, kb = run(CASES[name], f'fph-{name}-{path}', printer=printer, env=env)
        got = {i + 1: t[0] for i, t in enumerate(tops(pdf))}
        off = {p: got.get(p) for p, w in WANT[name].items() if got.get(p) is None or abs(got[p] - w) > 2}
        bad += bool(off)
        print(f'{name} {path}: {out.strip()}; text tops {got}; ' + (f'off (want {WANT[name]}): {off}' if off else 'as expected'))
sys.exit(1 if bad else 0)
