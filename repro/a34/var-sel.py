#!/usr/bin/env python3
"""Variation selectors, tags and joiners at the start of text items on the direct writer: after
spaces, after format changes, in justified lines that wrap, in a second cell, emoji sequences,
keycaps, the flag of England, several selectors in a row, a selector alone in a paragraph, a
selector as the document's first character. pdftotext's default output (U+202A-202E removed,
white space made single) must equal the words put in, each selector in its place; the job says
PrintComplete; words are inked and inside the page. Usage: selectors.py [CASE...] [PLACE...]"""
import sys, os
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lib import *
from judge import *

PAD = 'The quick brown fox jumps over the lazy dog'
IVS = '\U000E0100'
ENGLAND = '\U0001F3F4\U000E0067\U000E0062\U000E0065\U000E006E\U000E0067\U000E007F'
CASES = {
    'ivs-space': 'see 漢' + IVS + ' 字 end',
    'ivs-two': 'see 漢' + IVS + ' 字' + IVS + ' end',
    'ivs-end': 'see 漢' + IVS,
    'fe0f-emoji': 'like 👍\ufe0f and ❤\ufe0f end',
    'fe0e-text': 'like ❤\ufe0e and ☺\ufe0e end',
    'zwj-family': 'family 👨\u200d👩\u200d👧 end',
    'keycap': 'keys 1\ufe0f\u20e3 #\ufe0f\u20e3 end',
    'digit-vs': 'digits 2\ufe0e 3\ufe0f end',
    'england': 'flag ' + ENGLAND + ' end',
    'several': 'many a\ufe0f\ufe0e' + IVS + ' end',
    'sel-after-space': 'loose \ufe0fword end',
    'zwj-after-space': 'loose \u200dword end',
    'ivs-after-space': 'loose ' + IVS + '字 end',
    'alone': '\ufe0f',
    'alone-ivs': IVS,
    'tags-alone': '\U000E0067\U000E0062\U000E007F',
    'zwnj-fa': 'کتاب\u200cها end',
}
PLACES = ['body', 'first', 'bold-before', 'bold-sel', 'justify', 'cell2', 'header', 'rtl-before']


def boldpre(s):
    """The character just before each selector/joiner/tag set bold: the selector begins a new item."""
    out, i = [], 0
    sel = lambda c: c in '\ufe0e\ufe0f\u200d\u200c\u20e3' or 0xE0000 <= ord(c) <= 0xE01EF
    while i < len(s):
        if i + 1 < len(s) and sel(s[i + 1]) and not sel(s[i]):
            out.append('{\\b ' + u(s[i]) + '}')
        else:
            out.append(u(s[i]))
        i += 1
    return ''.join(out)


def boldsel(s):
    sel = lambda c: c in '\ufe0e\ufe0f\u200d\u200c\u20e3' or 0xE0000 <= ord(c) <= 0xE01EF
    return ''.join(('{\\i ' + u(c) + '}') if sel(c) else u(c) for c in s)


def doc(place, s):
    h = head()
    t = u(s)
    if place == 'first':
        return h + r'\pard ' + t + r'\par\pard ' + u(PAD) + r'\par}'
    if place == 'body':
        return h + r'\pard ' + u(PAD) + r'\par\pard ' + t + r'\par}'
    if place == 'bold-before':
        return h + r'\pard ' + u(PAD) + r'\par\pard ' + boldpre(s) + r'\par}'
    if place == 'bold-sel':
        return h + r'\pard ' + u(PAD) + r'\par\pard ' + boldsel(s) + r'\par}'
    if place == 'justify':
        return h + r'\pard ' + u(PAD) + r'\par\pard\qj\ri7000 ' + ' '.join([t] * 5) + r'\par}'
    if place == 'cell2':
        return h + r'\pard ' + u(PAD) + r'\par\trowd\trgaph54\cellx4500\cellx9000\pard\intbl\qr left\cell\pard\intbl ' + t + r'\cell\row\pard\par}'
    if place == 'header':
        return h + r'{\header\pard ' + t + r'\par}\pard ' + u(PAD) + r'\par}'
    if place == 'rtl-before':
        return h + r'\pard ' + u(PAD) + r'\par\pard \u1513?\u1500?\u1493?\u1501? ' + t + r'\par}'


def want(place, s):
    if place == 'first':
        return s + ' ' + PAD
    if place == 'header':
        return s + ' ' + PAD
    if place == 'justify':
        return PAD + ' ' + ' '.join([s] * 5)
    if place == 'cell2':
        return PAD + ' left ' + s
    if place == 'rtl-before':
        return PAD + ' שלום ' + s
    return PAD + ' ' + s


def main():
    args = sys.argv[1:]
    names = [a for a in args if a in CASES] or list(CASES)
    places = [a for a in args if a in PLACES] or PLACES
    bad = 0
    counts = {'exact': 0, 'ws': 0, 'canon': 0, 'order': 0, 'wrong': 0}
    for name in names:
        for place in places:
            s = CASES[name]
            pdf, out, secs, kb = run(doc(place, s), f'sel-{name}-{place}', timeout=120)
            faults = []
            if 'PrintComplete' not in out or 'PrintError' in out:
                faults.append('tool: ' + out.strip().replace('\n', ' | '))
            if not pdf:
                faults.append('no pdf')
            else:
                got, w = clean(text(pdf)), clean(want(place, s))
                v = compare(got, w)
                counts[v] += 1
                if v not in ('exact', 'canon'):
                    faults.append(f'got {cps(got[-40:])} want {cps(w[-40:])} ({got[-40:]!r})')
                il = inkless_words(pdf)
                il = [x for x in il if any(ord(c) > 0x2000 and not (0xE0000 <= ord(c) <= 0xE01EF) for c in x[1]) or x[1].isalnum()]
                if il:
                    faults.append(f'no ink {il[:3]}')
                o = outside(pdf)
                if o:
                    faults.append(f'outside {o[:2]}')
            tag = f'{name:16} {place:11}'
            if faults:
                bad += 1
                print('FAIL', tag, '; '.join(faults)[:700])
            else:
                print('ok  ', tag)
            sys.stdout.flush()
    print(f'jobs {len(names) * len(places)}: broke {bad}; text {counts}')
    sys.exit(1 if bad else 0)


main()
