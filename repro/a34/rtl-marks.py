#!/usr/bin/env python3
"""Right-to-left words with marks in many neighbourhoods and places, on the direct writer.
pdftotext's default output (U+202A-202E removed, white space made single) must equal the words
put in; U+200F is allowed only at the logical end of a right-to-left run that ends in a mark (any
other counts as a fault); every word of the text layer has ink, nothing outside the page, the job
says PrintComplete. A padding paragraph of the paragraph's own direction comes first so that
poppler takes the page's direction from it. Usage: rtl-marks.py [CASE...] [PLACE...] [-v]
Prints one line per case and place; exit 1 when something broke."""
import sys, os
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lib import *
from judge import *

PAD_L = 'The quick brown fox jumps over the lazy dog and then keeps on running far away'
PAD_R = 'זהו משפט ארוך מאוד בעברית כדי שכיוון הדף יהיה מימין לשמאל בכל השורות שלו'
CASES = {
    'after-ltr': 'Read רוּחַ now',
    'two-mark-end': 'Read רוּחַ לְךָ now',
    'three': 'Read אַתְּ רוּחַ לְךָ now',
    'ar-two': 'Read كِتَابٌ مُحَمَّدٌ now',
    'ar-basmala': 'Read بِسْمِ اللَّهِ الرَّحْمَٰنِ now',
    'digits-before': 'Read 42 רוּחַ now',
    'digits-after': 'Read רוּחַ 42 now',
    'paren': 'Read (רוּחַ) now',
    'comma': 'Read רוּחַ, לְךָ. now',
    'quote-ar': 'Read "كِتَابٌ" now',
    'short-he': 'Read וּ יִ now',
    'lo': 'Read לוֹ now',
    'ish': 'Read אִישׁ now',
    'yi': 'Read יִ now',
    'nbsp': 'Read רוּחַ\u00a0לְךָ now',
    'tab': 'Read\tרוּחַ\tnow',
    'kashida': 'Read كِتَـــابٌ now',
    'only-marks': 'Read \u05b8\u05b4 now',
    'mark-on-space': 'Read \u00a0\u0651 now',
    'mixed-end': 'Read רוּחַ world לְךָ now',
    'ar-he': 'Read كِتَابٌ רוּחַ now',
    'rtl-end': 'Read now רוּחַ',
    'rtl-start': 'רוּחַ Read now',
}
PLACES = ['body', 'right', 'justify', 'rtlpar', 'rtlpar-only', 'header', 'footer', 'cols2', 'cell',
          'b-mid', 'i-mark', 'cf-mark', 'fs-mark', 'ul-mark', 'super-word', 'b-lastmark']


def split_word(w, k, on, off='}'):
    if not RTL.search(w) or k <= 0 or k >= len(w):
        return u(w)
    return '{' + on + ' ' + u(w[:k]) + off + u(w[k:])


def splitted(s, how):
    """s with a format change inside every right-to-left word (tabs kept)."""
    out = []
    for w in s.replace('\t', ' \t ').split(' '):
        if w == '\t':
            out.append('\\tab')
            continue
        if how == 'b-mid':
            out.append(split_word(w, max(1, len(w) // 2), r'\b'))
        elif how == 'b-lastmark':  # the word's last character (a mark) begins an item of its own
            k = len(w) - 1 if w and is_mark(w[-1]) else len(w) // 2
            out.append(split_word(w, k, r'\b'))
        else:
            on = {'i-mark': r'\i', 'cf-mark': r'\cf1', 'fs-mark': r'\fs36', 'ul-mark': r'\ul'}[how]
            out.append(split_word(w, 1, on))  # after the first letter: before its mark
    return ' '.join(out).replace(' \\tab ', '\\tab ')


def doc(place, s):
    h = head().replace(r'\deff0', r'\deff0{\colortbl;\red200\green0\blue0;}')
    if place in ('rtlpar', 'rtlpar-only'):
        pad = r'\pard\rtlpar\qr ' + u(PAD_R) + r'\par'
        body = r'\pard\rtlpar\qr ' + u(s) + r'\par}'
        return h + (pad if place == 'rtlpar' else '') + body
    pad = r'\pard ' + u(PAD_L) + r'\par'
    t = u(s)
    if place == 'body':
        return h + pad + r'\pard ' + t + r'\par}'
    if place == 'right':
        return h + pad + r'\pard\qr ' + t + r'\par}'
    if place == 'justify':
        return h + pad + r'\pard\qj\ri6500 ' + ' '.join([t] * 4) + r'\par}'
    if place == 'header':
        return h + r'{\header\pard ' + t + r'\par}' + pad + '}'
    if place == 'footer':
        return h + r'{\footer\pard ' + t + r'\par}' + pad + '}'
    if place == 'cols2':
        return h + r'\sectd\cols2\colsx720 ' + pad + r'\pard\qj ' + ' '.join([t] * 4) + r'\par}'
    if place == 'cell':  # the text in the first cell, right-aligned; the words again in the second
        return h + pad + r'\trowd\trgaph54\cellx4500\cellx9000\pard\intbl\qr ' + t + r'\cell\pard\intbl ' + t + r'\cell\row\pard\par}'
    if place == 'super-word':
        ws = s.split(' ')
        out = [('{\\super ' + u(w) + '}') if RTL.search(w) else u(w) for w in ws]
        return h + pad + r'\pard ' + ' '.join(out) + r'\par}'
    return h + pad + r'\pard ' + splitted(s, place) + r'\par}'


def want(place, s):
    s = s.replace('\t', ' ')
    if place == 'rtlpar':
        return PAD_R + ' ' + s
    if place == 'rtlpar-only':
        return s
    if place in ('justify', 'cols2'):
        return PAD_L + ' ' + ' '.join([s] * 4)
    if place == 'header':
        return s + ' ' + PAD_L
    if place == 'footer':
        return PAD_L + ' ' + s
    if place == 'cell':
        return PAD_L + ' ' + s + ' ' + s
    return PAD_L + ' ' + s


def main():
    args = sys.argv[1:]
    verbose = '-v' in args
    names = [a for a in args if a in CASES] or list(CASES)
    places = [a for a in args if a in PLACES] or PLACES
    counts = {'exact': 0, 'ws': 0, 'canon': 0, 'order': 0, 'wrong': 0}
    rlm_ok = rlm_bad = bad = 0
    for name in names:
        for place in places:
            s = CASES[name]
            pdf, out, secs, kb = run(doc(place, s), f'rm-{name}-{place}', timeout=120)
            faults, notes = [], []
            if 'PrintComplete' not in out or 'PrintError' in out:
                faults.append('tool: ' + out.strip().replace('\n', ' | '))
            if not pdf:
                faults.append('no pdf')
            else:
                t, allowed, rf = rlm_split(text(pdf))
                rlm_ok += allowed
                rlm_bad += len(rf)
                if rf:
                    faults.append(f'U+200F not at a run end: {rf[:3]}')
                got, w = clean(t), clean(want(place, s))
                v = compare(got, w)
                counts[v] += 1
                if v == 'order' and place.startswith('rtlpar'):
                    notes.append('(the RTF reader has no \\rtlpar: the paragraph is laid out left to right)')
                if v == 'wrong':
                    faults.append(f'got {got[-90:]!r} want {w[-90:]!r}')
                elif v != 'exact':
                    notes.append(v)
                il = inkless_words(pdf)
                if il:
                    faults.append(f'no ink {il[:3]}')
                o = outside(pdf)
                if o:
                    faults.append(f'outside {o[:2]}')
            tag = f'{name:14} {place:11}'
            if faults:
                bad += 1
                print('FAIL', tag, '; '.join(faults)[:700])
            elif notes or verbose:
                print('note', tag, ' '.join(notes))
            else:
                print('ok  ', tag)
            sys.stdout.flush()
    print(f'jobs {len(names) * len(places)}: broke {bad}; text {counts}; U+200F allowed {rlm_ok}, misplaced {rlm_bad}')
    sys.exit(1 if bad else 0)


main()
