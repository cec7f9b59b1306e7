#!/usr/bin/env python3
"""Variation selectors (U+FE0E text style, U+FE0F emoji style) after a character: the text layer
must read them as written (the README: "a variation selector belongs to the character before it,
which is written"). Direct writer, body of a left-aligned paragraph. Exit 1 when some case broke."""
import sys
from lib import *

CASES = ['heart \u2764\ufe0f end', 'keycap 1\ufe0f\u20e3 end', 'smile \u263a\ufe0f end', 'smile \u263a\ufe0e end',
         'check \u2714\ufe0f end', 'sign \u26a0\ufe0f end', 'digit 1\ufe0f end', 'cjk \u845b\U000e0100 end']
bad = 0
for i, s in enumerate(CASES):
    pdf, out, _, _ = run(head() + r'\pard ' + u(s) + r'\par}', f'vs-{i}')
    got = clean(text(pdf, raw=True))
    good = got == s and 'PrintComplete' in out
    bad += not good
    print('ok  ' if good else 'FAIL', repr(s), '->', repr(got), '' if good else
          '(in ' + ' '.join('%04X' % ord(c) for c in s) + ' / out ' + ' '.join('%04X' % ord(c) for c in got) + ')')
print(f'held {len(CASES) - bad}, broke {bad}')
sys.exit(1 if bad else 0)
