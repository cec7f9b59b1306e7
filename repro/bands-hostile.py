#!/usr/bin/env python3
"""Hostile column and section controls around bands: each document holds the words h000...
once; printed on "Corvane PDF" with a 120 s bound, each must end in PrintComplete with every
word once and nothing overlapping or outside its page. Prints one line per document."""
import re, sys
import bandlib as B
L = lambda p, n, s=0: ''.join(r'\pard %s%03d\par' % (p, i) for i in range(s, s + n))
docs = {
    'cols0': r'\sectd\pard A\sect\sectd\sbknone\cols0 {B}\sect\sectd\sbknone\cols2 {C}',
    'cols-1': r'\sectd\pard A\sect\sectd\sbknone\cols-1 {B}\sect\sectd\sbknone\cols3 {C}',
    'cols1000': r'\sectd\pard A\sect\sectd\sbknone\cols1000 {B}\sect\sectd\sbknone {C}',
    'cols99999999999': r'\sectd\pard A\sect\sectd\sbknone\cols99999999999 {B}\sect\sectd\sbknone\cols2 {C}',
    'colsx-huge': r'\sectd\pard A\sect\sectd\sbknone\cols3\colsx99999999 {B}\sect\sectd\sbknone {C}',
    'colsx-negative': r'\sectd\pard A\sect\sectd\sbknone\cols3\colsx-5000 {B}\sect\sectd\sbknone\cols2\colsx-2147483648 {C}',
    'colsx-page-wide': r'\sectd\pard A\sect\sectd\sbknone\cols20\colsx31680\linebetcol {B}\sect\sectd\sbknone {C}',
    'sbknone-no-sect': r'\sectd\sbknone\cols2\pard A\par\sbknone\cols3 {B}\sbknone\cols1 {C}',
    'unbalanced-open': r'\sectd\pard A\sect\sectd\sbknone\cols2 {{{{B}\sect\sectd\sbknone\cols1 {{{C}',
    'unbalanced-close': r'\sectd\pard A}}}\sect\sectd\sbknone\cols2 {B}\sect\sectd\sbknone {C}',
    'sect-in-group': r'\sectd\pard A{\sect\sectd\sbknone\cols3 {B}}\sect\sectd\sbknone\cols2 {C}',
    'sect-in-cell': r'\sectd\pard A\trowd\cellx3000\pard\intbl x000\sect\sectd\sbknone\cols3\cell\row\pard {B}\sect\sectd\sbknone {C}',
    'sect-in-note': r'\sectd\pard A{\super\chftn}{\footnote\pard n000\sect\sectd\sbknone\cols3 n001\par}\sect\sectd\sbknone\cols2 {B}\sect\sectd\sbknone {C}',
    'sect-in-header': r'{\header\pard Hd\sect\sectd\sbknone\cols3 Hx\par}\sectd\pard A\sect\sectd\sbknone\cols2 {B}\sect\sectd\sbknone {C}',
    'band-empty': r'\sectd\pard A\sect\sectd\sbknone\cols3\sect\sectd\sbknone\cols2\sect\sectd\sbknone\cols1 {B}\sect\sectd\sbknone\cols2 {C}',
    'column-only': r'\sectd\pard A\sect\sectd\sbknone\cols2\column\column\column\column {B}\sect\sectd\sbknone {C}',
    'page-in-band': r'\sectd\pard A\sect\sectd\sbknone\cols2 {B}\page\page {C}',
    'band-turned': r'\sectd\pard A\sect\sectd\sbknone\cols2\lndscpsxn {B}\sect\sectd\sbknone\cols3 {C}',
    'band-huge-line': r'\sectd\pard A\sect\sectd\sbknone\cols2 \pard\fs1000 {B}\sect\sectd\sbknone\fs24 {C}',
    'band-fixed-line': r'\sectd\pard A\sect\sectd\sbknone\cols2 \pard\sl-10000 {B}\sect\sectd\sbknone {C}',
    'band-neg-space': r'\sectd\pard A\sect\sectd\sbknone\cols2 \pard\sb-20000\sa-20000 {B}\sect\sectd\sbknone {C}',
}
words = {'A': 40, 'B': 150, 'C': 40}
bad = 0
for name, body in docs.items():
    rtf, want, c = B.HEAD + body, [], 0
    for k, n in words.items():
        ws = ['h%03d' % (c + i) for i in range(n)]; c += n; want += ws
        text = ''.join(r'\pard %s\par ' % w for w in ws[:-1]) + r'\pard ' + ws[-1] + ' '
        rtf = rtf.replace('{%s}' % k, text, 1).replace(r'\pard %s\sect' % k, text + r'\sect', 1).replace(r'\pard %s}' % k, text + '}', 1).replace(r'\pard %s\par' % k, text + r'\par', 1).replace(r'\pard %s{' % k, text + '{', 1).replace(r'\pard %s\trowd' % k, text + r'\par\trowd', 1)
    rtf += '}'
    pdf, out, secs, kb = B.run(rtf, 'hostile-' + name, timeout=120)
    raw = B.raw_words(pdf) if pdf else []
    got = sorted(w for w in raw if re.fullmatch(r'h\d{3}', w))
    pg = B.pages(pdf) if pdf else []
    lost = sorted(set(want) - set(got)); doubled = sorted(w for w in set(got) if got.count(w) > 1)
    faults = B.geometry_faults(pg)
    ok = 'PrintComplete' in out and not lost and not doubled and not faults
    bad += not ok
    print(f"{'ok  ' if ok else 'FAIL'} {name}: {secs} s {kb} KB pages={len(pg)} words={len(got)}/{len(want)} lost={lost[:5]} doubled={doubled[:5]} faults={len(faults)} {faults[:2]} {out.strip()[:160]}")
    if not ok and lost:
        print('   ', ' '.join(w for w in raw if not re.fullmatch(r'h\d{3}', w))[:300])
print(f'{len(docs) - bad} passed, {bad} failed')
