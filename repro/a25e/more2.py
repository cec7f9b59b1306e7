#!/usr/bin/env python3
"""Headers with pictures, a portrait section then a landscape one under a tall header, and a
footnote holding a wide picture in a section of two columns: result, pages and sizes, geometry
faults (words overlapping, outside the page), where the header's last word and the text's first
stand on each page, and the picture's extent on page 1."""
from lib import *
from columns import pict, filler
from headers import body, tall
cases = {
    'header-picture-tall': HEAD + r'{\header\pard ' + pict(3000, 20000, 100, 400) + r'\par}' + body(20) + '}',
    'header-picture-wide': HEAD + r'{\header\pard Hx1 ' + pict(14000, 1000) + r' Hx2\par}' + body(20) + '}',
    'mixed-orientation': HEAD + r'{\header ' + tall('Hx', 8) + r'}' + body(60) + r'\sect\sectd\lndscpsxn\pgwsxn16838\pghsxn11906 ' + body(60).replace('L0', 'M0') + '}',
    'mixed-orientation-margins': HEAD.replace(r'\margl1440\margr1440\margt1440', r'\margl720\margr720\margt2880') + r'{\header ' + tall('Hx', 12) + r'}' + body(60) + r'\sect\sectd\lndscpsxn\pgwsxn16838\pghsxn11906 ' + body(60).replace('L0', 'M0') + '}',
    'footnote-picture-columns': HEAD + r'\sectd\cols2 ' + filler('A', 3) + r'\pard A99 note{\super\chftn}{\footnote\pard{\super\chftn} Nt1 ' + pict(9000, 1000) + r' Nt2\par}\par ' + ''.join(r'\pard B%02d words words words words\par ' % i for i in range(120)) + '}',
}
for name, rtf in cases.items():
    pdf, out, s, kb = run(rtf, 'more2-' + name)
    print(f'== {name}: {out.strip()}')
    if not pdf:
        continue
    pg = pages(pdf)
    print('   pages', len(pg), 'sizes', [(p[0], p[1]) for p in pg], 'geometry', geometry_faults(pg)[:3])
    for n, (w, h, ws) in enumerate(pg, 1):
        hx = [x for x in ws if x[0].startswith('Hx')]
        bd = [x for x in ws if re.fullmatch(r'[LMB]\d+', x[0])]
        print(f'   page {n}: header foot {max((x[4] for x in hx), default=None)}, text top {min((x[2] for x in bd), default=None)}, first {bd[0][0] if bd else None}')
    print('   picture', subprocess.run(['python3', os.path.dirname(os.path.abspath(__file__)) + '/picture-extent.py', pdf], capture_output=True, text=True).stdout.strip())
