#!/usr/bin/env python3
"""A justified paragraph (linebreaks.py's words) whose words alternate bold, italic and plain, and one
whose single run holds a combining accent (so the whole run is shaped): every line but the last
must end at the right margin, 523.3 pt (pdftotext -bbox, within 0.6 pt), on the direct writer and
on Qt's engine. Exit status 1 when a line ends short."""
import sys
sys.argv = sys.argv[:1]
from lib import *
from linebreaks import CASES, lines
bad = 0
for name in ['mixed-runs', 'with-accents', 'justified']:
    for path, env in [('direct', {}), ('qt', {'CORVANE_QT_TEXT_ONLY': '1'})]:
        pdf, out, s, kb = run(HEAD + CASES[name] + '}', f'jr-{name}-{path}', env=env)
        ls = lines(pdf)
        short = [(i + 1, round(x[2], 1), x[0][:12]) for i, x in enumerate(ls[:-1]) if abs(x[2] - 523.3) > 0.6]
        bad += bool(short)
        print(f'{name} {path}: {out.strip()}; {len(ls)} lines; ends off the margin: {short[:8]}')
sys.exit(1 if bad else 0)
