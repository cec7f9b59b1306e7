#!/usr/bin/env python3
"""Text the font lacks, in italic and bold italic (Arabic, Hebrew, CJK, Greek Extended, arrows) on
the direct writer and Qt's engine: the faces embedded and how much ink each word's box holds (a
glyph drawn blank or as the font's empty .notdef holds none). Exit status 1 when a word of the
input has no ink. Pictures: $A/itf-*.png."""
import sys
from lib import *
S = ['مرحبا', 'שלום', '中文', '⇄', 'ἀγαθός']
bad = 0
for style in ['', r'\i ', r'\b\i ']:
    for path, env in [('direct', {}), ('qt', {'CORVANE_QT_TEXT_ONLY': '1'})]:
        rtf = HEAD + r'\pard\fs48 ' + style + ' '.join('x%d %s' % (k, u(s)) for k, s in enumerate(S)) + r'\par}'
        tag = f'itf-{path}-{style.strip().replace(chr(92), "") or "plain"}'
        pdf, out, _, _ = run(rtf, tag, env=env)
        fonts = [l.split()[0] for l in subprocess.run(['pdffonts', pdf], capture_output=True, text=True).stdout.splitlines()[2:]]
        ws = pages(pdf)[0][2]
        blank = []
        for t, x0, y0, x1, y1 in ws:
            if t.startswith('x') or not t.strip():
                continue
            pts = [(int(x), int(y)) for x in range(int(x0) + 1, int(x1)) for y in range(int(y0) + 2, int(y1) - 1)]
            ink = sum(1 for g in dark(pdf, 1, pts) if g < 128)
            if ink == 0:
                blank.append(t)
        bad += bool(blank)
        print(f'{tag}: {out.strip()}; faces {fonts}; words with no ink: {blank}')
        subprocess.run(['pdftoppm', '-r', '72', '-f', '1', '-l', '1', '-W', '595', '-H', '140', '-png', pdf, os.environ['A'] + '/' + tag])
sys.exit(1 if bad else 0)
