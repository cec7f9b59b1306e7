#!/usr/bin/env python3
"""pdftotext of LibreOffice's PDF and Corvane's (direct writer) for shape.py's cases in the body:
what pdftotext makes of the same text drawn by another writer, to tell its own quirks from ours."""
import sys
from lib import *
src = open(os.path.dirname(os.path.abspath(__file__)) + '/shape.py').read().split('\ndef main')[0]
ns = {}
exec(src, ns)
for name in (sys.argv[1:] or ns['CASES']):
    rtf = ns['doc']('body', ns['CASES'][name])
    lo = lo_pdf(rtf, 'txt-' + name)
    pdf, out, _, _ = run(rtf, 'lot-' + name)
    print(f'{name:18} LO  {ns["clean"](text(lo))!r}\n{"":18} CV  {ns["clean"](text(pdf))!r}')
