#!/usr/bin/env python3
"""Tall headers and footers: the top of the text (the first body word's yMin) and the foot of the
last body line on each page, for Corvane and LibreOffice, for the same RTF. Body lines are
numbered words Lnnn; header and footer words start with H / F. Usage: headers.py [CASE...]"""
import sys
from lib import *

def body(n):
    return ''.join(r'\pard L%03d line of body text\par ' % i for i in range(1, n + 1))

def tall(prefix, k):  # k paragraphs of a header or footer
    return ''.join(r'\pard %s%d\par ' % (prefix, i) for i in range(1, k + 1))

CASES = {
    # header of 8 lines (~110 pt) at 0.5 inch, text top at 1 inch: text must move down
    'tall-header': HEAD + r'{\header ' + tall('Hx', 8) + r'}' + body(120) + '}',
    'tall-footer': HEAD + r'{\footer ' + tall('Fx', 8) + r'}' + body(120) + '}',
    # a tall first-page header, a short one on the others
    'titlepg': HEAD + r'\titlepg{\headerf ' + tall('Hf', 10) + r'}{\header\pard Hr1\par}' + body(120) + '}',
    # facing pages: tall left, short right
    'facingp': HEAD.replace(r'\f0\fs24', r'\f0\fs24\facingp') + r'{\headerl ' + tall('Hl', 10) + r'}{\headerr\pard Hr1\par}' + body(150) + '}',
    'headery0': HEAD + r'\headery0{\header ' + tall('Hx', 3) + r'}' + body(60) + '}',
    'headery-neg': HEAD + r'\headery-2000{\header ' + tall('Hx', 3) + r'}' + body(60) + '}',
    'headery-huge': HEAD + r'\headery30000{\header ' + tall('Hx', 3) + r'}' + body(60) + '}',
    'headery-near-foot': HEAD + r'\headery15000{\header ' + tall('Hx', 1) + r'}' + body(60) + '}',
    'numpages': HEAD + r'{\header ' + tall('Hx', 6) + r'\pard Page {\field{\*\fldinst PAGE}{\fldrslt 1}} of {\field{\*\fldinst NUMPAGES}{\fldrslt 1}}\par}' + body(120) + '}',
    'header-table': HEAD + r'{\header\trowd\cellx3000\cellx6000\pard\intbl Hc1\par Hc2\par Hc3\par Hc4\par Hc5\par Hc6\cell Hd\cell\row\pard\par}' + body(120) + '}',
    'footer-notes': HEAD + r'{\footer ' + tall('Fx', 6) + r'}' + ''.join(r'\pard L%03d line{\super\chftn}{\footnote\pard{\super\chftn} N%03d note\par} of body text\par ' % (i, i) for i in range(1, 80)) + '}',
    'landscape-tall-header': HEAD.replace(r'\paperw11906\paperh16838', r'\paperw16838\paperh11906\landscape') + r'{\header ' + tall('Hx', 8) + r'}' + body(100) + '}',
    'columns-tall-header': HEAD + r'{\header ' + tall('Hx', 8) + r'}\sectd\cols2 ' + body(200) + '}',
}

def tops(pdf):
    res = []
    for w, h, ws in pages(pdf):
        b = [x for x in ws if re.fullmatch(r'L\d{3}', x[0])]
        hs = [x for x in ws if x[0][:1] in 'HF' and x[0][:2] in ('Hx', 'Hf', 'Hl', 'Hr', 'Hc', 'Hd', 'Fx')]
        res.append((round(min((x[2] for x in b), default=-1), 1), round(max((x[4] for x in b), default=-1), 1),
                    b[0][0] if b else '-', len(b), round(max((x[4] for x in hs if x[0][0] == 'H'), default=-1), 1),
                    round(min((x[2] for x in hs if x[0][0] == 'F'), default=-1), 1)))
    return res

def main():
  for name in (sys.argv[1:] or CASES):
      rtf = CASES[name]
      pdf, out, s, kb = run(rtf, 'hdr-' + name)
      lo = lo_pdf(rtf, 'hdr-' + name)
      print(f'== {name}: {out.strip()}')
      c = tops(pdf) if pdf else []
      l = tops(lo) if lo else []
      print('  page: corvane (text top, text foot, first word, lines, header foot, footer top) | libreoffice')
      for i in range(max(len(c), len(l))):
          print('  ', i + 1, c[i] if i < len(c) else None, '|', l[i] if i < len(l) else None)
      if pdf:
          print('  geometry faults:', geometry_faults(pages(pdf))[:4])
      sys.stdout.flush()


if __name__ == "__main__":
    main()
