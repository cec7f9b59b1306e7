#!/usr/bin/env python3
"""Time and peak memory of a long document in two columns with a note every 50 lines, in
portrait and landscape throughout (and landscape after one portrait page), N lines; every line
once in order (pdftotext -raw). Usage: landscape-notes-time.py N"""
import sys
import bandlib as B
n = int(sys.argv[1])
for kind, head in (('portrait', r'\sectd\cols2 '), ('landscape', r'\sectd\lndscpsxn\cols2 '),
                   ('mixed', r'\sectd\pard P000\sect\sectd\lndscpsxn\cols2 ')):
    body = ''.join(r'\pard x%06d%s\par ' % (i, r'{\super\chftn}{\footnote\pard\plain\f0\fs20 fn\par}' if i % 50 == 7 else '') for i in range(n))
    pdf, out, secs, kb = B.run(B.HEAD + head + body + '}', f'lnt-{kind}{n}', timeout=600)
    raw = [w[:7] for w in B.raw_words(pdf) if w.startswith('x')] if pdf else []
    ok = raw == ['x%06d' % i for i in range(n)]
    print(f'{kind} lines={n}: {secs} s {kb} KB pages={len(B.pages(pdf)) if pdf else None} lines {"all in order" if ok else "NOT in order (%d)" % len(raw)} {out.strip()[:80]}')
