#!/usr/bin/env python3
"""Right-to-left words that pdftotext (default mode) reads backwards or with a mark moved, on the
direct writer, in the body of a left-aligned paragraph:
 - an item that falls back to one ActualText span (a glyph already tied to other characters: the
   lam-alef glyph after U+FEFB, alef+hamza after U+0623; or Hebrew whose points the font sets as
   one glyph) gets its characters in logical order, where the writer's own right-to-left spans and
   poppler want them right to left: the words read reversed letter by letter;
 - a word whose last letter has a mark, in a left-to-right line: its span begins with that mark
   (a character of no direction), which poppler reads first: 'ِ بِسْم' for 'بِسْمِ'.
The same happens to an item with boxes for characters no font has (Syriac, or an emoji in a Hebrew
sentence): all of its right-to-left words read backwards.
Each case: the input, what default mode reads; exit 1 when some case reads otherwise than input."""
import sys, unicodedata
from lib import *

CASES = [
    '\ufefb لا',                          # the same glyph in two meanings
    '\u0623 \u0627\u0654',                 # precomposed and decomposed alef with hamza
    'שָׁלוֹם אֱלֹהִים',                      # each word alone reads right
    'בְּרֵאשִׁית בָּרָא אֱלֹהִים',              # Genesis 1:1
    'Say بِسْمِ now',                      # final kasra in an LTR line
    'The word مُحَمَّدٌ here',               # final tanwin in an LTR line
    'שָׁלוֹם',                              # control: reads right
    'אֱלֹהִים',                             # control: reads right
    'Say بِسْمِ',                          # final mark, word at the line's end
    'שלום 👍 עולם',                        # a character no font has in a Hebrew run: boxes mark the item
    'שלום 👍🏽 שלום',
    'ܫܠܡܐ ܥܠܡܐ',                          # Syriac: no font, right to left
    'שלום नमस्ते עולם',                    # Devanagari boxes between Hebrew words
]
bad = 0
for i, s in enumerate(CASES):
    pdf, out, _, _ = run(head() + r'\pard ' + u(s) + r'\par}', f'rtlread-{i}')
    got = clean(text(pdf))
    good = got == s and 'PrintComplete' in out and producer(pdf) == 'Corvane'
    bad += not good
    print('ok  ' if good else 'FAIL', repr(s), '->', repr(got), '' if good else
          '\n       in  ' + ' '.join('%04X' % ord(c) for c in s) + '\n       out ' + ' '.join('%04X' % ord(c) for c in got))
print(f'held {len(CASES) - bad}, broke {bad}')
sys.exit(1 if bad else 0)
