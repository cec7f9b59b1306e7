#!/usr/bin/env python3
"""Four processes at once print the banded document of bands-attack.py, three times each, into
one folder of "Corvane PDF": twelve PDFs, each of its three pages with exactly the words expected."""
import os, glob, shutil, subprocess
src = open(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'bands-attack.py')).read()
exec(src.split("if __name__ == '__main__':")[0])
d = os.path.join(B.A, 'together'); shutil.rmtree(d, ignore_errors=True); os.makedirs(d)
open(d + '/doc.rtf', 'w').write(BANDS_DOC)
env = dict(os.environ, CORVANE_PDF_DIR=d)
cmd = 'for i in 1 2 3; do timeout 120 %s SetPrinter "Corvane PDF" -- PrintRTFFile %s/doc.rtf; done' % (B.CORVANE, d)
procs = [subprocess.Popen(['bash', '-c', cmd], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True) for _ in range(4)]
outs = [p.communicate(timeout=600)[0] for p in procs]
pdfs = sorted(glob.glob(d + '/*.pdf'))
bad = 0
for p in pdfs:
    f = expect_pages('', p, BANDS_PAGES, 'PrintComplete')
    bad += bool(f)
    if f: print('FAIL', p, f[:3])
print(f'{len(pdfs)} PDFs (expected 12), {sum(o.count("PrintComplete") for o in outs)} PrintComplete (expected 12), {bad} with faults')
