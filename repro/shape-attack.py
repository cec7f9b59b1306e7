#!/usr/bin/env python3
"""Text in many scripts through PrintDoc to "Corvane PDF" under wine (env.sh DIR), one job per
case, in DocText, DocTitle, DocHeader or DocFooter and in odd font settings. For each job: the
result and events, whether pdftotext gives the input back (line ends and the reader's U+202A-U+202E
marks aside; "ws" when only blanks differ), and every word box inside the page.
  repro/shape-attack.py DIR [CASE-SUBSTRING...]
"""
import json, os, re, subprocess, sys, time, glob

D = sys.argv[1]
want = sys.argv[2:]
env = {}
for line in open(os.path.join(D, "env")):
    for m in re.finditer(r"(\w+)=('[^']*'|\"[^\"]*\"|\S+)", line) if line.startswith("export") else []:
        env[m.group(1)] = m.group(2).strip("'\"")
env["CORVANE_PDF_DIR"] = env["CORVANE_PDF_DIR"].replace("\\\\", "\\")
E = dict(os.environ, **env)
prefix = E["WINEPREFIX"]

S = {
    "ligatures": "office affluent fjord flag ﬁne ﬂow ﬀ ﬃ",
    "greek": "Καλημέρα κόσμε ἀρχὴ ᾧ",
    "cyrillic": "Съешь же ещё этих мягких булок",
    "cjk": "中文字体测试 日本語のテキスト 한국어 문장",
    "arabic": "مرحبا بالعالم العربي",
    "arabic-marks": "بِسْمِ ٱللَّهِ ٱلرَّحْمَٰنِ",
    "hebrew-points": "שָׁלוֹם עוֹלָם בְּרֵאשִׁית",
    "devanagari": "नमस्ते दुनिया क्षत्रिय",
    "thai": "สวัสดีชาวโลก ภาษาไทย",
    "emoji": "smile 😀 thumbs 👍🏽 family 👨‍👩‍👧 flag 🇫🇷 heart ❤️ end",
    "combining": "cafe\u0301 a\u0308\u0323 Z\u0335\u0317 q\u0303 x\u0301\u0302\u0303\u0304",
    "nul-ffff": "a\u0000b c\uFFFFd e\uFFFEf",
    "surrogates": "lo\uD800ne hi\uDC00gh pair\uD83D\uDE00ok",
    "bidi-controls": "x\u202Eabc\u202Cy \u2067עברית\u2069 z \u200Fm\u200E",
    "rtl-numbers": "מחיר 123.45 שקל ו-67% הנחה",
    "arabic-numbers": "العدد ١٢٣ و 456 فقط",
    "invisibles": "heart❤️end a︎b key1️⃣c zw​sp wj⁠x soft­hy bom﻿z tag🏴󠁧󠁢󠁿q",
    "mixed": "English עברית العربية 中文 Ελληνικά русский end",
}
cases = []  # (name, props)
for k, v in S.items():
    cases.append((k + "/text", {"DocText": v}))
for k in ["arabic-marks", "hebrew-points", "cjk", "emoji", "devanagari", "mixed"]:
    cases.append((k + "/title", {"DocTitle": S[k]}))
    cases.append((k + "/header", {"DocHeader": S[k]}))
    cases.append((k + "/footer", {"DocFooter": S[k]}))
for font in ["Arial,12,1,0,0", "Arial,12,0,1,0", "Arial,12,0,0,1", "Arial,12,1,1,1", "Times New Roman,1,0,0,0",
             "Times New Roman,400,0,0,0", "Courier New,30,1,1,1", "No Such Face,14,1,1,0", "DejaVu Sans,10,0,0,0",
             "WenQuanYi Zen Hei,10,1,0,0"]:
    for k in ["ligatures", "arabic-marks", "hebrew-points", "cjk", "emoji"]:
        cases.append((k + "/font " + font, {"DocText": S[k], "DocTextFont": font}))
cases.append(("all-fields", {"DocText": S["arabic"], "DocTitle": S["cjk"], "DocHeader": S["hebrew-points"],
                             "DocFooter": S["greek"]}))
if want:
    cases = [c for c in cases if any(w in c[0] for w in want)]

fields = ["DocText", "DocTitle", "DocHeader", "DocFooter"]
fonts = ["DocTextFont", "DocTitleFont", "DocHeaderFont", "DocFooterFont"]
js = ["var ev='';function c_PrintComplete(){ev+=' Complete';}function c_PrintError(e,d){ev+=' Error '+e+' '+d;}",
      "var c=WScript.CreateObject('CorvaneCOM.Corvane','c_');", "var K=" + json.dumps([p for _, p in cases]) + ";",
      "for(var i=0;i<K.length;i++){var p=K[i];ev='';"]
for f in fields:
    js.append("c.%s=p.%s!==undefined?p.%s:'';" % (f, f, f))
for f in fonts:
    js.append("c.%s=p.%s!==undefined?p.%s:'Arial,12,0,0,0';" % (f, f, f))
js.append("var r;try{r=c.PrintDoc('Corvane PDF');}catch(e){r='throw '+e.number+' '+e.description;}WScript.Echo('case '+i+' '+r+ev);}")
open(os.path.join(prefix, "drive_c/corvane/shape.js"), "w", encoding="utf-8").write("\n".join(js))

outdir = os.path.join(D, "pdf")
before = set(os.listdir(outdir))
t0 = time.time()
p = subprocess.run(["timeout", "600", "/usr/lib/wine/wine64", "C:\\corvane\\corvane-wsh.exe", "shape.js"],
                   cwd=os.path.join(prefix, "drive_c/corvane"), env=E, capture_output=True, text=True)
print("wsh rc=%d %.1fs" % (p.returncode, time.time() - t0))
lines = [l for l in p.stdout.splitlines() if l.startswith("case ")]
new = sorted(set(os.listdir(outdir)) - before, key=lambda n: os.stat(os.path.join(outdir, n)).st_mtime_ns)
if len(new) != len(cases) or len(lines) != len(cases):
    print("FAIL: %d cases, %d answers, %d PDFs" % (len(cases), len(lines), len(new)))
    print(p.stdout[-2000:], p.stderr[-2000:])
marks = re.compile("[\u202A-\u202E]")
bad = 0
for (name, props), line, pdf in zip(cases, lines, new):
    f = os.path.join(outdir, pdf)
    text = [props.get(k, "") for k in ["DocHeader", "DocTitle", "DocText", "DocFooter"]]
    expect = "\n".join(t.replace("\r\n", "\n") for t in text if t)
    got = subprocess.run(["pdftotext", f, "-"], capture_output=True).stdout.decode("utf-8", "replace")
    got = marks.sub("", got).replace("\f", "").strip("\n")
    ok = "ok" if got == expect else ("ws" if got.split() == expect.split() else "DIFF")
    # word boxes inside the page
    bb = subprocess.run(["pdftotext", "-bbox", f, "-"], capture_output=True).stdout.decode("utf-8", "replace")
    out = []
    for pg in re.finditer(r'<page width="([\d.]+)" height="([\d.]+)">(.*?)</page>', bb, re.S):
        W, H = float(pg.group(1)), float(pg.group(2))
        for w in re.finditer(r'<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">(.*?)</word>', pg.group(3)):
            x0, y0, x1, y1 = map(float, w.groups()[:4])
            if x0 < 0 or y0 < 0 or x1 > W or y1 > H:
                out.append("%s(%.0f,%.0f,%.0f,%.0f)" % (w.group(5), x0, y0, x1, y1))
    fonts_used = subprocess.run(["pdffonts", f], capture_output=True, text=True).stdout.splitlines()[2:]
    fl = ",".join(x.split()[0].split("+")[-1] for x in fonts_used)
    status = line.split(" ", 2)[2] if line.count(" ") >= 2 else line
    if ok != "ok" or out or "Complete" not in status:
        bad += 1
    print("%-40s %-4s %s fonts=%s%s" % (name, ok, status.strip(), fl, (" OUTSIDE " + " ".join(out)) if out else ""))
    if ok != "ok":
        print("   want %r\n   got  %r" % (expect, got))
print("%d cases, %d not ok" % (len(cases), bad))
