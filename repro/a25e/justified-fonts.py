#!/usr/bin/env python3
"""A justified paragraph of words alternately bold and plain: every line but the last should end
at the right margin (523.3 pt). The same with a zero-width joiner closing every run, which marks
every run for shaping (it draws nothing): if only the unshaped one ends short, the layout without
shaping is what leaves the room. Direct writer and Qt's engine. Exit 1 on a short line."""
import sys
sys.argv = sys.argv[:1]
from lib import *
from linebreaks import words, lines
bad = 0
for name, zwj in [('unshaped', ''), ('shaped', r'\u8205?')]:
    rtf = HEAD + r'\pard\qj ' + ' '.join(('{\\b %s%s}' if i % 2 else '{%s%s}') % (w, zwj) for i, w in enumerate(words)) + r'\par}'
    for path, env in [('direct', {}), ('qt', {'CORVANE_QT_TEXT_ONLY': '1'})]:
        pdf, out, s, kb = run(rtf, f'jf-{name}-{path}', env=env)
        ls = lines(pdf)
        short = [(i + 1, round(x[2], 1)) for i, x in enumerate(ls[:-1]) if abs(x[2] - 523.3) > 0.6]
        bad += bool(short)
        print(f'{name} {path}: {out.strip()}; {len(ls)} lines; lines ending short: {short[:8]}')
sys.exit(1 if bad else 0)
