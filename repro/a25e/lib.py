"""Helpers for the attacks on text set without shaping, columns fitting tables and pictures, and
headers that move the text. Needs env.sh's environment. Reuses /work/main/repro/bandlib.py."""
import os, re, subprocess, sys, glob, shutil
sys.path.insert(0, '/work/main/repro')
os.environ.setdefault('A', '/tmp/a25e')
import bandlib
from bandlib import run, pages, raw_words, geometry_faults, dark

HEAD = (r'{\rtf1\ansi\deff0{\fonttbl{\f0 Times New Roman;}{\f1 Arial;}{\f2\fnil\fcharset2 Symbol;}{\f3\fnil\fcharset2 Wingdings;}'
        r'{\f4 DejaVu Sans;}{\f5 Courier New;}}\f0\fs24'
        r'\paperw11906\paperh16838\margl1440\margr1440\margt1440\margb1440 ')


def u(s):
    """Text as RTF: ASCII as is (braces and backslashes escaped), the rest as \\uN? of UTF-16 units."""
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


def text(pdf, raw=False):
    args = ['pdftotext'] + (['-raw'] if raw else []) + ['-enc', 'UTF-8', pdf, '-']
    return subprocess.run(args, capture_output=True, text=True).stdout


def norm(s):
    return ' '.join(s.split())


def lo_pdf(rtf, name):
    """LibreOffice's PDF of the same RTF (for comparing by eye or line tops)."""
    d = os.path.join(os.environ['A'], 'lo', name)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)
    open(d + '/doc.rtf', 'w', encoding='latin-1').write(rtf)
    env = dict(os.environ, HOME=d)
    subprocess.run(['timeout', '180', 'soffice', '--headless', '-env:UserInstallation=file://' + d + '/prof',
                    '--convert-to', 'pdf', '--outdir', d, d + '/doc.rtf'], env=env, capture_output=True)
    p = d + '/doc.pdf'
    return p if os.path.exists(p) else None
