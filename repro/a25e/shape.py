#!/usr/bin/env python3
"""Text in many scripts in body, cell, header, footer, footnote and text box, on the direct writer,
Qt's engine (CORVANE_QT_TEXT_ONLY=1) and the Bordered queue: the text layer must hold the input
exactly (bidi marks pdftotext adds removed, white space normalised), words inside the page and not
overlapping. Usage: shape.py [PATH...] [CASE...]  (paths: direct qt queue)."""
import sys
from lib import *

CASES = {
    'ligatures': 'office affluent fluffy flight waffle',
    'latin-arabic-run': 'Total مرحبا بالعالم end',
    'hebrew-points': 'שָׁלוֹם עֲלֵיכֶם',
    'thai': 'สวัสดีครับ ภาษาไทย',
    'devanagari': 'नमस्ते दुनिया क्षत्रिय',
    'cjk': '中文测试文本 日本語のテキスト',
    'emoji': 'family 👨\u200d👩\u200d👧 heart ❤️ thumb 👍🏽',
    'combining-latin': 'cafe\u0301 nai\u0308ve man\u0303ana',
    'combining-symbols': 'vector v\u20d7 keycap 1\u20e3 circle A\u20dd',
    'cyrillic-titlo': 'Мосphoto а\u0483 б\u0487',
    'armenian': 'Բարեւ աշխարհ',
    'vietnamese': 'Tiếng Việt có dấu',
    'greek': 'Ελληνικά γράμματα ῾Ωραῖος',
    'zw': 'zero\u200bwidth non\u200cjoiner',
    'misc-symbols': 'clock ⌚ hourglass ⌛ arrows ⇄ ⇆ box ┼ ▲',
    'arabic-marks': 'بِسْمِ اللَّهِ',
    'enclosed': '① ② Ⓐ',
}
PLACES = ['body', 'bold-split', 'cell', 'header', 'footer', 'footnote', 'textbox', 'rtlpar']


def doc(place, s):
    t = u(s)
    if place == 'body':
        return HEAD + r'\pard ' + t + r'\par}'
    if place == 'bold-split':  # every word its own run, odd words bold
        ws = s.split(' ')
        return HEAD + r'\pard ' + ' '.join(('{\\b ' if i % 2 else '{') + u(w) + '}' for i, w in enumerate(ws)) + r'\par}'
    if place == 'cell':
        return HEAD + r'\trowd\cellx4000\cellx9000\pard\intbl ' + t + r'\cell x\cell\row\pard Body\par}'
    if place == 'header':
        return HEAD + r'{\header\pard ' + t + r'\par}\pard Body\par}'
    if place == 'footer':
        return HEAD + r'{\footer\pard ' + t + r'\par}\pard Body\par}'
    if place == 'footnote':
        return HEAD + r'\pard Body{\super\chftn}{\footnote\pard{\super\chftn} ' + t + r'\par}\par}'
    if place == 'textbox':
        return (HEAD + r'\pard Body{\shp{\*\shpinst\shpleft0\shptop0\shpright5000\shpbottom2000\shpwr3'
                r'{\shptxt\pard ' + t + r'\par}}}\par}')
    if place == 'rtlpar':
        return HEAD + r'\pard\rtlpar\qr ' + t + r'\par}'


def expected(place, s):
    extra = {'cell': 'x', 'header': 'Body', 'footer': 'Body', 'footnote': 'Body', 'textbox': 'Body'}.get(place)
    return s, extra


def clean(t):
    t = re.sub('[\u202a-\u202e\u2066-\u2069\u200e\u200f]', '', t)
    return norm(t)


def main():
    paths = [a for a in sys.argv[1:] if a in ('direct', 'qt', 'queue')] or ['direct', 'qt']
    names = [a for a in sys.argv[1:] if a in CASES] or list(CASES)
    places = [a for a in sys.argv[1:] if a in PLACES] or PLACES
    ok = bad = 0
    for path in paths:
        for name in names:
            for place in places:
                s = CASES[name]
                rtf = doc(place, s)
                env = {'CORVANE_QT_TEXT_ONLY': '1'} if path == 'qt' else {}
                printer = os.environ['QUEUE'] if path == 'queue' else 'Corvane PDF'
                pdf, out, secs, kb = run(rtf, f'shape-{path}-{name}-{place}', printer=printer, env=env, timeout=120)
                faults = []
                if 'PrintComplete' not in out or 'PrintError' in out:
                    faults.append('tool: ' + out.strip().replace('\n', ' | '))
                if not pdf:
                    faults.append('no pdf')
                else:
                    got = clean(text(pdf))
                    want, extra = expected(place, s)
                    if clean(want) not in got:
                        faults.append(f'text {got!r} lacks {clean(want)!r}')
                    if extra and extra not in got.split():
                        faults.append(f'text lacks {extra!r}')
                    faults += geometry_faults(pages(pdf))
                tag = f'{path:6} {name:18} {place:10}'
                if faults:
                    bad += 1
                    print('FAIL', tag, '; '.join(faults)[:400])
                else:
                    ok += 1
                    print('ok  ', tag)
                sys.stdout.flush()
    print(f'held {ok}, broke {bad}')


main()
