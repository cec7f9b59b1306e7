#!/usr/bin/env python3
"""N rich-text jobs (Latin, Arabic, CJK, a table in columns, a tall header) from one Python
process on "Corvane PDF": every job PrintComplete and one PDF, resident memory and seconds per
100 jobs, open descriptors. Usage: PYTHONPATH=/work/main/build/python many-jobs.py N"""
import sys, os, time, glob, resource
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lib import HEAD, u
import corvane

n = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
out = os.path.join(os.environ['A'], 'many')
os.makedirs(out, exist_ok=True)
for f in glob.glob(out + '/*.pdf'):
    os.remove(f)
os.environ['CORVANE_PDF_DIR'] = out
events = []
class Events:
    def OnPrintProgress(self, page): pass
    def OnPrintComplete(self): events.append('ok')
    def OnPrintError(self, number, description): events.append(f'{number} {description}')
doc = corvane.DispatchWithEvents('CorvaneCOM.Corvane', Events)
doc.SetPrinter('Corvane PDF')
rtf = (HEAD + r'{\header\pard H1\par H2\par H3\par H4\par H5\par H6\par}\pard office fluffy ' + u('مرحبا بالعالم 中文测试 café') +
       r'\par\sectd\cols2 ' + ''.join(r'\pard L%02d words of text in a column\par ' % i for i in range(40)) +
       r'\trowd\cellx4000\cellx9000\pard\intbl a cell\cell b cell\cell\row\pard end\par}')
def rss():
    return int(open('/proc/self/status').read().split('VmRSS:')[1].split()[0])
t0 = time.time(); last = t0
for i in range(1, n + 1):
    r = doc.PrintRTFData(rtf)
    if r:
        print('job', i, 'result', r)
    if i % 100 == 0:
        pdfs = glob.glob(out + '/*.pdf')
        bad = [e for e in events if e != 'ok']
        print(f'{i} jobs: rss {rss()} kB, {time.time() - last:.1f} s for 100, fds {len(os.listdir("/proc/self/fd"))}, '
              f'complete {events.count("ok")}, errors {len(bad)}, pdfs {len(pdfs)}', flush=True)
        last = time.time()
        for f in pdfs:
            os.remove(f)
print('total', round(time.time() - t0, 1), 's')
