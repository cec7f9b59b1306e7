#!/usr/bin/env python3
"""Where the grey (level 100-160) pixels of page 1 of a PDF lie, at 72 dpi: the pictures of
columns.py's cases are flat grey, the text black. Usage: picture-extent.py PDF"""
import sys, subprocess, glob, tempfile
with tempfile.TemporaryDirectory() as t:
    subprocess.run(['pdftoppm', '-r', '72', '-gray', '-f', '1', '-l', '1', sys.argv[1], t + '/p'], check=True)
    f = open(glob.glob(t + '/p*.pgm')[0], 'rb').read()
parts = f.split(b'\n', 3)
w, h = map(int, parts[1].split())
px = parts[3]
def runs(y):  # runs of 40 or more grey pixels: the picture, not the edges of letters
    out, start = [], None
    for x in range(w + 1):
        g = x < w and 120 <= px[y * w + x] <= 136
        if g and start is None:
            start = x
        elif not g and start is not None:
            if x - start >= 40:
                out += list(range(start, x))
            start = None
    return out
rows = [(y, runs(y)) for y in range(h)]
rows = [(y, r) for y, r in rows if r]
xs = [x for _, r in rows for x in r]
ys = [y for y, _ in rows]
print(f'grey x {min(xs)}-{max(xs)} y {min(ys)}-{max(ys)}' if xs else 'no grey')
