#!/usr/bin/env python3
"""Justified paragraphs of runs of bold, italic, fallback symbols (⇄ ∀ in Times New Roman), combining
accents, right-to-left runs and joiners, on the direct writer and Qt's engine: every line but a
paragraph's last must start at the left margin (72 pt) and end at the right margin (523.3 pt)
within 0.3 pt (pdftotext -bbox), and in right-to-left paragraphs (rtlpar-*) every line's ink
must reach within 2 pt of the right margin on paper; the text layer must hold every word once; words have ink.
Usage: justify.py [direct qt] [CASE...]; exit 1 when something broke."""
import sys
from lib import *

LEFT, RIGHT = 72.0, 595.3 - 72.0
BASE = 'alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi omicron pi rho sigma tau'.split()


def para(kind, seed):
    """A paragraph's RTF and its words, each word cut into runs by kind."""
    ws, rtf = [], []
    for i in range(40):
        w = BASE[(i * 7 + seed) % len(BASE)]
        if kind == 'bold' and i % 3 == 1:
            rtf.append(r'{\b ' + w + '}'); ws.append(w)
        elif kind == 'italic' and i % 3 == 1:
            rtf.append(r'{\i ' + w + '}'); ws.append(w)
        elif kind == 'bold-mid' and i % 2:
            rtf.append(w[:2] + r'{\b ' + w[2:] + '}'); ws.append(w)
        elif kind == 'symbols' and i % 4 == 1:
            s = w + '\u21c4\u2200'; rtf.append(u(s)); ws.append(s)
        elif kind == 'accents' and i % 3 == 1:
            s = w.replace('a', 'a\u0301').replace('e', 'e\u0308'); rtf.append(u(s)); ws.append(s)
        elif kind == 'rtl' and i % 4 == 1:
            s = 'שָׁלוֹם'; rtf.append(u(s)); ws.append(s)
        elif kind == 'arabic' and i % 4 == 1:
            s = 'مرحبا بكم'; rtf.append(u(s)); ws.extend(s.split())
        elif kind == 'arabic-bold' and i % 4 == 1:
            s = 'مرحبا'; rtf.append(r'{\b ' + u(s) + '}'); ws.append(s)
        elif kind == 'zwsp' and i % 4 == 1:
            s = w + '\u200b'; rtf.append(u(s)); ws.append(s)
        elif kind in ('rtlpar-he', 'rtlpar-ar'):
            s = (['שָׁלוֹם', 'עוֹלָם', 'מֶלֶךְ', 'תּוֹרָה'] if kind == 'rtlpar-he' else ['مُحَمَّدٌ', 'كِتَابٌ', 'رَسُولُ', 'مرحبا'])[i % 4]
            rtf.append(u(s)); ws.append(s)
        elif kind == 'mixed':
            k = i % 6
            s = [w, w + '\u21c4', 'שלום', w.replace('a', 'a\u0301'), w, 'مرحبا'][k]
            rtf.append((r'{\b ' if k == 4 else r'{\i ' if k == 0 else '{') + u(s) + '}'); ws.append(s)
        else:
            rtf.append(w); ws.append(w)
    return ' '.join(rtf), ws


KINDS = ['rtlpar-he', 'rtlpar-ar', 'plain', 'bold', 'italic', 'bold-mid', 'symbols', 'accents', 'rtl', 'arabic', 'arabic-bold', 'zwsp', 'mixed']


def lines(pdf):
    res = []
    for n, w, h, ws in words(pdf):
        rows = []
        for t, x0, y0, x1, y1 in sorted(ws, key=lambda r: (r[2] + r[4]) / 2):
            c = (y0 + y1) / 2
            if rows and abs(rows[-1][0] - c) < 5:
                rows[-1][1].append((t, x0, x1))
            else:
                rows.append([c, [(t, x0, x1)]])
        res += [(n, r[0], r[1]) for r in rows]
    return res


def main():
    paths = [a for a in sys.argv[1:] if a in ('direct', 'qt')] or ['direct', 'qt']
    kinds = [a for a in sys.argv[1:] if a in KINDS] or KINDS
    ok = bad = 0
    for path in paths:
        for kind in kinds:
            body, ws = para(kind, 3)
            pre = r'\pard\rtlpar\qj ' if kind.startswith('rtlpar') else r'\pard\qj '
            rtf = head() + pre + body + r'\par' + pre + body + r'\par}'
            env = {'CORVANE_QT_TEXT_ONLY': '1'} if path == 'qt' else {}
            pdf, out, secs, kb = run(rtf, f'just-{path}-{kind}', env=env)
            faults = []
            if 'PrintComplete' not in out or 'PrintError' in out:
                faults.append('tool: ' + out.strip())
            if not pdf:
                faults.append('no pdf')
            else:
                if path == 'direct' and producer(pdf) != 'Corvane':
                    faults.append('producer ' + producer(pdf))
                got = clean(text(pdf, raw=not kind.startswith('rtlpar'))).split()
                import collections
                want = collections.Counter(ws * 2)
                gotc = collections.Counter(got)
                if gotc != want:
                    faults.append(f'words differ: missing {dict(want - gotc)} extra {dict(gotc - want)}')
                ls = lines(pdf)
                # the last line of each paragraph is left as it is: the two paragraphs' lines
                # are the same, so the line before each paragraph's start is its last
                n = len(ls) // 2
                for i, (pg, y, row) in enumerate(ls):
                    if i in (n - 1, len(ls) - 1):
                        continue
                    x0 = min(r[1] for r in row); x1 = max(r[2] for r in row)
                    if abs(x0 - LEFT) > 0.3 or abs(x1 - RIGHT) > 0.3:
                        faults.append(f'line {i + 1} at y {y:.1f} spans {x0:.2f}..{x1:.2f} (ends {x1 - RIGHT:+.2f})')
                if kind.startswith('rtlpar'):
                    # on paper: a right-to-left line starts at the right margin; its ink must
                    # reach within 2 pt of it (a glyph's side bearing)
                    w_, h_, px = render(pdf, 1, 288)
                    for i, (pg, y, row) in enumerate(ls):
                        if pg != 1:
                            continue
                        cols = [x for x in range(int(400 * 4), w_) if any(px[yy * w_ + x] < 128 for yy in range(int((y - 5) * 4), int((y + 5) * 4)))]
                        if cols and cols[-1] / 4 < RIGHT - 2:
                            faults.append(f'line {i + 1}: ink ends at {cols[-1] / 4:.2f} on paper')
                il = inkless_words(pdf)
                if il:
                    faults.append(f'no ink {il[:4]}')
            tag = f'{path:6} {kind:12}'
            if faults:
                bad += 1
                print('FAIL', tag, '; '.join(faults)[:900])
            else:
                ok += 1
                print('ok  ', tag)
            sys.stdout.flush()
    print(f'held {ok}, broke {bad}')
    sys.exit(1 if bad else 0)


main()
