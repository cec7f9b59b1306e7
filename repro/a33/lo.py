#!/usr/bin/env python3
"""What pdftotext (default and -raw) reads from LibreOffice's PDF of the same RTF as Corvane's direct
writer and Qt's engine, for textlayer.py's cases in the body: tells poppler's own bidi from ours.
Usage: lo.py CASE..."""
import sys
from lib import *
src = open(os.path.dirname(os.path.abspath(__file__)) + '/textlayer.py').read().split('\ndef main')[0]
ns = {}
exec(src, ns)
ns['CASES'].update({'syriac': 'ܫܠܡܐ ܥܠܡܐ', 'nko': 'ߒߞߏ ߞߊ߲', 'syriac-ltr': 'see ܫܠܡܐ now'})


def lo_pdf(rtf, name):
    d = os.path.join(A, 'lo', name)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)
    open(d + '/doc.rtf', 'w', encoding='latin-1').write(rtf)
    env = dict(os.environ, HOME=d)
    subprocess.run(['timeout', '180', 'soffice', '--headless', '-env:UserInstallation=file://' + d + '/prof',
                    '--convert-to', 'pdf', '--outdir', d, d + '/doc.rtf'], env=env, capture_output=True)
    p = d + '/doc.pdf'
    return p if os.path.exists(p) else None


def cps(s):
    return ' '.join('%04X' % ord(c) for c in s)


place = 'body'
for name in sys.argv[1:]:
    if name in ns['PLACES']:
        place = name
        continue
    rtf = ns['doc'](place, ns['CASES'][name])
    print(f'== {name} ({place}) input {ns["CASES"][name]!r}\n   {cps(ns["CASES"][name])}')
    for tag, pdf in (('LO', lo_pdf(rtf, name)), ('CV', run(rtf, 'lo-cv-' + name)[0]),
                     ('QT', run(rtf, 'lo-qt-' + name, env={'CORVANE_QT_TEXT_ONLY': '1'})[0])):
        for raw in (False, True):
            t = clean(text(pdf, raw))
            print(f'{tag} {"raw " if raw else "dflt"} {t!r}\n          {cps(t)}')
