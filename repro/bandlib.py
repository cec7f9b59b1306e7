"""Helpers for the column-band reproductions: RTF documents, running the tool, reading words.
Needs the environment of bands-env.sh (CORVANE, QUEUE, QUEUE_PDF, CUPS_SERVER...)."""
import os, re, subprocess, time, glob, shutil

HEAD = (r'{\rtf1\ansi\deff0{\fonttbl{\f0 Times New Roman;}}\f0\fs24'
        r'\paperw11906\paperh16838\margl1440\margr1440\margt1440\margb1440 ')
CORVANE = os.environ.get('CORVANE', '/work/main/build/bin/corvane')
A = os.environ.get('A', '/tmp/a25d')
QUEUE = os.environ.get('QUEUE', 'Bordered')


def run(rtf, name, printer='Corvane PDF', copies=1, env=None, timeout=300, measure=False):
    """Prints rtf (text) as NAME.rtf; returns (pdf path or None, tool output, seconds, peak KB)."""
    d = os.path.join(A, 'out', name)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d + '/pdf')
    src = os.path.join(d, 'doc.rtf')
    open(src, 'w', encoding='latin-1').write(rtf)
    e = dict(os.environ, CORVANE_PDF_DIR=d + '/pdf')
    e.update(env or {})
    cmd = [CORVANE, 'SetPrinter', printer, '--', 'PrintRTFFile', src]
    if copies != 1:
        cmd += ['1440', '1440', '1440', '1440', 'spOrientationPortrait', 'spPaperA4', 'spPaperBinAuto',
                'spQualityMedium', str(copies)]
    qpdf = os.environ.get('QUEUE_PDF')
    if printer != 'Corvane PDF' and qpdf and os.path.exists(qpdf):
        os.remove(qpdf)
    cmd = ['/usr/bin/time', '-f', '%e %M', '-o', d + '/time', 'timeout', str(timeout)] + cmd
    p = subprocess.run(cmd, env=e, capture_output=True, text=True)
    secs, kb = (open(d + '/time').read().split('\n')[-2].split() + ['0', '0'])[:2]
    out = p.stdout + p.stderr
    if printer == 'Corvane PDF':
        pdfs = glob.glob(d + '/pdf/*.pdf')
        pdf = pdfs[0] if pdfs else None
    else:
        pdf = None
        for _ in range(120):  # the queue's file device: up to 60 s
            if qpdf and os.path.exists(qpdf) and os.path.getsize(qpdf) > 0:
                time.sleep(2)
                pdf = d + '/queue.pdf'
                shutil.copy(qpdf, pdf)
                break
            time.sleep(0.5)
    try:
        secs = float(secs); kb = int(kb)
    except ValueError:
        secs, kb = -1, -1
    return pdf, out, secs, kb


def pages(pdf):
    """[(width, height, [(word, x0, y0, x1, y1), ...]), ...] in reading order of the PDF."""
    out = subprocess.run(['pdftotext', '-bbox', pdf, '-'], capture_output=True, text=True).stdout
    res = []
    for w, h, body in re.findall(r'<page width="([\d.]+)" height="([\d.]+)">(.*?)</page>', out, re.S):
        ws = [(t, float(a), float(b), float(c), float(d)) for a, b, c, d, t in
              re.findall(r'<word xMin="([\d.-]+)" yMin="([\d.-]+)" xMax="([\d.-]+)" yMax="([\d.-]+)">([^<]*)</word>', body)]
        res.append((float(w), float(h), ws))
    return res


def raw_words(pdf):
    return subprocess.run(['pdftotext', '-raw', pdf, '-'], capture_output=True, text=True).stdout.split()


def geometry_faults(pg):
    """Words outside their page, two words of a page overlapping by more than a point each way."""
    faults = []
    for n, (w, h, ws) in enumerate(pg, 1):
        for t, x0, y0, x1, y1 in ws:
            if x0 < -0.5 or y0 < -0.5 or x1 > w + 0.5 or y1 > h + 0.5:
                faults.append(f'page {n}: {t} outside the page at {x0:.1f},{y0:.1f}')
        b = sorted(ws, key=lambda r: r[1])
        for i, a in enumerate(b):
            for c in b[i + 1:]:
                if c[1] >= a[3] - 1:
                    break
                if min(a[4], c[4]) - max(a[2], c[2]) > 1 and min(a[3], c[3]) - max(a[1], c[1]) > 1:
                    faults.append(f'page {n}: {a[0]}@{a[1]:.1f},{a[2]:.1f} overlaps {c[0]}@{c[1]:.1f},{c[2]:.1f}')
    return faults


def lines(pdf):
    here = os.path.dirname(os.path.abspath(__file__))
    out = subprocess.run(['python3', here + '/pdf-lines.py', pdf], capture_output=True, text=True).stdout
    res = []
    for m in re.finditer(r'page (\d+): ([\d.-]+),([\d.-]+) -> ([\d.-]+),([\d.-]+)', out):
        res.append((int(m.group(1)),) + tuple(float(m.group(k)) for k in range(2, 6)))
    return res


def dark(pdf, page, points):
    """The grey levels (0 black, 255 white) at the given (x, y) points of a page rendered at
    72 dpi: a point of the page in points is a pixel."""
    import tempfile
    with tempfile.TemporaryDirectory() as t:
        subprocess.run(['pdftoppm', '-r', '72', '-gray', '-f', str(page), '-l', str(page), pdf, t + '/p'], check=True)
        f = open(glob.glob(t + '/p*.pgm')[0], 'rb').read()
    parts = f.split(b'\n', 3)
    w, h = map(int, parts[1].split())
    return [parts[3][y * w + x] for x, y in points]
