#!/usr/bin/env python3
"""Prints the straight stroked segments (m ... l ... S; clipping and filled paths left out) of each page's content in a PDF written without
object streams, in points from the page's top-left: "page N: x0,y0 -> x1,y1". Follows the cm
matrices of q/Q blocks. Usage: pdf-lines.py PDF"""
import re, sys, zlib
data = open(sys.argv[1], 'rb').read()
objs = {}
for m in re.finditer(rb'(\d+) 0 obj(.*?)endobj', data, re.S):
    objs[int(m.group(1))] = m.group(2)
def stream(body):
    m = re.search(rb'stream\r?\n(.*)endstream', body, re.S)
    if not m: return b''
    raw = m.group(1)
    if b'FlateDecode' in body:
        try: return zlib.decompressobj().decompress(raw)
        except Exception: return b''
    return raw
def ref_list(v):
    return [int(x) for x in re.findall(rb'(\d+) 0 R', v)]
# pages in order: follow /Kids from the root /Pages
root = re.search(rb'/Root (\d+) 0 R', data).group(1)
pages_ref = int(re.search(rb'/Pages (\d+) 0 R', objs[int(root)]).group(1))
order = []
def walk(n):
    b = objs[n]
    if re.search(rb'/Type\s*/Pages', b):
        kids = re.search(rb'/Kids\s*\[(.*?)\]', b, re.S).group(1)
        for k in ref_list(kids): walk(k)
    else: order.append(n)
walk(pages_ref)
def mul(a, b):
    return [a[0]*b[0]+a[1]*b[2], a[0]*b[1]+a[1]*b[3], a[2]*b[0]+a[3]*b[2], a[2]*b[1]+a[3]*b[3],
            a[4]*b[0]+a[5]*b[2]+b[4], a[4]*b[1]+a[5]*b[3]+b[5]]
for i, p in enumerate(order, 1):
    b = objs[p]
    mb = [float(x) for x in re.search(rb'/MediaBox\s*\[([^\]]*)\]', b).group(1).split()]
    h = mb[3]
    c = re.search(rb'/Contents\s*(\[[^\]]*\]|\d+ 0 R)', b).group(1)
    content = b''.join(stream(objs[r]) for r in ref_list(c))
    ctm = [1, 0, 0, 1, 0, 0]; stack = []; nums = []; cur = None; path = []
    for tok in re.findall(rb'\((?:\\.|[^\\)])*\)|<[^>]*>|\[|\]|/[^\s/\[\]()<>]+|[-+]?\d*\.?\d+|[A-Za-z\'"*]+', content):
        if re.fullmatch(rb'[-+]?\d*\.?\d+', tok): nums.append(float(tok)); continue
        if tok == b'q': stack.append(ctm[:])
        elif tok == b'Q': ctm = stack.pop() if stack else ctm
        elif tok == b'cm' and len(nums) >= 6: ctm = mul(nums[-6:], ctm)
        elif tok == b'm' and len(nums) >= 2: cur = (nums[-2], nums[-1])
        elif tok == b'l' and len(nums) >= 2 and cur:
            x0, y0 = cur; x1, y1 = nums[-2], nums[-1]
            t = lambda x, y: (ctm[0]*x + ctm[2]*y + ctm[4], h - (ctm[1]*x + ctm[3]*y + ctm[5]))
            a, z = t(x0, y0), t(x1, y1)
            path.append(f'page {i}: {a[0]:.1f},{a[1]:.1f} -> {z[0]:.1f},{z[1]:.1f}')
            cur = (x1, y1)
        elif tok in (b'S', b's'):
            print('\n'.join(path)) if path else None
            path = []
        elif tok in (b'n', b'f', b'F', b'f*', b'B', b'B*', b'b', b'b*', b're'):
            path = [] if tok != b're' else path
        nums = []
