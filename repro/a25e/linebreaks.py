#!/usr/bin/env python3
"""Latin paragraphs (ligature-prone and kerning-prone words) laid out by Corvane and LibreOffice:
the first word of every line must agree (within one word), and in justified paragraphs every
line but the last ends at the right margin (523.3 pt) and starts at the left (72 pt).
Usage: linebreaks.py [CASE...]"""
import sys, random
from lib import *
random.seed(7)
VOCAB = ('office fluffy affluent flight waffle AVATAR To Yes Wave offload efficient shuffle fjord '
         'the of and typography kerning Tea LT Vo ffi ffl baffling difficult fifty coffee').split()
words = [random.choice(VOCAB) + ('%d' % i if i % 9 == 0 else '') for i in range(600)]
para = ' '.join(words)
CASES = {
    'left': r'\pard ' + para + r'\par ',
    'justified': r'\pard\qj ' + para + r'\par ',
    'right': r'\pard\qr ' + para + r'\par ',
    'kerning': r'\pard\qj{\kerning1 ' + para + r'}\par ',
    'expndtw': r'\pard\qj{\expndtw20 ' + para + r'}\par ',
    'scaps': r'\pard{\scaps ' + para + r'}\par ',
    'caps': r'\pard{\caps ' + para + r'}\par ',
    'arial-11': r'\pard\qj\f1\fs22 ' + para + r'\par ',
    'mixed-runs': r'\pard\qj ' + ' '.join(('{\\b %s}' if i % 3 == 0 else '{\\i %s}' if i % 3 == 1 else '%s') % w for i, w in enumerate(words)) + r'\par ',
    'soft-hyphens': r'\pard\qj ' + ' '.join(w.replace('ff', 'f\\-f') for w in words) + r'\par ',
    'with-accents': r'\pard\qj ' + ' '.join(w + (u('e\u0301') if i % 10 == 5 else '') for i, w in enumerate(words)) + r'\par ',
}

def lines(pdf):
    res = []
    for w, h, ws in pages(pdf):
        rows = {}
        for t, x0, y0, x1, y1 in ws:
            rows.setdefault(round(y1), []).append((x0, x1, t))
        for y in sorted(rows):
            r = sorted(rows[y])
            res.append((r[0][2], r[0][0], r[-1][1]))
    return res

def main():
    bad = ok = 0
    for name in (sys.argv[1:] or CASES):
        rtf = HEAD + CASES[name] + '}'
        pdf, out, s, kb = run(rtf, 'lb-' + name)
        lo = lo_pdf(rtf, 'lb-' + name)
        c, l = lines(pdf), lines(lo)
        faults = []
        if len(c) != len(l):
            faults.append(f'{len(c)} lines, LibreOffice {len(l)}')
        cw = [x[0] for x in c]; lw = [x[0] for x in l]
        diff = [i for i in range(min(len(cw), len(lw))) if cw[i].lower() != lw[i].lower()]
        if diff:
            i = diff[0]
            faults.append(f'{len(diff)} lines start differently, first line {i + 1}: {cw[i]!r} vs {lw[i]!r}')
        if 'qj' in CASES[name]:
            ragged = [(i + 1, round(x[2], 1)) for i, x in enumerate(c[:-1]) if abs(x[2] - 523.3) > 0.6 or abs(x[1] - 72) > 0.6]
            if ragged:
                faults.append(f'{len(ragged)} justified lines off the margins, first {ragged[:3]}')
        faults += geometry_faults(pages(pdf))[:3]
        want = norm(re.sub(r'\\[a-z]+-?\d* ?|[{}]|\\-', '', re.sub(r'\\par\b', ' ', CASES[name])))
        got = norm(text(pdf).replace('\u00ad', ''))
        if name not in ('caps', 'scaps', 'soft-hyphens', 'with-accents') and got.replace('- ', '') != want and got != want:
            faults.append('text differs: ' + next((f'{a!r}/{b!r}' for a, b in zip(got.split(), want.split()) if a != b), 'length'))
        print('FAIL' if faults else 'ok  ', name, out.strip(), '; '.join(faults))
        bad += bool(faults); ok += not faults
        sys.stdout.flush()
    print(f'held {ok}, broke {bad}')

if __name__ == "__main__":
    main()
