#!/usr/bin/env python3
"""A one-line header placed ever lower (\\headery 14000 to 15600 twips on A4, text foot at 770 pt):
while a 14 pt body line fits between the header and the foot, pages hold the lines; once no line
fits, the job should end in "PrintError 482 Printer error: the headers and footers of this
document leave no room for its text". Prints each outcome (result, pages, the room left)."""
from lib import *
from headers import body
for y in range(14000, 15601, 200):
    rtf = HEAD + r'\headery%d{\header\pard Hx1\par}' % y + body(5) + '}'
    pdf, out, s, kb = run(rtf, f'hy-{y}')
    room = 770 - (y / 20 + 13.8)
    res = out.strip().splitlines()[-1]
    print(f'headery {y} ({y / 20:.0f} pt): room about {room:.1f} pt: {res}' + (f'; {len(pages(pdf))} pages' if pdf else ''))
