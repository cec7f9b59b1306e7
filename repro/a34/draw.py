#!/usr/bin/env python3
"""Drawing of right-to-left words cut by a format change that does not change their look
(colour rgb(1,0,0) against black) on the direct writer: a word repeated N times reads N times,
each copy's ink (sum of darkness in its -bbox box at 144 dpi) within 15% of the same word printed
once whole (measured first, in a run of its own); nothing outside the page. Also the words
on a CUPS queue (Bordered): PrintComplete and N copies read. Usage: draw.py [queue]"""
import sys, os
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lib import *
from judge import *

N = 6
WORDS = ['רוּחַ', 'לְךָ', 'אַתְּ', 'שָׁלוֹם', 'كِتَابٌ', 'مُحَمَّدٌ', 'الرَّحْمَٰنِ', 'כִּתְבֵי']
HEAD = head().replace(r'\deff0', r'\deff0{\colortbl;\red1\green0\blue0;}')


def darkness(img, box, dpi):
    w, h, px = img
    s = dpi / 72.0
    x0, y0, x1, y1 = [int(round(v * s)) for v in box]
    return sum(255 - px[y * w + x] for y in range(max(0, y0), min(h, y1 + 1)) for x in range(max(0, x0), min(w, x1 + 1)))


def cut(w, k):
    return '{\\cf1 ' + u(w[:k]) + '}' + u(w[k:])


def measure(pdf, word):
    res = []
    img = {}
    for n, pw, ph, ws in words(pdf):
        for t, x0, y0, x1, y1 in ws:
            t = t.replace('\u200f', '')
            if t == word or sorted(t) == sorted(word):  # (-bbox gives right-to-left words in drawing order)
                if n not in img:
                    img[n] = render(pdf, n, 144)
                res.append(darkness(img[n], (x0 - 1, y0 - 3, x1 + 1, y1 + 3), 144))
    return res


def main():
    queue = 'queue' in sys.argv[1:]
    bad = held = 0
    for word in WORDS:
        pdf, out, _, _ = run(HEAD + r'\pard Word ' + u(word) + r' here\par}', 'dr-one-' + str(WORDS.index(word)))
        base = measure(pdf, word)
        if len(base) != 1:
            print('FAIL', word, 'whole reads', len(base), 'times:', clean(text(pdf)))
            bad += 1
            continue
        for k in range(1, len(word)):
            paras = ''.join(r'\pard Word ' + cut(word, k) + r' here\par ' for _ in range(N))
            printer = QUEUE if queue else 'Corvane PDF'
            pdf, out, _, _ = run(HEAD + paras + '}', f'dr-{WORDS.index(word)}-{k}', printer=printer)
            faults = []
            if 'PrintComplete' not in out:
                faults.append('tool ' + out.strip())
            if not pdf:
                faults.append('no pdf')
            else:
                got = clean(rlm_split(text(pdf))[0])
                want = ' '.join(['Word ' + word + ' here'] * N)
                if compare(got, want) not in ('exact', 'ws', 'canon'):
                    faults.append(f'text {got[:80]!r}')
                m = measure(pdf, word)
                if len(m) != N:
                    faults.append(f'-bbox has the word {len(m)} times')
                off = [round(x / base[0], 2) for x in m if abs(x / base[0] - 1) > 0.15]
                if off:
                    faults.append(f'ink ratio {off}')
                if outside(pdf):
                    faults.append('outside')
            tag = f'{word} cut at {k} ({cps(word[:k])} | {cps(word[k:])})'
            if faults:
                bad += 1
                print('FAIL', tag, '; '.join(faults)[:400])
            else:
                held += 1
                print('ok  ', tag)
            sys.stdout.flush()
    print(f'held {held}, broke {bad}')
    sys.exit(1 if bad else 0)


QUEUE = os.environ.get('QUEUE', 'Bordered')
main()
