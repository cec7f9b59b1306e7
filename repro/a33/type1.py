#!/usr/bin/env python3
"""Documents naming families installed as Type 1 (Nimbus Roman, URW Bookman, Standard Symbols PS,
Times, Symbol with its symbol charset, C059, P052, Z003) and symbols Times New Roman lacks: each job
must complete on the direct writer (pdfinfo Producer "Corvane"), no font of type "Type 1" in
pdffonts, the text layer must hold the input words, every word inked.
Usage: type1.py [direct qt]; exit 1 when something broke."""
import sys, collections
from lib import *

FT = (r'{\fonttbl{\f0 Times New Roman;}{\f1 Nimbus Roman;}{\f2 URW Bookman;}{\f3 Standard Symbols PS;}'
      r'{\f4 Times;}{\f5\fnil\fcharset2 Symbol;}{\f6 C059;}{\f7 P052;}{\f8 Z003;}{\f9 Nimbus Sans;}'
      r'{\f10 Nimbus Mono PS;}{\f11 URW Gothic;}{\f12 D050000L;}{\f13 Helvetica;}{\f14 Courier;}}')
HEADT = r'{\rtf1\ansi\deff0' + FT + r'\f0\fs24\paperw11906\paperh16838\margl1440\margr1440\margt1440\margb1440 '
CASES = {
    'nimbus': (r'\f1 Nimbus roman words here office', 'Nimbus roman words here office'),
    'bookman': (r'\f2 Bookman words {\b bold} {\i italic}', 'Bookman words bold italic'),
    'stdsym': (r'\f3 ' + u('αβγ ∀x ⇄ ∑'), 'αβγ ∀x ⇄ ∑'),
    'times': (r'\f4 Times family {\b Bold} {\i Ital}', 'Times family Bold Ital'),
    'symbol-charset': (r'\f5 abgdp', 'αβγδπ'),
    'times-symbols': (r'\f0 ' + u('arrows ⇄ ⇆ all ∀ exists ∃ end'), 'arrows ⇄ ⇆ all ∀ exists ∃ end'),
    'c059-p052': (r'\f6 Century {\f7 Palatino} {\f8 Chancery}', 'Century Palatino Chancery'),
    'sans-mono': (r'\f9 Sans {\f10 Mono} {\f11 Gothic} {\f13 Helv} {\f14 Cour}', 'Sans Mono Gothic Helv Cour'),
    'dingbats': (r'\f12 ' + u('✓ ✔ ❤'), '✓ ✔ ❤'),
    'mixed-arabic': (r'\f1 ' + u('Nimbus مرحبا שָׁלוֹם ∀'), 'Nimbus مرحبا שָׁלוֹם ∀'),
}


def main():
    paths = [a for a in sys.argv[1:] if a in ('direct', 'qt')] or ['direct']
    ok = bad = 0
    for path in paths:
        for name, (body, want) in CASES.items():
            env = {'CORVANE_QT_TEXT_ONLY': '1'} if path == 'qt' else {}
            pdf, out, _, _ = run(HEADT + r'\pard ' + body + r'\par}', f't1-{path}-{name}', env=env)
            faults = []
            if 'PrintComplete' not in out or 'PrintError' in out:
                faults.append('tool ' + out.strip())
            if not pdf:
                faults.append('no pdf')
            else:
                if path == 'direct' and producer(pdf) != 'Corvane':
                    faults.append('producer ' + producer(pdf))
                f = fonts(pdf)
                if 'Type 1' in f:
                    faults.append('Type 1 font: ' + ' | '.join(l for l in f.splitlines() if 'Type 1' in l))
                raw, dflt = clean(text(pdf, True)), clean(text(pdf))
                if want not in (raw, dflt) and collections.Counter(raw.split()) != collections.Counter(want.split()):
                    faults.append(f'text {raw!r} / {dflt!r} want {want!r}')
                il = inkless_words(pdf)
                if il:
                    faults.append(f'no ink {il}')
            if faults:
                bad += 1
                print('FAIL', path, name, '; '.join(faults)[:500])
            else:
                ok += 1
                print('ok  ', path, name, producer(pdf), ','.join(sorted(set(re.findall(r'^\S+', fonts(pdf), re.M)[2:]))))
            sys.stdout.flush()
    print(f'held {ok}, broke {bad}')
    sys.exit(1 if bad else 0)


main()
