#!/usr/bin/env python3
"""20,000 pointed Hebrew/Arabic words, once with a colour change inside every word (between a
letter and its point) and once without, on the direct writer: PrintComplete, each word read back
(count of the five words put in, exact), seconds and peak KB (/usr/bin/time). Exit 1 when a word
count is off or a job fails."""
import sys, os, collections
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lib import *
from judge import *

WORDS = ['רוּחַ', 'לְךָ', 'שָׁלוֹם', 'كِتَابٌ', 'مُحَمَّدٌ']
N = 20000
H = head().replace(r'\deff0', r'\deff0{\colortbl;\red200\green0\blue0;}')
bad = 0
for kind in ('plain', 'cut'):
    ws = [WORDS[i % 5] for i in range(N)]
    body = ' '.join(u(w) if kind == 'plain' else '{\\cf1 ' + u(w[:1]) + '}' + u(w[1:]) for w in ws)
    pdf, out, secs, kb = run(H + r'\pard ' + body + r'\par}', 'size-' + kind, timeout=600)
    got = collections.Counter(tokens(clean(rlm_split(text(pdf))[0]))) if pdf else {}
    counts = [got.get(w, 0) for w in WORDS]
    ok = 'PrintComplete' in out and counts == [N // 5] * 5
    bad += not ok
    print('ok  ' if ok else 'FAIL', kind, 'pages', npages(pdf) if pdf else 0, 'counts', counts, f'want {N // 5} each;',
          f'{secs} s, {kb} KB peak', out.strip()[:80])
sys.exit(1 if bad else 0)
