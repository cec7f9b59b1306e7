#!/usr/bin/env python3
"""Odd cases: a header of long Arabic lines (measured before its runs are marked for shaping) against
the text top and LibreOffice's; a landscape section in two columns with a wide table and a wide
picture; PrintText of mixed scripts; a picture in a three-column band. Prints results, word
checks, geometry faults."""
from lib import *
from columns import pict, row, filler
from headers import tops, body
ar = u('هذا نص عربي طويل في رأس الصفحة ') * 12
cases = {
    'arabic-header': HEAD + r'{\header\pard ' + ar + r'\par\pard Hx9 end\par}' + body(60) + '}',
    'arabic-header-rtl': HEAD + r'{\header\pard\rtlpar ' + ar + r'\par\pard Hx9 end\par}' + body(60) + '}',
    'landscape-columns': HEAD + r'\sectd\lndscpsxn\pgwsxn16838\pghsxn11906\cols2 ' + filler('A', 5) + row(['Ca1 cell', 'Cb1 cell', 'Cc1 cell'], 14000) + r'\pard Pb ' + pict(14000, 2000) + r' Pa\par ' + filler('B', 5) + '}',
    'band-picture': HEAD + filler('A', 3) + r'\sect\sectd\sbknone\cols3 ' + r'\pard Pb ' + pict(9000, 1500) + r' Pa\par ' + filler('B', 6) + '}',
}
for name, rtf in cases.items():
    pdf, out, s, kb = run(rtf, 'more-' + name)
    print(f'== {name}: {out.strip()}')
    if not pdf:
        continue
    pg = pages(pdf)
    print('   pages', len(pg), 'sizes', sorted({(p[0], p[1]) for p in pg}), 'geometry', geometry_faults(pg)[:3])
    if 'header' in name:
        lo = lo_pdf(rtf, 'more-' + name)
        print('   corvane', tops(pdf)[:2], '\n   libreoffice', tops(lo)[:2])
        hx = [w for w in pg[0][2] if w[0] == 'Hx9']
        l1 = [w for w in pg[0][2] if w[0] == 'L001']
        print('   Hx9 foot', hx[0][4] if hx else None, 'L001 top', l1[0][2] if l1 else None)
    else:
        ws = [w[0] for p in pg for w in p[2]]
        print('   words', [w for w in ws if not re.fullmatch(r'[AB]\d\d|filler|words|here', w)])
        print('   picture', subprocess.run(['python3', os.path.dirname(os.path.abspath(__file__)) + '/picture-extent.py', pdf], capture_output=True, text=True).stdout.strip())
