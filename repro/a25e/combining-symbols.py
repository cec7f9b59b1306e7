#!/usr/bin/env python3
"""Combining marks for symbols (U+20D0-20FF: an arrow over v, a keycap, an enclosing circle) on the
direct writer, Qt's engine and LibreOffice: a mark sits on its letter, taking no room of its own,
so "v\u20d7" is as wide as "v" (6.0 pt in Times New Roman 12 pt); pictures of the three in
$A/cs-*.png. Exit status 1 when the word is wider than its letter."""
import sys
from lib import *
rtf = HEAD + u('vector v\u20d7 keycap 1\u20e3 circle A\u20dd end') + r'\par}'
bad = 0
for name, env in [('direct', {}), ('qt', {'CORVANE_QT_TEXT_ONLY': '1'}), ('lo', None)]:
    pdf = lo_pdf(rtf, 'cs') if env is None else run(rtf, 'cs-' + name, env=env)[0]
    ws = pages(pdf)[0][2]
    v = [w for w in ws if w[0].startswith('v\u20d7')]
    width = v[0][3] - v[0][1] if v else -1
    print(f'{name}: "v\u20d7" {width:.1f} pt wide; words {[w[0] for w in ws]}')
    subprocess.run(['pdftoppm', '-r', '200', '-f', '1', '-l', '1', '-x', '190', '-y', '190', '-W', '700', '-H', '70',
                    '-png', pdf, os.environ['A'] + '/cs-' + name])
    if name != 'lo' and abs(width - 6.0) > 0.5:
        bad += 1
sys.exit(1 if bad else 0)
