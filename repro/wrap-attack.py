#!/usr/bin/env python3
"""Mixed-script lines through PrintDoc (Arial 10, A4, 1-inch margins) to "Corvane PDF" (env.sh DIR)
with 1-3 copies. Checked against numbers worked out beforehand: Liberation Sans' line is
2355/2048 em = 229.98 twips at 10 pt, so a page holds 61 lines (tops 1440 + k*229.98 while
<= 16838 - 1440); every word box lies inside the margins (72..523.3 pt across, within the page
down), no two word boxes of a page overlap, every id word once per copy, in order.
  repro/wrap-attack.py DIR MODE N COPIES
MODE short: N lines "Lnnnn" + words in Greek, Cyrillic, CJK, emoji that fit on a line: pages
  COPIES * ceil(N / 61).
MODE wrap: one paragraph of N groups "Lnnnn" + those words: it wraps near the right margin.
MODE rtl: N lines of Hebrew and Arabic with numbers: every word once per copy (as a multiset).
"""
import json, math, os, re, subprocess, sys, time
from collections import Counter

D, mode, N, copies = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
env = {}
for line in open(os.path.join(D, "env")):
    if line.startswith("export"):
        for m in re.finditer(r"(\w+)=('[^']*'|\"[^\"]*\"|\S+)", line):
            env[m.group(1)] = m.group(2).strip("'\"")
env["CORVANE_PDF_DIR"] = env["CORVANE_PDF_DIR"].replace("\\\\", "\\")
E = dict(os.environ, **env)
prefix = E["WINEPREFIX"]
ltr = ["Ωμέγα", "кот", "中文字", "😀", "ﬁx", "ἀρχὴ", "дом", "日本語", "naïve"]
rtl = ["שלום", "123", "מחיר", "45.6", "مرحبا", "٧٨٩", "בית", "10%", "كتاب"]
if mode == "short":
    lines = ["L%04d %s" % (i, " ".join(ltr[(i + k) % len(ltr)] for k in range(5))) for i in range(1, N + 1)]
    text = "\r\n".join(lines)
    pages = copies * math.ceil(N / 61)
elif mode == "wrap":
    text = " ".join("L%04d %s" % (i, " ".join(ltr[(i + k) % len(ltr)] for k in range(3))) for i in range(1, N + 1))
    pages = None
else:
    lines = [" ".join(rtl[(i + k) % len(rtl)] for k in range(6)) for i in range(N)]
    text = "\r\n".join(lines)
    pages = copies * math.ceil(N / 61)
js = ("var ev='';function c_PrintComplete(){ev+=' Complete';}function c_PrintError(e,d){ev+=' Error '+e+' '+d;}"
      "var c=WScript.CreateObject('CorvaneCOM.Corvane','c_');c.DocText=%s;c.Copies=%d;c.PaperSize=9;"
      "var t0=new Date(),r;try{r=c.PrintDoc('Corvane PDF');}catch(e){r='throw '+e.number+' '+e.description;}"
      "WScript.Echo('result '+r+ev+' ms='+(new Date()-t0));") % (json.dumps(text), copies)
open(os.path.join(prefix, "drive_c/corvane/wrap.js"), "w").write(js)
out = os.path.join(D, "pdf")
before = set(os.listdir(out))
p = subprocess.run(["timeout", "600", "/usr/lib/wine/wine64", "C:\\corvane\\corvane-wsh.exe", "wrap.js"],
                   cwd=os.path.join(prefix, "drive_c/corvane"), env=E, capture_output=True, text=True)
print(p.stdout.strip())
new = sorted(set(os.listdir(out)) - before)
if len(new) != 1:
    sys.exit("FAIL: new PDFs %r" % new)
f = os.path.join(out, new[0])
got_pages = int(re.search(r"Pages:\s+(\d+)", subprocess.run(["pdfinfo", f], capture_output=True, text=True).stdout).group(1))
bb = subprocess.run(["pdftotext", "-bbox", f, "-"], capture_output=True).stdout.decode()
fails = []
ids, words = [], Counter()
for pg_no, pg in enumerate(re.finditer(r'<page width="([\d.]+)" height="([\d.]+)">(.*?)</page>', bb, re.S), 1):
    W, H = float(pg.group(1)), float(pg.group(2))
    boxes = []
    for w in re.finditer(r'<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">(.*?)</word>', pg.group(3)):
        x0, y0, x1, y1 = map(float, w.groups()[:4])
        t = w.group(5).replace("&amp;", "&")
        boxes.append((x0, y0, x1, y1, t))
        words[t] += 1
        if re.fullmatch(r"L\d{4}", t):
            ids.append(t)
        if x0 < 72 - 0.5 or x1 > W - 72 + 0.5 or y0 < 0 or y1 > H:
            fails.append("p%d outside %r (%.1f,%.1f,%.1f,%.1f)" % (pg_no, t, x0, y0, x1, y1))
    if mode != "rtl":
        for i in range(len(boxes)):
            for j in range(i + 1, len(boxes)):
                a, b = boxes[i], boxes[j]
                if min(a[2], b[2]) - max(a[0], b[0]) > 0.5 and min(a[3], b[3]) - max(a[1], b[1]) > 3:  # fallback faces are taller than the line; their boxes graze the next
                    fails.append("p%d overlap %r %r" % (pg_no, a, b))
if mode != "rtl":
    want_ids = ["L%04d" % i for i in range(1, N + 1)] * copies
    if ids != want_ids:
        fails.append("ids: %d seen, %d wanted, first difference at %s" % (len(ids), len(want_ids),
                     next((k for k, (x, y) in enumerate(zip(ids, want_ids)) if x != y), min(len(ids), len(want_ids)))))
    want = Counter(text.split()) 
    want = Counter({k: v * copies for k, v in want.items()})
else:
    # -bbox gives right-to-left words as drawn; the plain text is in reading order
    plain = subprocess.run(["pdftotext", f, "-"], capture_output=True).stdout.decode()
    words = Counter(re.sub("[\u202A-\u202E]", "", plain).split())
    want = Counter({k: v * copies for k, v in Counter(text.split()).items()})
    lines_got = [l for l in re.sub("[\u202A-\u202E]", "", plain).split("\n") if l.strip()]
    bad_lines = [(a, b) for a, b in zip(lines_got, lines * copies) if a.split() != b.split()]
    if bad_lines or len(lines_got) != N * copies:
        fails.append("%d lines, %d not in reading order, e.g. %r" % (len(lines_got), len(bad_lines), bad_lines[:2]))
if words != want:
    d = (want - words) + (words - want)
    fails.append("words differ: missing %r extra %r" % (list((want - words).items())[:8], list((words - want).items())[:8]))
if pages is not None and got_pages != pages:
    fails.append("pages %d, wanted %d" % (got_pages, pages))
print("%s N=%d copies=%d pages=%d%s: %s" % (mode, N, copies, got_pages, "" if pages is None else " (want %d)" % pages,
      "ok" if not fails else "FAIL %d" % len(fails)))
for x in fails[:15]:
    print("  " + x)
