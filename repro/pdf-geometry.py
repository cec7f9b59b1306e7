#!/usr/bin/env python3
"""Checks a PDF's words (pdftotext -bbox): every word inside its page's box, no two words of a
page overlapping. Prints pages, page sizes and the faults found; exit status 1 on a fault."""
import re, subprocess, sys
from collections import Counter
out = subprocess.run(['pdftotext', '-bbox', sys.argv[1], '-'], capture_output=True, text=True).stdout
faults, sizes, words = [], Counter(), 0
for n, page in enumerate(re.findall(r'<page width="([\d.]+)" height="([\d.]+)">(.*?)</page>', out, re.S), 1):
    w, h = float(page[0]), float(page[1]); sizes[f'{w:.0f}x{h:.0f}'] += 1
    boxes = [(float(a), float(b), float(c), float(d), t) for a, b, c, d, t in
             re.findall(r'<word xMin="([\d.-]+)" yMin="([\d.-]+)" xMax="([\d.-]+)" yMax="([\d.-]+)">([^<]*)</word>', page[2])]
    words += len(boxes)
    for x0, y0, x1, y1, t in boxes:
        if x0 < -0.5 or y0 < -0.5 or x1 > w + 0.5 or y1 > h + 0.5:
            faults.append(f'page {n}: {t} at {x0:.1f},{y0:.1f}-{x1:.1f},{y1:.1f} outside {w:.0f}x{h:.0f}')
    boxes.sort()
    for i, a in enumerate(boxes):  # overlaps by more than a point each way
        for b in boxes[i + 1:]:
            if b[0] >= a[2] - 1: break
            if min(a[3], b[3]) - max(a[1], b[1]) > 1 and min(a[2], b[2]) - max(a[0], b[0]) > 1:
                faults.append(f'page {n}: {a[4]} and {b[4]} overlap')
print(f'pages={sum(sizes.values())} sizes={dict(sizes)} words={words} faults={len(faults)}')
for f in faults[:10]: print(' ', f)
sys.exit(1 if faults else 0)
