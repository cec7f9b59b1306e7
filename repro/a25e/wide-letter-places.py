#!/usr/bin/env python3
"""A letter wider than the column (W at 500 pt) in a section of two columns, in a paragraph (refused
with PrintError 482 "a line of the document is wider than its column"), in a table cell and in a
footnote: either refused the same way or kept whole on the page without running over the other
column's words. Prints result and the W's box against the column (72-279.65 pt) and overlaps."""
from lib import *
from columns import filler, row
S = r'\sectd\cols2\colsx720 '
W = r'{\fs1000 W}'
cases = {
    'paragraph': S + filler('A', 2) + r'\pard ' + W + r'\par ' + ''.join(r'\pard B%02d words words\par ' % i for i in range(120)),
    'cell': S + filler('A', 2) + row([W, 'Cb1'], 4000) + ''.join(r'\pard B%02d words words\par ' % i for i in range(120)),
    'footnote': S + filler('A', 2) + r'\pard A99{\super\chftn}{\footnote\pard{\super\chftn} ' + W + r'\par}\par ' + ''.join(r'\pard B%02d words words\par ' % i for i in range(120)),
}
for name, body in cases.items():
    pdf, out, s, kb = run(HEAD + body + '}', 'wl-' + name)
    res = out.strip().splitlines()[-1]
    if not pdf:
        print(f'{name}: {res}')
        continue
    pg = pages(pdf)
    w = [x for p in pg for x in p[2] if x[0] == 'W']
    print(f'{name}: {res}; W at {[(round(x[1]), round(x[3]), round(x[2]), round(x[4])) for x in w]}; '
          f'inside the page: {all(x[3] <= 595 for x in w)}; overlaps {geometry_faults(pg)[:3]}')
