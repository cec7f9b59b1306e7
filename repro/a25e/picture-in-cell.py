#!/usr/bin/env python3
"""A 200 pt picture in the first cell of a two-cell table (cells 4500 twips each) in a section of
two columns: the table is narrowed to its column (about 104 pt a cell), and the picture must stay
in its cell, left of the second cell's word Cb1. The same table on a page of one column, where
the cell holds the picture, for comparison. Prints the picture's grey extent and Cb1's box;
exit status 1 when the picture reaches under Cb1. Pictures: $A/pic-cell-*.png."""
import sys
from lib import *
from columns import pict, row, filler
bad = 0
for name, sect in [('columns', r'\sectd\cols2\colsx720 '), ('one-column', '')]:
    rtf = HEAD + sect + filler('A', 5) + row([pict(4000, 1000) + ' Pc1', 'Cb1'], 9000) + filler('B', 5) + '}'
    pdf, out, s, kb = run(rtf, 'piccell-' + name)
    grey = subprocess.run(['python3', os.path.dirname(os.path.abspath(__file__)) + '/picture-extent.py', pdf],
                          capture_output=True, text=True).stdout.strip()
    cb = [w for w in pages(pdf)[0][2] if w[0] == 'Cb1'][0]
    right = int(re.search(r'grey x \d+-(\d+)', grey).group(1))
    over = right > cb[1]
    bad += over
    print(f'{name}: {out.strip()}; picture {grey}; Cb1 at x {cb[1]:.1f}-{cb[3]:.1f}: '
          + ('the picture runs under Cb1' if over else 'apart'))
    subprocess.run(['pdftoppm', '-r', '100', '-f', '1', '-l', '1', '-W', '600', '-H', '350', '-png', pdf,
                    os.environ['A'] + '/pic-cell-' + name])
sys.exit(1 if bad else 0)
