#!/usr/bin/env python3
"""A zero-width space after a letter, in a face without a glyph for it (Times New Roman italic and
others), ties the letter's glyph to "letter + U+200B" in the font's ToUnicode map: every other use
of that letter in that face, anywhere in the document, then reads with a zero-width space after it
(text search for those words fails). Also a ZWSP before a space read as a space and itself, and
a ZWSP alone between two spaces in its own run lost.
Exit 1 when some case broke."""
import sys
from lib import *

CASES = [  # (RTF body, the text it holds)
    (r'{\i ne\u8203?two} {\i eleven seven}', 'ne\u200btwo eleven seven'),
    (r'{\i one\u8203?two three here}', 'one\u200btwo three here'),
    (r'{\b o}{\i ne\u8203?two} {\b t}{\i hree}', 'one\u200btwo three'),
    (r'{\i Tree\u8203?house} {\i see the green trees}', 'Tree\u200bhouse see the green trees'),
    (r'\f1 {\i ne\u8203?two} {\i eleven seven}', 'ne\u200btwo eleven seven'),
    (r'\f2 {\i ne\u8203?two} {\i eleven seven}', 'ne\u200btwo eleven seven'),
    (r'\f8 {\b ne\u8203?two} {\b eleven seven}', 'ne\u200btwo eleven seven'),
    (r'{\i Sa\u8203?y} {\i a banana and a pear}', 'Sa\u200by a banana and a pear'),
    (r'{\b x}\u8203? y', 'x\u200b y'),
    (r'{\i e\u8204?x} {\i eleven}', 'e\u200cx eleven'),
    (r'{\i e\u8205?x} {\i eleven}', 'e\u200dx eleven'),
    (r'{\i e\u8288?x} {\i eleven}', 'e\u2060x eleven'),
    (r'{\b a}{\i } {\b \u8203?}{\i } {\b b}', 'a \u200b b'),  # a ZWSP alone between spaces: lost
]
bad = 0
for i, (body, want) in enumerate(CASES):
    pdf, out, _, _ = run(head() + r'\pard ' + body + r'\par}', f'zwmap-{i}')
    got = clean(text(pdf, raw=True))
    good = got == want and 'PrintComplete' in out
    bad += not good
    print('ok  ' if good else 'FAIL', body, '->', repr(got), '' if good else f'want {want!r} ({out.strip()})')
print(f'held {len(CASES) - bad}, broke {bad}')
sys.exit(1 if bad else 0)
