#!/usr/bin/env python3
"""Symbol and Wingdings text (letters standing for symbols) in body, cell, header and a justified
line, on the direct writer and Qt's engine: the text layer says the symbols ('abgdp' in Symbol
reads 'αβγδπ'; Wingdings 'J' reads as its face). Prints the text layer; exit 1 when the Symbol
letters do not read αβγδπ."""
import sys
from lib import *
bad = 0
for place in ['body', 'cell', 'header', 'justified']:
    inner = r'Sym {\f2 abgdp} Wd {\f3 JKL} end'
    rtf = HEAD + {'body': r'\pard ' + inner + r'\par',
                  'cell': r'\trowd\cellx4000\pard\intbl ' + inner + r'\cell\row\pard Body\par',
                  'header': r'{\header\pard ' + inner + r'\par}\pard Body\par',
                  'justified': r'\pard\qj ' + 'filler words to fill the line ' * 6 + inner + ' more filler words to wrap the line again' * 3 + r'\par'}[place] + '}'
    for path, env in [('direct', {}), ('qt', {'CORVANE_QT_TEXT_ONLY': '1'})]:
        pdf, out, _, _ = run(rtf, f'sym-{place}-{path}', env=env)
        t = norm(text(pdf))
        ok = 'αβγδπ' in t
        bad += not ok
        m = re.search(r'Sym (.*?) end', t)
        print(f'{place} {path}: {out.strip()} text: {m.group(0) if m else t[:80]!r}')
sys.exit(1 if bad else 0)
