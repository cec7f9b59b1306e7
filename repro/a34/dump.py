#!/usr/bin/env python3
"""Prints a PDF's content streams and ToUnicode maps (flate streams inflated). Usage: dump.py PDF"""
import re, zlib, sys
data = open(sys.argv[1], 'rb').read()
for m in re.finditer(rb'(\d+) 0 obj(.*?)endobj', data, re.S):
    b = m.group(2)
    s = re.search(rb'stream\r?\n(.*)endstream', b, re.S)
    if not s:
        continue
    raw = s.group(1)
    try:
        raw = zlib.decompress(raw)
    except Exception:
        pass
    if b' Tf' in raw or b'beginbfchar' in raw or b'beginbfrange' in raw:
        t = raw.decode('latin-1')
        if 'begincmap' in t:
            t = t[t.find('beginbf'):t.find('endcmap')]
        print('--- obj', m.group(1).decode())
        print(t[:4000])
