"""Helpers for the a34 attacks (text layer, drawing, fonts of the direct PDF writer). Needs
env.sh's environment. RTF heads, \\uN text, one job per call, pdftotext read-back, ink checks."""
import os, re, subprocess, sys, glob, shutil, time

A = os.environ.get('A', '/tmp/a34')
CORVANE = os.environ.get('CORVANE', '/work/main/build/bin/corvane')
FONTS = (r'{\fonttbl{\f0 Times New Roman;}{\f1 Arial;}{\f2 DejaVu Sans;}{\f3 Nimbus Roman;}'
         r'{\f4 URW Bookman;}{\f5 Standard Symbols PS;}{\f6 Times;}{\f7\fnil\fcharset2 Symbol;}'
         r'{\f8 Liberation Serif;}{\f9 Courier New;}}')


def head(font=0, size=24):
    return (r'{\rtf1\ansi\deff0' + FONTS + r'\f%d\fs%d' % (font, size) +
            r'\paperw11906\paperh16838\margl1440\margr1440\margt1440\margb1440 ')


def u(s):
    """Text as RTF: ASCII as is (braces and backslashes escaped), the rest as \\uN? of UTF-16 units;
    a newline ends the paragraph."""
    out = []
    for ch in s:
        c = ord(ch)
        if ch in '\\{}':
            out.append('\\' + ch)
        elif 32 <= c < 127:
            out.append(ch)
        elif ch == '\n':
            out.append('\\par\n')
        elif ch == '\t':
            out.append('\\tab ')
        else:
            b = ch.encode('utf-16-le')
            for i in range(0, len(b), 2):
                v = int.from_bytes(b[i:i + 2], 'little')
                if v > 32767:
                    v -= 65536
                out.append('\\u%d?' % v)
    return ''.join(out)


def run(rtf, name, printer='Corvane PDF', env=None, timeout=300):
    """Prints rtf as NAME/doc.rtf; returns (pdf or None, tool output, seconds, peak KB)."""
    d = os.path.join(A, 'out', name)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d + '/pdf')
    src = os.path.join(d, 'doc.rtf')
    open(src, 'w', encoding='latin-1').write(rtf)
    e = dict(os.environ, CORVANE_PDF_DIR=d + '/pdf')
    e.update(env or {})
    cmd = [CORVANE, 'SetPrinter', printer, '--', 'PrintRTFFile', src]
    return _go(cmd, d, e, printer, timeout)


def run_cmd(args, name, printer='Corvane PDF', env=None, timeout=300):
    d = os.path.join(A, 'out', name)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d + '/pdf')
    e = dict(os.environ, CORVANE_PDF_DIR=d + '/pdf')
    e.update(env or {})
    return _go([CORVANE, 'SetPrinter', printer, '--'] + args, d, e, printer, timeout)


def _go(cmd, d, e, printer, timeout):
    qpdf = os.environ.get('QUEUE_PDF')
    if printer != 'Corvane PDF' and qpdf and os.path.exists(qpdf):
        os.remove(qpdf)
    cmd = ['/usr/bin/time', '-f', '%e %M', '-o', d + '/time', 'timeout', str(timeout)] + cmd
    p = subprocess.run(cmd, env=e, capture_output=True, text=True)
    try:
        secs, kb = open(d + '/time').read().split('\n')[-2].split()[:2]
        secs, kb = float(secs), int(kb)
    except Exception:
        secs, kb = -1, -1
    out = p.stdout + p.stderr
    pdf = None
    if printer == 'Corvane PDF':
        pdfs = glob.glob(d + '/pdf/*.pdf')
        pdf = pdfs[0] if pdfs else None
    else:
        for _ in range(120):
            if qpdf and os.path.exists(qpdf) and os.path.getsize(qpdf) > 0:
                time.sleep(2)
                pdf = d + '/queue.pdf'
                shutil.copy(qpdf, pdf)
                break
            time.sleep(0.5)
    return pdf, out, secs, kb


def text(pdf, raw=False):
    args = ['pdftotext'] + (['-raw'] if raw else []) + ['-enc', 'UTF-8', pdf, '-']
    return subprocess.run(args, capture_output=True, text=True).stdout


def clean(t):
    """pdftotext's output without the embedding marks it adds, white space made single spaces."""
    t = re.sub('[\u202a-\u202e]', '', t)
    return ' '.join(t.split())


def producer(pdf):
    out = subprocess.run(['pdfinfo', pdf], capture_output=True, text=True).stdout
    m = re.search(r'Producer:\s*(.*)', out)
    return m.group(1).strip() if m else ''


def npages(pdf):
    out = subprocess.run(['pdfinfo', pdf], capture_output=True, text=True).stdout
    return int(re.search(r'Pages:\s*(\d+)', out).group(1))


def fonts(pdf):
    return subprocess.run(['pdffonts', pdf], capture_output=True, text=True).stdout


def words(pdf):
    """[(page, w, h, [(word, x0, y0, x1, y1)...])...] from pdftotext -bbox."""
    out = subprocess.run(['pdftotext', '-bbox', pdf, '-'], capture_output=True, text=True).stdout
    res = []
    for n, (w, h, body) in enumerate(re.findall(r'<page width="([\d.]+)" height="([\d.]+)">(.*?)</page>', out, re.S), 1):
        ws = [(unesc(t), float(a), float(b), float(c), float(d)) for a, b, c, d, t in
              re.findall(r'<word xMin="([\d.-]+)" yMin="([\d.-]+)" xMax="([\d.-]+)" yMax="([\d.-]+)">([^<]*)</word>', body)]
        res.append((n, float(w), float(h), ws))
    return res


def unesc(t):
    return t.replace('&lt;', '<').replace('&gt;', '>').replace('&quot;', '"').replace('&apos;', "'").replace('&amp;', '&')


def render(pdf, page, dpi=72):
    """Page as (width, height, bytes of grey levels, 0 black) at dpi."""
    import tempfile
    with tempfile.TemporaryDirectory() as t:
        subprocess.run(['pdftoppm', '-r', str(dpi), '-gray', '-f', str(page), '-l', str(page), pdf, t + '/p'], check=True)
        f = open(glob.glob(t + '/p*.pgm')[0], 'rb').read()
    m = re.match(rb'P5\s+(\d+)\s+(\d+)\s+(\d+)\s', f)
    w, h = int(m.group(1)), int(m.group(2))
    return w, h, f[m.end():]


def ink(img, box, dpi=72, level=160):
    """Dark pixels inside box (points) of a rendered page."""
    w, h, px = img
    s = dpi / 72.0
    x0, y0, x1, y1 = [int(round(v * s)) for v in box]
    n = 0
    for y in range(max(0, y0), min(h, y1 + 1)):
        row = px[y * w:(y + 1) * w]
        for x in range(max(0, x0), min(w, x1 + 1)):
            if row[x] < level:
                n += 1
    return n


def inkless_words(pdf, dpi=72):
    """Words of the text layer with no dark pixel in their box (page, word)."""
    res = []
    for n, w, h, ws in words(pdf):
        if not ws:
            continue
        img = render(pdf, n, dpi)
        for t, x0, y0, x1, y1 in ws:
            if t.strip('\u200b\u200c\u200d\u2060 ') == '' or x1 - x0 < 1.0:
                continue
            if ink(img, (x0, y0, x1, y1), dpi) == 0:
                res.append((n, t, (round(x0, 1), round(y0, 1), round(x1, 1), round(y1, 1))))
    return res


def outside(pdf):
    res = []
    for n, w, h, ws in words(pdf):
        for t, x0, y0, x1, y1 in ws:
            if x0 < -0.5 or y0 < -0.5 or x1 > w + 0.5 or y1 > h + 0.5:
                res.append((n, t, x0, y0, x1, y1))
    return res
