#!/usr/bin/env python3
"""N sections that continue the page, in 1, 2, 3 columns by turns, each of K paragraphs of
numbered words (w0000000...), printed on "Corvane PDF": time, peak memory, pages, and every word
once in order (pdftotext -raw), plus the overlap/outside check. Usage: bands-many.py N [K] [NOTES]
(NOTES=1: a footnote in every 7th section)."""
import sys, time
import bandlib as B
n = int(sys.argv[1]); k = int(sys.argv[2]) if len(sys.argv) > 2 else 3
notes = len(sys.argv) > 3 and sys.argv[3] == '1'
parts, words, c = [B.HEAD, r'\sectd '], [], 0
for s in range(n):
    if s:
        parts.append(r'\sect\sectd\sbknone\cols%d ' % (1 + s % 3))
    for p in range(k):
        ws = ['w%07d' % (c + i) for i in range(3)]; c += 3
        words += ws
        note = ''
        if notes and s % 7 == 3 and p == 0:
            note = r'{\super\chftn}{\footnote\pard\plain\f0\fs20 fn%05d\par}' % s
        parts.append(r'\pard ' + ' '.join(ws) + note + (r'\par ' if p + 1 < k else ''))
parts.append('}')
pdf, out, secs, kb = B.run(''.join(parts), f'many{n}_{k}_{int(notes)}', timeout=600)
if not pdf:
    print(f'sections={n} no PDF: {out.strip()[:300]} {secs}s {kb}KB'); sys.exit(1)
raw = [w[:8] for w in B.raw_words(pdf) if w.startswith('w')]  # (a note's mark runs into its word)
pg = B.pages(pdf)
order = 'in order' if raw == words else f'NOT in order: {len(raw)} words, expected {len(words)}; first difference at {next((i for i, (a, b) in enumerate(zip(raw, words)) if a != b), min(len(raw), len(words)))}'
faults = B.geometry_faults(pg)
print(f'sections={n} paragraphs={k} notes={notes}: {secs} s, {kb} KB, {len(pg)} pages, {len(raw)} words {order}, {len(faults)} geometry faults {faults[:3]} {out.strip()[:100]}')
