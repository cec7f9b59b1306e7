#!/usr/bin/env python3
"""The library in programs of our own: a C++ program with its own QApplication that calls
useEmbeddableFontsOnly() first (must stay on the direct writer: Producer "Corvane", no Type 1 face)
and one that does not (a job taking a Type 1 face may go through Qt's engine, but every word must
print and read); the Python module in a fresh process; two of each at once.
Usage: embed.py; exit 1 when something broke."""
import sys, collections, subprocess, glob, shutil
from lib import *

HERE = os.path.dirname(os.path.abspath(__file__))
EXE = HERE + '/embed/embed'
LATIN = 'Symbols arrows ⇄ ⇆ all ∀ exists ∃ and words office flight'
DOC = head() + r'\pard ' + u(LATIN) + r'\par\pard ' + u('Hebrew שָׁלוֹם Arabic مرحبا') + r'\par}'
WANT_FULL = LATIN + ' Hebrew שָׁלוֹם Arabic مرحبا'


def build():
    if os.path.exists(EXE):
        return
    flags = subprocess.run(['pkg-config', '--cflags', '--libs', 'Qt6Widgets'], capture_output=True, text=True).stdout.split()
    subprocess.run(['g++', '-std=c++20', '-fPIC', '-O1', HERE + '/embed/embed.cpp', '-o', EXE,
                    '-I/work/a33/component/include', '-L/work/a33/build/lib', '-lcorvane',
                    '-Wl,-rpath,/work/a33/build/lib'] + flags, check=True)


PY = r'''
import sys, corvane
class Events:
    def OnPrintComplete(self): print("PrintComplete")
    def OnPrintError(self, n, d): print("PrintError", n, d)
doc = corvane.DispatchWithEvents("CorvaneCOM.Corvane", Events)
doc.SetPrinter("Corvane PDF")
print(doc.PrintRTFFile(sys.argv[1]))
'''


def job(kind, tag):
    d = os.path.join(A, 'out', 'embed-' + tag)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d + '/pdf')
    open(d + '/doc.rtf', 'w', encoding='latin-1').write(DOC)
    env = dict(os.environ, CORVANE_PDF_DIR=d + '/pdf', PYTHONPATH='/work/a33/build/python')
    if kind == 'python':
        cmd = ['python3', '-c', PY, d + '/doc.rtf']
    else:
        cmd = [EXE, kind, d + '/doc.rtf']
    return subprocess.Popen(['timeout', '120'] + cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True), d


def check(kind, p, d):
    out = p.communicate()[0]
    faults = []
    pdfs = glob.glob(d + '/pdf/*.pdf')
    if p.returncode != 0:
        faults.append(f'exit {p.returncode}: {out.strip()[:200]}')
    if len(pdfs) != 1:
        return faults + [f'{len(pdfs)} pdfs']
    pdf = pdfs[0]
    prod = producer(pdf)
    raw, dflt = clean(text(pdf, True)), clean(text(pdf))
    if kind in ('fonts', 'python'):
        if prod != 'Corvane':
            faults.append('producer ' + prod)
        if 'Type 1' in fonts(pdf):
            faults.append('Type 1 face')
        if WANT_FULL not in (raw, dflt):
            faults.append(f'text {raw!r}')
    else:
        # Qt's engine may take the job: its Latin words and symbols must still read
        got = collections.Counter(raw.split())
        miss = [w for w in LATIN.split() if got[w] < 1]
        if miss:
            faults.append(f'{prod}: lacks {miss} in {raw!r}')
    il = inkless_words(pdf)
    if il:
        faults.append(f'no ink {il}')
    if kind == 'python' and 'PrintComplete' not in out:
        faults.append('no PrintComplete: ' + out.strip()[:200])
    return faults, prod


def main():
    build()
    ok = bad = 0
    for kind in ('fonts', 'nofonts', 'python'):
        for together in (1, 2):
            ps = [job(kind, f'{kind}-{together}-{i}') for i in range(together)]
            for i, (p, d) in enumerate(ps):
                res = check(kind, p, d)
                faults, prod = res if isinstance(res, tuple) else (res, '?')
                tag = f'{kind:8} {together} at once #{i}'
                if faults:
                    bad += 1
                    print('FAIL', tag, '; '.join(faults)[:500])
                else:
                    ok += 1
                    print('ok  ', tag, prod)
    print(f'held {ok}, broke {bad}')
    sys.exit(1 if bad else 0)


main()
