#!/usr/bin/env python3
"""Characters no installed font has (Devanagari, Thai, Syriac and N'Ko, which are right to left,
Ethiopic, Tamil, an emoji the fonts lack), alone, in Latin lines, in right-to-left paragraphs,
right-aligned, in a cell and wrapping a narrow paragraph: the text layer must read them as
written, each must be drawn as a stroked box (count of "re S" in the page equals the characters
that are not spaces), every word must have ink, no box may leave the page or the text column.
Usage: boxes.py; exit 1 when something broke."""
import sys, zlib
from lib import *

# the scripts of no installed font (N'Ko has one: DejaVu Sans)
MISSING = re.compile('[\u0700-\u074f\u0900-\u097f\u0e00-\u0e7f\u1200-\u137f\u0b80-\u0bff]')
CASES = {
    'syriac': ('ܫܠܡܐ ܥܠܡܐ', r'\pard\rtlpar\qr '),
    'syriac-ltr': ('see ܫܠܡܐ now', r'\pard '),
    'nko': ('ߒߞߏ ߞߊ߲', r'\pard\rtlpar\qr '),
    'ethiopic': ('ሰላም ዓለም', r'\pard '),
    'tamil': ('வணக்கம் உலகம்', r'\pard '),
    'deva-right': ('नमस्ते दुनिया', r'\pard\qr '),
    'deva-justify': (' '.join(['नमस्ते दुनिया'] * 12), r'\pard\qj\ri6000 '),
    'thai-narrow': ('สวัสดีครับภาษาไทยสวัสดีครับภาษาไทย', r'\pard\ri8000 '),
    'hebrew-deva': ('שלום नमस्ते עולם', r'\pard\rtlpar\qr '),
    'arabic-thai': ('مرحبا สวัสดี بكم', r'\pard\rtlpar\qr '),
}


def strokes(pdf):
    data = open(pdf, 'rb').read()
    n, boxes = 0, []
    for m in re.finditer(rb'stream\r?\n(.*?)endstream', data, re.S):
        try:
            s = zlib.decompress(m.group(1))
        except Exception:
            continue
        for b in re.finditer(rb'([\d.-]+) ([\d.-]+) ([\d.-]+) ([\d.-]+) re S', s):
            boxes.append([float(x) / 20 for x in b.groups()])  # the page's 0.05 scale
    return boxes


def main():
    ok = bad = 0
    for name, (s, pre) in CASES.items():
        pdf, out, _, _ = run(head() + pre + u(s) + r'\par}', f'box-{name}')
        faults = []
        if 'PrintComplete' not in out:
            faults.append('tool ' + out.strip())
        raw, dflt = clean(text(pdf, True)), clean(text(pdf))
        rev = ' '.join(reversed(raw.split()))
        if s not in (raw, dflt, rev) and ''.join(dflt.split()) != ''.join(s.split()):
            faults.append(f'text {raw!r} / {dflt!r}')
        want = sum(1 for c in s if MISSING.match(c))
        bx = strokes(pdf)
        if len(bx) != want:
            faults.append(f'{len(bx)} boxes for {want} characters')
        for x, y, w, h in bx:
            x0, x1 = min(x, x + w), max(x, x + w)
            if x0 < 72 - 0.5 or x1 > 595.3 - 72 + 0.5:
                faults.append(f'box {x0:.1f}..{x1:.1f} outside the column 72..523.3')
                break
        il = inkless_words(pdf)
        if il:
            faults.append(f'no ink {il[:3]}')
        if faults:
            bad += 1
            print('FAIL', name, '; '.join(faults)[:500])
        else:
            ok += 1
            print('ok  ', name, len(bx), 'boxes')
    print(f'held {ok}, broke {bad}')
    sys.exit(1 if bad else 0)


main()
